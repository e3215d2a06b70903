// A saver's name: the scene's title as people read it (UTF-8 and UTF-16),
// and the file name a saver is given after it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sg::packtool {

// The title stored in a package's code page, as UTF-8; bytes the code page
// does not define are shown as \xNN (see code_page_display).
std::string title_utf8(std::string_view titleBytes, std::uint32_t codePage);

// UTF-8 <-> UTF-16. Invalid UTF-8 becomes U+FFFD; lone surrogates too.
std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);

// A file name (without extension) that Windows and Linux both accept, made
// from a UTF-8 title: the characters Windows forbids (<>:"/\|?* and control
// characters) become '_', trailing dots and spaces go, a device name (CON,
// PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension) gets a '_'
// after it, and the name is cut at a character boundary to 200 bytes. An
// empty result is "snowglobe".
std::string saver_file_stem(std::string_view utf8Title);

}  // namespace sg::packtool
