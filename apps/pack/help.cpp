#include "apps/pack/help.h"

#include "apps/pack/command.h"

namespace sg::packtool {

extern const char* const MAIN_HELP =
    "snowglobe-pack: build, check, preview and ship snowglobe scenes\n"
    "\n"
    "usage: snowglobe-pack COMMAND [ARGS]   (snowglobe-pack COMMAND --help for each)\n"
    "       snowglobe-pack --version\n"
    "\n"
    "  build SCENE.toml [-o OUT]     write a scene package from a manifest\n"
    "  inspect FILE [--json]         show the scene in a package, .scr, snowglobe program\n"
    "                                or manifest\n"
    "  validate FILE [--strict]      run the engine's checks and the author's warnings\n"
    "  extract FILE DIR              write a manifest, pictures and sound for a package\n"
    "  render FILE --size WxH [--ticks N] [--every K] [--scale S] [--preview] -o OUT.png|OUT.gif|DIR/\n"
    "                                run the saver headlessly and save what it shows\n"
    "  preview SCENE.toml [--size WxH]\n"
    "                                show the scene in a window, rebuilt on every change\n"
    "  bind ENGINE PACKAGE [--icon PICTURE.png] [-o OUT]\n"
    "                                make a saver for a scene from a built snowglobe.scr\n"
    "                                or Linux snowglobe program, named after its title\n"
    "  installer SAVER.scr [--set-active] [-o NAME.msi]\n"
    "                                make a Windows Installer package for a bound saver\n"
    "  listing FILE [--name NAME] -o DIR\n"
    "                                write NAME.xml and NAME.desktop that list a bound\n"
    "                                saver in the desktop's screen saver settings\n";

const std::map<std::string, std::string>& HELP() {
    static const std::map<std::string, std::string> help = [] {
        std::map<std::string, std::string> texts;
        for (const Command* command : all_commands()) texts[command->name] = command->help;
        return texts;
    }();
    return help;
}

}  // namespace sg::packtool
