// Texts in a Windows code page (a package's title and about lines) to UTF-8
// and back, with one policy for bytes and characters that do not convert:
//
//   - to UTF-8, for showing a text, never fails: each byte that does not
//     begin a character of the code page (a byte the page does not define, a
//     lead byte whose trail byte is wrong, a lead byte at the very end) shows
//     as U+FFFD, and the text goes on from the byte after it;
//   - from UTF-8, for writing a package, is all or nothing: the first
//     character the code page cannot hold (or the first byte that is not
//     UTF-8) is named, with its place in the text, and no bytes are given.
//
// The Linux program and the authoring tool both convert through here; the
// Windows builds use the system's own conversion and do not build this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sg::format {

struct DecodedText {
    std::string utf8;
    std::size_t replaced = 0;  // bytes shown as U+FFFD
};

// The first character of a UTF-8 text that a code page cannot hold.
struct CodePageMisfit {
    std::string character;      // its UTF-8 bytes (one byte when it is not UTF-8)
    std::uint32_t codePoint = 0;
    std::size_t position = 0;   // counted in characters from 1
};

struct EncodedText {
    std::string bytes;                     // empty when misfit is set
    std::optional<CodePageMisfit> misfit;
};

DecodedText code_page_to_utf8(std::string_view bytes, std::uint32_t codePage);
EncodedText utf8_to_code_page(std::string_view utf8, std::uint32_t codePage);

}  // namespace sg::format
