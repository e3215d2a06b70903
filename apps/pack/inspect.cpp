// snowglobe-pack inspect: the scene in a package, saver or manifest, as text or JSON.
#include "apps/pack/command.h"

#include <iostream>

#include "tools/core/inspect.h"

namespace sg::packtool {

namespace {

constexpr const char* HELP =
    "usage: snowglobe-pack inspect FILE [--json]\n"
    "\n"
    "Prints the scene: title, background, sound, monitor mode, about lines, each\n"
    "layer's settings in the manifest's words, each set's frames with sizes,\n"
    "durations and key colours.\n"
    "FILE may be a package, a Windows .scr, a Linux snowglobe program or a manifest\n"
    "(.toml, built in memory first).\n"
    "--json  the same as one JSON object, with the problems validate finds.\n"
    "Exits 1 when the engine would refuse the package (validate says why).\n";

int inspect(const Args& args) {
    Parsed p = parse(args, {}, {"--json"});
    if (p.positional.size() != 1) throw Usage("give one file");
    Source source = source_of(p.positional[0]);
    Checked checked = check_package(source.package);
    std::cout << (p.switches.count("--json") ? inspect_json(source, checked) : inspect_text(source, checked));
    // A package the engine would refuse is a failed inspection for scripts.
    return checked.ok() ? 0 : 1;
}

}  // namespace

const Command INSPECT_COMMAND = {"inspect", HELP, inspect};

}  // namespace sg::packtool
