// snowglobe-pack extract: a package written back as a manifest and its files.
#include "apps/pack/command.h"

#include <algorithm>
#include <iostream>

#include "tools/core/manifest.h"
#include "tools/core/output.h"

namespace sg::packtool {

namespace fs = std::filesystem;

namespace {

constexpr const char* HELP =
    "usage: snowglobe-pack extract FILE DIR\n"
    "\n"
    "Writes DIR/scene.toml and the pictures (as the exact BMP bytes stored) and the\n"
    "sound it names, so that `snowglobe-pack build DIR/scene.toml` gives back the same\n"
    "package. DIR must not exist or be empty. FILE may be a package, .scr or program.\n";

int extract(const Args& args) {
    Parsed p = parse(args, {}, {});
    if (p.positional.size() != 2) throw Usage("give a file and a directory");
    Source source = open_source(p.positional[0]);
    Checked checked = check_package(source.package);
    fs::path dir = p.positional[1];
    std::error_code ec;
    if (fs::exists(dir, ec) && !(fs::is_directory(dir, ec) && fs::is_empty(dir, ec)))
        throw Failure(dir.string() + ": exists and is not an empty directory");
    Extracted x = extract_manifest(checked.read, fs::path(p.positional[0]).filename().string());

    // Everything goes to a fresh directory beside DIR, renamed when complete.
    if (dir.filename().empty()) dir = dir.parent_path();  // "out/" names "out"
    fs::path temp = temp_path_beside(dir);
    fs::create_directories(temp, ec);
    if (ec) throw Failure(temp.string() + ": cannot create: " + ec.message());
    try {
        write_file_atomic(temp / "scene.toml", x.manifest);
        for (auto& [name, bytes] : x.files) write_file_atomic(temp / name, bytes);
        if (!checked.ok()) {
            x.warnings.push_back("the package has errors (see validate); build refuses the manifest until they are fixed");
        } else {
            Bytes again = pack::package_bytes(build_manifest(temp / "scene.toml").package);
            if (again != source.package) {
                std::size_t differ = 0;
                for (std::size_t i = 0; i < std::min(again.size(), source.package.size()); ++i) differ += again[i] != source.package[i];
                x.warnings.push_back("building the manifest gives a different package (" + count_of(again.size(), "byte") +
                                     ", " + std::to_string(differ) + " differ): it was not written by build");
            }
        }
        if (fs::exists(dir, ec)) fs::remove(dir, ec);
        fs::rename(temp, dir, ec);
        if (ec) throw Failure(dir.string() + ": cannot create: " + ec.message());
    } catch (...) {
        fs::remove_all(temp, ec);
        throw;
    }
    for (const std::string& w : x.warnings) std::cerr << "warning: " << w << "\n";
    std::cout << "wrote " << (dir / "scene.toml").string() << " and " << count_of(x.files.size(), "file") << "\n";
    return 0;
}

}  // namespace

const Command EXTRACT_COMMAND = {"extract", HELP, extract};

}  // namespace sg::packtool
