// snowglobe-pack build: a package from a manifest, checked as validate does.
#include "apps/pack/command.h"

#include <iostream>

#include "tools/core/manifest.h"
#include "tools/core/output.h"

namespace sg::packtool {

namespace fs = std::filesystem;

namespace {

constexpr const char* HELP =
    "usage: snowglobe-pack build SCENE.toml [-o OUT] [--quiet]\n"
    "\n"
    "Reads the manifest and the pictures (PNG or BMP) and sound (WAV) it names, and\n"
    "writes the scene package to OUT (default: SCENE.kavren beside the manifest;\n"
    "- for standard output). Paths in the manifest are relative to it.\n"
    "Errors name the manifest's line and setting; on any error nothing is written.\n"
    "The package is checked as validate does; its warnings are printed (not with --quiet).\n"
    "See docs/authoring.md for every setting.\n";

int build(const Args& args) {
    Parsed p = parse(args, {"-o", "--output"}, {"--quiet", "-q"});
    if (p.positional.size() != 1) throw Usage("give one manifest");
    const std::string& manifest = p.positional[0];
    std::string out = output_option(p);
    if (out.empty()) {
        if (!is_manifest(manifest)) throw Usage("the manifest must end in .toml, or give the output with -o OUT");
        out = fs::path(manifest).replace_extension(".kavren").string();
    }
    bool quiet = p.switches.count("--quiet") || p.switches.count("-q");
    refuse_output_is_input(out, manifest_inputs(manifest));
    Built built = build_manifest(manifest);
    Bytes bytes;
    try {
        bytes = pack::package_bytes(built.package);
    } catch (const std::exception& e) {
        throw Failure(manifest + ": " + e.what());
    }
    Checked checked = check_package(bytes);
    if (!checked.ok()) {
        std::cerr << manifest << ": the package would be refused:\n";
        print_problems_for(manifest, checked.problems, std::cerr);
        return 1;
    }
    write_output(out, bytes);
    if (!quiet) {
        for (const std::string& n : built.notes) std::cerr << "note: " << n << "\n";
        for (const std::string& n : author_notes(checked.read)) std::cerr << "note: " << n << "\n";
        for (const std::string& w : build_warnings(built, bytes, checked.problems))
            std::cerr << "warning: " << w << "\n";
        report_stream(out) << "wrote " << out << " (" << count_of(bytes.size(), "byte") << ")\n";
    }
    return 0;
}

}  // namespace

const Command BUILD_COMMAND = {"build", HELP, build};

}  // namespace sg::packtool
