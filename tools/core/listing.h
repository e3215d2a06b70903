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

// The line that makes XScreenSaver's daemon run the saver: one entry of the
// programs: resource of ~/.xscreensaver, in that file's continued form
// ("  NAME -root \n\"). The daemon merges this list with the system's.
std::string listing_programs_entry(const std::string& name);

// What to do with the files, for the person who asked for them: where the
// daemons of a Debian 12 desktop read each one, and the programs: entry.
std::string listing_instructions(const std::string& name);

}  // namespace sg::packtool
