// snowglobe-pack installer: a Windows Installer package for a bound saver
// (the work is tools/core/installer.cpp's, with wixl and msitools).
#include "apps/pack/command.h"
#include "tools/core/installer.h"

namespace sg::packtool {

namespace {

constexpr const char* HELP =
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
    "See docs/deploying.md for installing on many machines.\n";

const Command INSTALLER_COMMAND = {"installer", HELP, run_installer};

}  // namespace

const Command* installer_command() { return &INSTALLER_COMMAND; }

}  // namespace sg::packtool
