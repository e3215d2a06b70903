// The help texts of snowglobe-pack: the program's, and each command's.
#pragma once

#include <map>
#include <string>

namespace sg::packtool {

extern const char* const MAIN_HELP;
// Command name -> its --help text, for the commands this build has (each
// text is kept with its command's code).
const std::map<std::string, std::string>& HELP();

}  // namespace sg::packtool
