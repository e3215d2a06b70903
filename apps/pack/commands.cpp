#include "apps/pack/commands.h"

#include <iostream>

#include "apps/pack/command.h"
#include "apps/pack/help.h"
#include "tools/core/output.h"

namespace sg::packtool {

namespace {

bool wants_help(const Args& args) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

int guarded(const char* name, int (*command)(const Args&), const Args& args) {
    if (wants_help(args)) {
        std::cout << HELP().at(name);
        return 0;
    }
    try {
        return command(args);
    } catch (const Usage& e) {
        std::cerr << "snowglobe-pack " << name << ": " << e.what() << "; see snowglobe-pack " << name << " --help\n";
        return 2;
    } catch (const Failure& e) {
        std::cerr << "snowglobe-pack " << name << ": " << e.what() << "\n";
        return 1;
    } catch (const std::bad_alloc&) {
        std::cerr << "snowglobe-pack " << name << ": out of memory\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "snowglobe-pack " << name << ": " << e.what() << "\n";
        return 1;
    }
}

// The command of that name with its arguments, or the refusal of a name
// this build does not have.
int run_command(const std::string& name, const Args& args) {
    for (const Command* command : all_commands())
        if (name == command->name) return guarded(command->name, command->run, args);
    std::cerr << "snowglobe-pack: unknown command \"" << name << "\"; see snowglobe-pack --help\n";
    return 2;
}

}  // namespace

const std::vector<const Command*>& all_commands() {
    static const std::vector<const Command*> commands = [] {
        std::vector<const Command*> list = {&BUILD_COMMAND,  &INSPECT_COMMAND, &VALIDATE_COMMAND, &EXTRACT_COMMAND,
                                            &RENDER_COMMAND, &BIND_COMMAND,    &LISTING_COMMAND};
        if (const Command* preview = preview_command()) list.push_back(preview);
        if (const Command* installer = installer_command()) list.push_back(installer);
        return list;
    }();
    return commands;
}

int cmd_build(const Args& args) { return run_command("build", args); }
int cmd_inspect(const Args& args) { return run_command("inspect", args); }
int cmd_validate(const Args& args) { return run_command("validate", args); }
int cmd_extract(const Args& args) { return run_command("extract", args); }
int cmd_render(const Args& args) { return run_command("render", args); }
int cmd_bind(const Args& args) { return run_command("bind", args); }
int cmd_listing(const Args& args) { return run_command("listing", args); }
int cmd_preview(const Args& args) { return run_command("preview", args); }
int cmd_installer(const Args& args) { return run_command("installer", args); }

int run_pack(const Args& args) {
    install_cleanup_handlers();
    if (!args.empty() && (args[0] == "--version" || args[0] == "-V")) {
        std::cout << "snowglobe-pack " << SNOWGLOBE_VERSION << "\n";
        return 0;
    }
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        if (args.size() >= 2 && HELP().count(args[1])) {
            std::cout << HELP().at(args[1]);
            return 0;
        }
        std::cout << MAIN_HELP;
        return args.empty() ? 2 : 0;
    }
    return run_command(args[0], Args(args.begin() + 1, args.end()));
}

}  // namespace sg::packtool
