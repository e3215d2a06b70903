// What the commands of snowglobe-pack share: how each is named, described
// and run, how a command line is read, and the files a command line names.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "apps/pack/commands.h"
#include "tools/core/check.h"
#include "tools/core/container.h"
#include "tools/core/util.h"

namespace sg::packtool {

// One command. `run` returns the exit status; it throws Usage for a command
// line that makes no sense and Failure for anything else that goes wrong.
struct Command {
    const char* name;
    const char* help;  // the text of `snowglobe-pack NAME --help`
    int (*run)(const Args& args);
};

// One file each: build.cpp, inspect.cpp, ...
extern const Command BUILD_COMMAND;
extern const Command INSPECT_COMMAND;
extern const Command VALIDATE_COMMAND;
extern const Command EXTRACT_COMMAND;
extern const Command RENDER_COMMAND;
extern const Command BIND_COMMAND;
extern const Command LISTING_COMMAND;
// The live preview in a window of its own, or null where this build has no
// windows and cannot start programs (the studio has its own live canvas).
const Command* preview_command();
// The Windows Installer package of a bound saver, or null where this build
// cannot run the programs that make one.
const Command* installer_command();
// Every command this build has, in the order of the program's help.
const std::vector<const Command*>& all_commands();

// A command line split into flags and positional arguments.
struct Parsed {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::map<std::string, bool> switches;
};
// `withValue` lists the flags that take a value; any flag not listed in
// either is a Usage error.
Parsed parse(const Args& args, std::initializer_list<const char*> withValue, std::initializer_list<const char*> switches);
// The value of -o or --output, empty when neither is given.
std::string output_option(Parsed& p);
// Where to say what was written: stdout, unless the output itself goes there.
std::ostream& report_stream(const std::string& out);

bool is_manifest(const std::string& path);
// The package bytes named on a command line: a package, a saver, or a manifest
// (built in memory; build's notes go to *notes when given).
Bytes package_of(const std::string& path, std::vector<std::string>* notes = nullptr);
// The file named on a command line, with a manifest built in memory.
Source source_of(const std::string& path);
// The files a command reads, which its output must not be.
std::vector<std::filesystem::path> inputs_of(const std::string& path);

// The problems of the package that `file` names, one a line. A package built
// from a manifest has no bytes the author knows: its problems are shown
// without offsets.
void print_problems_for(const std::string& file, const pack::Problems& problems, std::ostream& out);
// Notes for what the author may not expect from the settings as written.
std::vector<std::string> author_notes(const pack::PackageRead& read);

}  // namespace sg::packtool
