// Texts in packages are in a Windows code page: Shift-JIS (932) unless the
// package's text record names another. Manifests and terminals are UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "format/codepage.h"

namespace sg::packtool {

// Through format/codepage.h. nullopt when the bytes or characters do not all
// convert (code_page_to_utf8: the text is not exactly the page's bytes).
std::optional<std::string> code_page_to_utf8(std::string_view bytes, std::uint32_t codePage);
std::optional<std::string> utf8_to_code_page(std::string_view utf8, std::uint32_t codePage);
// For printing: the UTF-8 text, a byte that does not convert shown as U+FFFD,
// control characters as \xNN escapes.
std::string code_page_display(std::string_view bytes, std::uint32_t codePage);

// The same for Shift-JIS (code page 932).
std::optional<std::string> sjis_to_utf8(std::string_view sjis);
std::optional<std::string> utf8_to_sjis(std::string_view utf8);
std::string sjis_display(std::string_view sjis);

// "932 (Japanese)", "1252 (Western European)", ...
std::string code_page_label(std::uint32_t codePage);

// The first character of a UTF-8 text that codePage cannot hold.
using Misfit = format::CodePageMisfit;
std::optional<Misfit> first_misfit(std::string_view utf8, std::uint32_t codePage);
// The first allowed code page (Western ones first) that holds the whole text.
std::optional<std::uint32_t> code_page_holding(std::string_view utf8);

}  // namespace sg::packtool
