// The one quoter behind extracted manifests (TOML) and inspect --json: every
// control byte is escaped, and TOML reads the result back to the same text.
#include <gtest/gtest.h>
#include <toml++/toml.h>

#include "tools/core/quote.h"

using sg::packtool::quote;

TEST(PackQuote, EscapesQuotesBackslashesAndEveryControlByte) {
    EXPECT_EQ(quote("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(quote("\r\n\t"), "\"\\r\\n\\t\"");
    EXPECT_EQ(quote(std::string("\x7f\x01\x1f\x08\x0c", 5)), "\"\\u007f\\u0001\\u001f\\u0008\\u000c\"");
    EXPECT_EQ(quote(std::string(1, '\0')), "\"\\u0000\"");
    // Letters beyond ASCII pass as they are.
    EXPECT_EQ(quote("Caf\xc3\xa9 \xe9\x9b\xaa"), "\"Caf\xc3\xa9 \xe9\x9b\xaa\"");
}

TEST(PackQuote, TomlReadsEveryByteBackUnchanged) {
    std::string all;
    for (int ch = 1; ch < 0x80; ++ch) all += static_cast<char>(ch);
    all += "\xc3\x9f";
    toml::table t = toml::parse("k = " + quote(all) + "\n");
    ASSERT_TRUE(t["k"].is_string());
    EXPECT_EQ(t["k"].as_string()->get(), all);
    // No raw control byte survives in the quoted text (JSON forbids them, TOML forbids DEL too).
    for (unsigned char ch : quote(all)) EXPECT_FALSE(ch < 0x20 || ch == 0x7f) << int(ch);
}
