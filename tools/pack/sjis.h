// Texts in packages are Shift-JIS (code page 932); manifests and terminals are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sg::packtool {

// nullopt when the bytes are not valid in the target encoding.
std::optional<std::string> sjis_to_utf8(std::string_view sjis);
std::optional<std::string> utf8_to_sjis(std::string_view utf8);
// For printing: the UTF-8 text, or, where a byte does not convert, \xNN escapes.
std::string sjis_display(std::string_view sjis);

}  // namespace sg::packtool
