// snowglobe-pack installer: a Windows Installer package (MSI) for a bound
// saver, made with wixl (from msitools).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sg::packtool {

// The installer command's arguments (after its name); throws Usage or Failure.
int run_installer(const std::vector<std::string>& args);

// What the installer puts in the package, worked out from the saver.
struct InstallerPlan {
    std::string arch;        // "x86" or "x64"
    std::string systemFolder;  // SystemFolder or System64Folder
    std::string title;       // UTF-8: the product's name, and the uninstall entry's
    std::string fileName;    // UTF-8, the .scr's name in the system folder
    std::string shortName;   // its 8.3 name
    std::uint32_t codePage = 1252;  // the database's code page, which holds the title
    std::string upgradeCode;   // stable for one scene and architecture
    std::string fileComponent, activeComponent;  // component GUIDs
};

// The WiX source wixl builds from, installing the file at `source` (relative
// to where wixl runs: it takes no absolute paths). The title
// and file name stand there as ASCII placeholders: they are put in
// afterwards, in the database's code page.
std::string installer_wxs(const InstallerPlan& plan, const std::string& version, bool setActive,
                          const std::string& source);

// A GUID made from text: the same text gives the same GUID.
std::string guid_of(const std::string& text);

}  // namespace sg::packtool
