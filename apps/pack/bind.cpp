// snowglobe-pack bind: a saver for a scene, made from a built engine.
#include "apps/pack/command.h"

#include <sys/stat.h>

#include <iostream>
#include <optional>

#include "format/exe_package.h"
#include "tools/core/engine_check.h"
#include "tools/core/icon.h"
#include "tools/core/output.h"
#include "tools/core/pe.h"
#include "tools/core/saver_name.h"
#include "tools/core/version_resource.h"

namespace sg::packtool {

namespace fs = std::filesystem;

namespace {

constexpr const char* HELP =
    "usage: snowglobe-pack bind ENGINE PACKAGE [--icon PICTURE.png] [-o OUT]\n"
    "\n"
    "Makes a saver that shows another scene, without a compiler. ENGINE is a built\n"
    "snowglobe.scr (i686 or x86_64) or Linux snowglobe program; PACKAGE a package, a\n"
    "manifest (.toml, built first) or another saver whose scene to take.\n"
    "Windows: the KAVREN/103 resource is replaced and the resource section rebuilt;\n"
    "the scene's title becomes string 1 (the name the screen saver list shows) and\n"
    "the version resource's FileDescription and ProductName.\n"
    "Linux: the package is appended with its trailer (any earlier one is dropped).\n"
    "A package that validate rejects is refused, and so is an ENGINE that is cut off\n"
    "or not a snowglobe program.\n"
    "--icon  (Windows) the program's icon from a PNG or BMP picture: icon group 101\n"
    "        with 16 x 16 and 32 x 32 images at 4, 8 and 32 bits per pixel.\n"
    "OUT may be - (standard output), a device, or a symlink, whose target is written.\n"
    "Without -o the saver is written beside PACKAGE and named after the scene's title:\n"
    "TITLE.scr for a Windows engine, TITLE for the Linux program (characters Windows\n"
    "does not allow in file names become '_').\n";

int bind(const Args& args) {
    Parsed p = parse(args, {"-o", "--output", "--icon"}, {});
    if (p.positional.size() != 2) throw Usage("give an engine and a package");
    std::string out = output_option(p);
    const std::string& enginePath = p.positional[0];
    const std::string icon = p.values.count("--icon") ? p.values["--icon"] : "";
    std::vector<fs::path> inputs = inputs_of(p.positional[1]);
    inputs.push_back(enginePath);
    if (!icon.empty()) inputs.push_back(icon);
    if (!out.empty()) refuse_output_is_input(out, inputs);

    Bytes engine = read_file(enginePath);
    const EngineKind kind = check_engine(engine, enginePath);
    if (!icon.empty() && kind != EngineKind::Windows)
        throw Usage("--icon is for Windows savers; a Linux program's icon comes from its desktop entry");
    Bytes package = package_of(p.positional[1]);
    Checked checked = check_package(package);
    if (!checked.ok()) {
        std::cerr << p.positional[1] << ": refused, the engine cannot use this package:\n";
        print_problems_for(p.positional[1], checked.problems, std::cerr);
        return 1;
    }
    const std::string title = title_utf8(checked.read.scene.title, checked.read.textCodePage);
    if (out.empty()) {
        // Named after the scene, beside the package.
        const std::string name = saver_file_stem(title) + (kind == EngineKind::Windows ? ".scr" : "");
        out = (fs::path(p.positional[1]).parent_path() / name).string();
        refuse_output_is_input(out, inputs);
    }
    Bytes result;
    std::vector<std::string> notes;
    if (kind == EngineKind::Windows) {
        std::vector<Bytes> icons;
        if (!icon.empty()) icons = icon_images(read_file(icon), icon);
        auto edit = [&](std::vector<pe::Resource>& list) {
            pe::set_resource(list, pe::ResName::of("KAVREN"), pe::ResName::of(103), PACKAGE_LANGUAGE, package);
            if (!icons.empty()) set_icon_group(list, icons);
            // Always: a title-less scene must not keep the name of the one it replaces.
            set_saver_name(list, utf8_to_utf16(title), SNOWGLOBE_VERSION);
        };
        result = pe::rebuild_resources(engine, edit, enginePath, &notes);
        auto problems = pe::layout_problems(result);
        if (!problems.empty()) throw Failure(enginePath + ": the rebuilt executable is inconsistent: " + problems[0]);
    } else {
        auto appended = sg::format::exe_package::append(engine, package);
        if (!appended) throw Failure(enginePath + ": its package trailer is damaged; cannot tell where the program ends");
        result = std::move(*appended);
    }
    // Read the result back the way the saver will.
    Source again = source_from_bytes(result, out);
    if (again.package != package) throw Failure(out + ": the bound package does not read back the same");
    struct stat st {};
    std::optional<mode_t> mode;
    if (::stat(enginePath.c_str(), &st) == 0) mode = st.st_mode & 07777;
    write_output(out, result, mode);
    for (const std::string& n : notes) std::cerr << "note: " << n << "\n";
    report_stream(out) << "wrote " << out << ": " << again.what << " with a " << package.size()
                       << "-byte scene package" << (icon.empty() ? "" : " and its own icon") << "\n";
    return 0;
}

}  // namespace

const Command BIND_COMMAND = {"bind", HELP, bind};

}  // namespace sg::packtool
