// snowglobe-pack validate: the engine's checks and the author's warnings.
#include "apps/pack/command.h"

#include <iostream>

#include "tools/core/inspect.h"

namespace sg::packtool {

namespace {

constexpr const char* HELP =
    "usage: snowglobe-pack validate FILE [--strict]\n"
    "\n"
    "Runs every check the engine makes when it loads a package, its pictures and\n"
    "its animation sets, plus warnings for authors (sprites larger than the 320 x 240\n"
    "preview, key colours no pixel uses, settings out of range, blocks that overlap).\n"
    "Says what full screen shows on several monitors when the scene sets monitors.\n"
    "FILE may be a package, .scr, program or manifest (.toml, built in memory first).\n"
    "Exits 1 when there is any error (with --strict, any warning too), else 0.\n";

int validate(const Args& args) {
    Parsed p = parse(args, {}, {"--strict"});
    if (p.positional.size() != 1) throw Usage("give one file");
    const std::string& file = p.positional[0];
    Source source = source_of(file);
    Checked checked = check_package(source.package);
    print_problems_for(file, checked.problems, std::cout);
    for (const std::string& n : author_notes(checked.read)) std::cout << "  note: " << n << "\n";
    // What full screen does on several monitors, when the scene chooses it.
    if (checked.read.monitorMode != format::MonitorMode::Primary)
        std::cout << "  monitors: " << monitors_text(checked.read.monitorMode)
                  << "; savers that do not know the setting play on the primary monitor only\n";
    std::cout << file << ": " << count_of(checked.errors(), "error") << ", " << count_of(checked.warnings(), "warning")
              << "\n";
    bool bad = !checked.ok() || (p.switches.count("--strict") && checked.warnings() > 0);
    return bad ? 1 : 0;
}

}  // namespace

const Command VALIDATE_COMMAND = {"validate", HELP, validate};

}  // namespace sg::packtool
