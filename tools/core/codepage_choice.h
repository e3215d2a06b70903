// Which code page a scene's texts are stored in, chosen for the author, and
// texts shown as text even where some of their bytes have no character.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sg::packtool {

// A character of the texts that not every code page holds, and those that do.
struct CodePageClash {
    std::string character;  // UTF-8
    std::uint32_t codePoint = 0;
    std::vector<std::uint32_t> holders;
};

struct CodePageChoice {
    std::optional<std::uint32_t> codePage;  // nullopt: no one code page holds every text
    bool kept = false;                      // the current code page still holds them
    std::vector<CodePageClash> clashes;     // when none holds them all
};

// The code pages in the order they are offered: 932 first, as packages
// without a text record are read, then Western pages.
const std::vector<std::uint32_t>& code_page_order();

// The current code page when it holds every text, else the first in
// code_page_order() that does; when none does, the characters that not
// every code page holds, each with the pages that hold it.
CodePageChoice choose_code_page(const std::vector<std::string>& utf8Texts, std::uint32_t current);

// "no one code page holds every text: "é" (U+00E9) is in 1252 (Western
// European), ...; "α" (U+03B1) only in 1253 (Greek)".
std::string clash_message(const std::vector<CodePageClash>& clashes);

// Bytes in a code page as text to edit: characters as UTF-8, a byte that has
// no character (or would not convert back to itself) as \xNN, a backslash
// as \\. text_as_bytes(bytes_as_text(b, cp), cp) == b for every b.
std::string bytes_as_text(const std::string& bytes, std::uint32_t codePage);
// The reverse; nullopt with `why` set for a character the code page cannot
// hold or a broken escape.
std::optional<std::string> text_as_bytes(const std::string& text, std::uint32_t codePage, std::string* why);

}  // namespace sg::packtool
