// The files that list a saver on a Linux desktop: the screen-saver daemon's
// XML description (share/xscreensaver/config/NAME.xml) and the desktop entry
// (share/applications/screensavers/NAME.desktop) that other savers' settings
// read. Both name the program NAME and show the scene's title as its label.
#pragma once

#include <string>
#include <vector>

namespace sg::packtool {

struct Listing {
    std::string name;                // the program's file name, as run from PATH
    std::string label;               // UTF-8, shown in the settings' list
    std::vector<std::string> about;  // UTF-8 about-box lines shown, for the description
};

// Program names go into Exec= and into file names unquoted: letters, digits,
// '.', '_', '-', not starting with '-' or '.', at most 64 bytes.
bool listing_name_ok(const std::string& name);

std::string listing_xml(const Listing& listing);
std::string listing_desktop(const Listing& listing);

}  // namespace sg::packtool
