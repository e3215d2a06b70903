#include "tools/pack/help.h"

#include "tools/pack/preview.h"

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
#ifndef __EMSCRIPTEN__
    "  installer SAVER.scr [--set-active] [-o NAME.msi]\n"
    "                                make a Windows Installer package for a bound saver\n"
#endif
    "  listing FILE [--name NAME] -o DIR\n"
    "                                write NAME.xml and NAME.desktop that list a bound\n"
    "                                saver in the desktop's screen saver settings\n";

const std::map<std::string, std::string>& HELP() {
    static const std::map<std::string, std::string> help = {
        {"build",
         "usage: snowglobe-pack build SCENE.toml [-o OUT] [--quiet]\n"
         "\n"
         "Reads the manifest and the pictures (PNG or BMP) and sound (WAV) it names, and\n"
         "writes the scene package to OUT (default: SCENE.kavren beside the manifest;\n"
         "- for standard output). Paths in the manifest are relative to it.\n"
         "Errors name the manifest's line and setting; on any error nothing is written.\n"
         "The package is checked as validate does; its warnings are printed (not with --quiet).\n"
         "See docs/authoring.md for every setting.\n"},
        {"inspect",
         "usage: snowglobe-pack inspect FILE [--json]\n"
         "\n"
         "Prints the scene: title, background, sound, about lines, each layer's settings\n"
         "in the manifest's words, each set's frames with sizes, durations and key colours.\n"
         "FILE may be a package, a Windows .scr, a Linux snowglobe program or a manifest\n"
         "(.toml, built in memory first).\n"
         "--json  the same as one JSON object, with the problems validate finds.\n"
         "Exits 1 when the engine would refuse the package (validate says why).\n"},
        {"validate",
         "usage: snowglobe-pack validate FILE [--strict]\n"
         "\n"
         "Runs every check the engine makes when it loads a package, its pictures and\n"
         "its animation sets, plus warnings for authors (sprites larger than the 320 x 240\n"
         "preview, key colours no pixel uses, settings out of range, blocks that overlap).\n"
         "FILE may be a package, .scr, program or manifest (.toml, built in memory first).\n"
         "Exits 1 when there is any error (with --strict, any warning too), else 0.\n"},
        {"extract",
         "usage: snowglobe-pack extract FILE DIR\n"
         "\n"
         "Writes DIR/scene.toml and the pictures (as the exact BMP bytes stored) and the\n"
         "sound it names, so that `snowglobe-pack build DIR/scene.toml` gives back the same\n"
         "package. DIR must not exist or be empty. FILE may be a package, .scr or program.\n"},
        {"render",
         "usage: snowglobe-pack render FILE --size WxH [--ticks N] [--every K] [--scale S] [--preview]\n"
         "                             -o OUT.png | OUT.gif | DIR/ | - | DEVICE\n"
         "\n"
         "Runs the saver's own code headlessly, with the same random sequence, on a screen\n"
         "of W x H (or, with --preview, in a W x H preview pane: the scene at 320 x 240\n"
         "stretched onto it), and saves what the window shows:\n"
         "  OUT.png  the picture after tick N (N defaults to 1); - writes it to standard output\n"
         "  OUT.gif  an animated GIF of ticks K, 2K, ... N at the saver's pace (33 ms a tick)\n"
         "  DIR/     numbered PNG frames every K ticks (tick-000030.png, ...)\n"
         "K defaults to 1. --scale S shows a high-DPI screen scaled S times (96 x S dpi):\n"
         "the scene runs at W/S x H/S and each frame is shown S times as large, as the\n"
         "saver does there. A progress bar shows on a terminal. FILE may also be a\n"
         "manifest (.toml), built first.\n"},
        {"bind",
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
         "does not allow in file names become '_').\n"},
#ifndef __EMSCRIPTEN__
        {"installer",
         "usage: snowglobe-pack installer SAVER.scr [--set-active] [-o NAME.msi]\n"
         "\n"
         "Writes a Windows Installer package (default: TITLE.msi beside SAVER.scr) that\n"
         "installs the saver for all users into the system folder of its own bitness,\n"
         "where the screen saver list finds it: System32 for an x86_64 saver, the 32-bit\n"
         "system folder (SysWOW64 on 64-bit Windows, System32 on 32-bit) for an i686 one.\n"
         "The uninstall entry carries the scene's title (string 1 of the saver), and\n"
         "uninstalling removes the file again.\n"
         "--set-active  also make it the installing user's screen saver (HKCU\\Control\n"
         "              Panel\\Desktop: SCRNSAVE.EXE and ScreenSaveActive)\n"
         "Needs wixl, msibuild and msiinfo (Debian: apt-get install wixl msitools).\n"
         "See docs/deploying.md for installing on many machines.\n"},
#endif
        {"listing",
         "usage: snowglobe-pack listing FILE [--name NAME] -o DIR\n"
         "\n"
         "Writes DIR/NAME.xml (the screen-saver daemon's description, for\n"
         "share/xscreensaver/config/) and DIR/NAME.desktop (for share/applications/screensavers/)\n"
         "for a saver installed as the program NAME: both run `NAME -root` and show the\n"
         "scene's title as the saver's name. FILE is the bound saver, a package or a manifest.\n"
         "NAME defaults to FILE's name when FILE is a Linux program; it may hold letters,\n"
         "digits, '.', '_' and '-'.\n"},
#ifndef __EMSCRIPTEN__
        {"preview", PREVIEW_HELP},
#endif
    };
    return help;
}

}  // namespace sg::packtool
