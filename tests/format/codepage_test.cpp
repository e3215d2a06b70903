// The one policy for texts that do not convert: shown with U+FFFD for each
// byte the code page does not define, refused when written with the first
// character the code page cannot hold named.
#include <gtest/gtest.h>

#include "format/codepage.h"

namespace {

using sg::format::code_page_to_utf8;
using sg::format::utf8_to_code_page;

TEST(Codepage, ShowingATextReplacesEachByteThatDoesNotConvert) {
    // 932: a katakana, an undefined byte, a lead byte whose trail is wrong,
    // and a lead byte at the very end.
    auto shown = code_page_to_utf8("\x83\x58" "A\xFF" "B\x83 C\x83", 932);
    EXPECT_EQ(shown.utf8, "スA\uFFFDB\uFFFD C\uFFFD");
    EXPECT_EQ(shown.replaced, 3u);
    // 1252: é is defined, 0x81 is not, at the end either.
    shown = code_page_to_utf8("Caf\xe9\x81 x\x81", 1252);
    EXPECT_EQ(shown.utf8, "Café\uFFFD x\uFFFD");
    EXPECT_EQ(shown.replaced, 2u);
    // 1258 holds a letter back for an accent that may join it: the last
    // letter, and one before a byte that does not convert, are kept.
    EXPECT_EQ(code_page_to_utf8("ab", 1258).utf8, "ab");
    EXPECT_EQ(code_page_to_utf8("a\xec" "b\x81", 1258).utf8, "\u00e1b\uFFFD");
    // A code page without a converter keeps ASCII only.
    EXPECT_EQ(code_page_to_utf8("ok\xe9", 99999).utf8, "ok\uFFFD");
}

TEST(Codepage, WritingATextNamesTheFirstCharacterThePageCannotHold) {
    EXPECT_EQ(utf8_to_code_page("スノー", 932).bytes, "\x83\x58\x83\x6d\x81\x5b");
    EXPECT_EQ(utf8_to_code_page("Straße", 1252).bytes, "Stra\xdf" "e");
    EXPECT_EQ(code_page_to_utf8(utf8_to_code_page("スノー", 932).bytes, 932).utf8, "スノー");
    EXPECT_EQ(code_page_to_utf8("Stra\xdf" "e", 1252).utf8, "Straße");

    auto written = utf8_to_code_page("aéb", 932);
    ASSERT_TRUE(written.misfit);
    EXPECT_TRUE(written.bytes.empty());
    EXPECT_EQ(written.misfit->character, "é");
    EXPECT_EQ(written.misfit->codePoint, 0xE9u);
    EXPECT_EQ(written.misfit->position, 2u);

    written = utf8_to_code_page("aΩ", 1252);
    ASSERT_TRUE(written.misfit);
    EXPECT_EQ(written.misfit->codePoint, 0x3A9u);
    EXPECT_EQ(written.misfit->position, 2u);

    // UTF-8 cut short at the end (the first two bytes of ス): its lead byte.
    written = utf8_to_code_page("ab\xe3\x82", 932);
    ASSERT_TRUE(written.misfit);
    EXPECT_EQ(written.misfit->character, "\xe3");
    EXPECT_EQ(written.misfit->position, 3u);
    written = utf8_to_code_page("Caf\xc3", 1252);  // é cut short
    ASSERT_TRUE(written.misfit);
    EXPECT_EQ(written.misfit->character, "\xc3");
    EXPECT_EQ(written.misfit->position, 4u);
    EXPECT_EQ(utf8_to_code_page("ok\xc3\xa9", 99999).misfit->position, 3u) << "no converter: ASCII only";
}

}  // namespace
