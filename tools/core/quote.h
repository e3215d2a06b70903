// The string quoters for everything snowglobe-pack writes: TOML basic strings
// (extracted manifests) and JSON strings (inspect --json) escape alike; XML
// (listings, installer sources) has its own five entities.
#pragma once

#include <string>

namespace sg::packtool {

// `utf8` in double quotes: ", \ and the control bytes (0x00-0x1f and 0x7f,
// which TOML forbids raw) escaped; \n, \t and \r by name, the rest as \u00XX.
// Both languages read the result back to the same bytes.
std::string quote(const std::string& utf8);

// `text` with &, <, >, " and ' as XML entities, for attribute values and text.
std::string xml_escaped(const std::string& text);

}  // namespace sg::packtool
