// The inspect report: a package's scene in the manifest's words, as text for
// a terminal or as JSON for scripts.
#pragma once

#include <string>

#include "tools/core/check.h"
#include "tools/core/container.h"

namespace sg::packtool {

std::string inspect_text(const Source& source, const Checked& checked);
std::string inspect_json(const Source& source, const Checked& checked);

// A monitor mode in the manifest's word and what full screen shows with it:
// "each (every monitor plays its own copy at its own size)".
std::string monitors_text(format::MonitorMode mode);

// "error at byte 12: ..." lines, titles converted for the terminal.
std::string problems_text(const pack::Problems& problems);

}  // namespace sg::packtool
