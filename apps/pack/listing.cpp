// snowglobe-pack listing: the files that list a bound saver in the desktop's
// screen saver settings.
#include "apps/pack/command.h"

#include <iostream>

#include "tools/core/listing.h"
#include "tools/core/output.h"
#include "tools/core/sjis.h"

namespace sg::packtool {

namespace fs = std::filesystem;

namespace {

constexpr const char* HELP =
    "usage: snowglobe-pack listing FILE [--name NAME] -o DIR\n"
    "\n"
    "Writes DIR/NAME.xml (the screen-saver daemon's description, for\n"
    "share/xscreensaver/config/) and DIR/NAME.desktop (for share/applications/screensavers/)\n"
    "for a saver installed as the program NAME: both run `NAME -root` and show the\n"
    "scene's title as the saver's name. FILE is the bound saver, a package or a manifest.\n"
    "NAME defaults to FILE's name when FILE is a Linux program; it may hold letters,\n"
    "digits, '.', '_' and '-'. Prints the programs: entry of ~/.xscreensaver that\n"
    "makes the daemon run the saver, and where the daemons read the two files\n"
    "(XScreenSaver's settings: /usr/share/xscreensaver/config/ only).\n";

int listing(const Args& args) {
    Parsed p = parse(args, {"-o", "--output", "--name"}, {});
    if (p.positional.size() != 1) throw Usage("give one saver, package or manifest");
    std::string dir = p.values.count("-o") ? p.values["-o"] : p.values["--output"];
    if (dir.empty()) throw Usage("give the output directory with -o DIR");
    const std::string& file = p.positional[0];
    Bytes package;
    const bool named = p.values.count("--name") > 0;
    std::string name = named ? p.values["--name"] : "";
    if (fs::path(file).extension() == ".toml") {
        package = package_of(file);
    } else {
        Source source = open_source(file);
        if (!named && source.kind == FileKind::LinuxExe) name = fs::path(file).filename().string();
        package = std::move(source.package);
    }
    if (!named && name.empty()) throw Usage("give the installed program's name with --name NAME");
    if (!listing_name_ok(name))
        throw Usage("--name \"" + name + "\": use letters, digits, '.', '_' and '-' (not first), at most 64");
    Checked checked = check_package(package);
    if (!checked.ok()) {
        std::cerr << file << ": refused, the engine cannot use this package:\n";
        print_problems_for(file, checked.problems, std::cerr);
        return 1;
    }
    Listing l;
    l.name = name;
    const std::uint32_t codePage = checked.read.textCodePage;
    const auto readable = [&](const std::string& text) {
        return code_page_to_utf8(text, codePage).value_or(code_page_display(text, codePage));
    };
    l.label = readable(checked.read.scene.title);
    for (std::size_t i = 0; i < checked.read.info.lines.size(); ++i)
        if (checked.read.info.lineShown[i] && !checked.read.info.lines[i].empty())
            l.about.push_back(readable(checked.read.info.lines[i]));
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir, ec)) throw Failure(dir + ": cannot create the directory");
    write_file_atomic(fs::path(dir) / (name + ".xml"), listing_xml(l));
    write_file_atomic(fs::path(dir) / (name + ".desktop"), listing_desktop(l));
    std::cout << "wrote " << (fs::path(dir) / (name + ".xml")).string() << " and " << name << ".desktop for \""
              << l.label << "\"\n"
              << listing_instructions(name);
    return 0;
}

}  // namespace

const Command LISTING_COMMAND = {"listing", HELP, listing};

}  // namespace sg::packtool
