// Texts in another code page: the manifest's codepage setting, the refusal of
// a text the chosen code page cannot hold, and inspect and extract reading
// the texts back through the package's text record.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "apps/pack/commands.h"
#include "tools/core/check.h"
#include "tools/core/codepage_choice.h"
#include "tools/core/container.h"
#include "tools/core/inspect.h"
#include "tools/core/manifest.h"
#include "tools/core/util.h"
#include "tools/packlib/packlib.h"

namespace fs = std::filesystem;
using namespace sg::packtool;

namespace {

class PackCodePage : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("pack-codepage-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    sg::pack::Package built(const std::string& manifest) {
        std::ofstream(dir / "scene.toml", std::ios::binary) << manifest;
        return build_manifest(dir / "scene.toml").package;
    }
    std::string error_of(const std::string& manifest) {
        try {
            built(manifest);
        } catch (const Failure& e) {
            return e.what();
        }
        return "";
    }
};

const std::string WESTERN = "title = \"Café\"\nabout = [\"Straße\", \"Naïve\"]\n";

TEST_F(PackCodePage, WesternTextsBuildWithTheirCodePage) {
    const sg::pack::Package p = built("codepage = 1252\n" + WESTERN);
    EXPECT_EQ(p.textCodePage, 1252u);
    EXPECT_EQ(p.scene.title, "Caf\xe9");
    EXPECT_EQ(p.info.lines[0], "Stra\xdf" "e");
    EXPECT_EQ(p.info.lines[1], "Na\xefve");

    const sg::pack::Package greek = built("codepage = 1253\ntitle = \"Καλημέρα\"\n");
    EXPECT_EQ(greek.textCodePage, 1253u);
    EXPECT_EQ(greek.scene.title, "\xca\xe1\xeb\xe7\xec\xdd\xf1\xe1");

    // 932 given or left out is the same package, without a record.
    const sg::pack::Package plain = built("title = \"雪\"\n");
    EXPECT_EQ(plain.textCodePage, 932u);
    EXPECT_EQ(sg::pack::package_bytes(built("codepage = 932\ntitle = \"雪\"\n")), sg::pack::package_bytes(plain));
}

TEST_F(PackCodePage, TextsThatDoNotFitNameTheFirstCharacter) {
    const std::string path = (dir / "scene.toml").string();
    EXPECT_EQ(error_of(WESTERN), path + ":1: title: \"é\" (U+00E9, character 4) is not in code page 932 "
                                        "(Japanese, Shift-JIS); set codepage = 1252 (Western European) to hold this text");
    EXPECT_EQ(error_of("title = \"ok\"\nabout = [\"a\", \"Straße\"]\n"),
              path + ":2: about[1]: \"ß\" (U+00DF, character 5) is not in code page 932 (Japanese, Shift-JIS); "
                     "set codepage = 1252 (Western European) to hold this text");
    // Greek in a Western page: the hint names the page that holds it.
    EXPECT_EQ(error_of("codepage = 1252\ntitle = \"ok\"\nabout = [{ text = \"aΩ\" }]\n"),
              path + ":3: about[0].text: \"Ω\" (U+03A9, character 2) is not in code page 1252 (Western European); "
                     "set codepage = 1253 (Greek) to hold this text");
    // A text no single code page holds.
    const std::string mixed = error_of("codepage = 1253\ntitle = \"Ωé😀\"\n");
    EXPECT_NE(mixed.find(":2: title: \"é\" (U+00E9, character 2) is not in code page 1253 (Greek); "
                         "no code page a package may name"),
              std::string::npos)
        << mixed;
    // Bytes count in the chosen code page: 299 accents (598 in UTF-8) fit.
    std::string accents;
    for (int i = 0; i < 299; ++i) accents += "é";
    EXPECT_EQ(error_of("codepage = 1252\ntitle = \"" + accents + "\"\n"), "");
    accents += "é";
    EXPECT_EQ(error_of("codepage = 1252\ntitle = \"" + accents + "\"\n"),
              path + ":2: title: is 300 bytes in code page 1252; at most 299 fit");
}

TEST_F(PackCodePage, CodePageSettingIsChecked) {
    const std::string path = (dir / "scene.toml").string();
    EXPECT_EQ(error_of("codepage = 65001\ntitle = \"a\"\n"),
              path + ":1: codepage: 65001 is not a code page a package may name; use 874, 932, 936, 949, 950 or 1250..1258");
    EXPECT_EQ(error_of("codepage = 1259\ntitle = \"a\"\n"),
              path + ":1: codepage: 1259 is not a code page a package may name; use 874, 932, 936, 949, 950 or 1250..1258");
    EXPECT_NE(error_of("codepage = \"1252\"\ntitle = \"a\"\n").find(":1: codepage: must be an integer"), std::string::npos);
    EXPECT_NE(error_of("codepage = 1252\ntitle = \"a\"\n[leftovers]\ndirectory_12 = [0, 1]\n")
                  .find("directory_12: is only for a scene without a sound and with codepage 932"),
              std::string::npos);
    for (const int codePage : {874, 936, 949, 950, 1250, 1251, 1254, 1255, 1256, 1257, 1258})
        EXPECT_EQ(error_of("codepage = " + std::to_string(codePage) + "\ntitle = \"a\"\n"), "") << codePage;
}

TEST_F(PackCodePage, InspectAndExtractReadTextsThroughTheRecord) {
    const sg::pack::Bytes package = sg::pack::package_bytes(built("codepage = 1252\n" + WESTERN));
    const Source source = source_from_bytes(package, "scene.kavren");
    const Checked checked = check_package(source.package);
    ASSERT_TRUE(checked.ok());
    const std::string text = inspect_text(source, checked);
    EXPECT_NE(text.find("title:       Café\ntexts:       code page 1252 (Western European)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  0  Straße\n  1  Naïve\n"), std::string::npos) << text;
    const std::string json = inspect_json(source, checked);
    EXPECT_NE(json.find("\"codepage\": 1252,\n  \"title\": \"Café\""), std::string::npos) << json;
    EXPECT_NE(json.find("{\"text\": \"Naïve\", \"shown\": true}"), std::string::npos) << json;

    // Extract writes the setting and UTF-8 texts; building them again gives the same bytes.
    const Extracted x = extract_manifest(checked.read, "scene.kavren");
    EXPECT_TRUE(x.warnings.empty());
    EXPECT_NE(x.manifest.find("codepage = 1252\ntitle = \"Café\"\n"), std::string::npos) << x.manifest;
    EXPECT_NE(x.manifest.find("\"Straße\""), std::string::npos) << x.manifest;
    EXPECT_EQ(sg::pack::package_bytes(built(x.manifest)), package);

    // The daemon's listing reads them through the record too.
    std::ofstream(dir / "scene.toml", std::ios::binary) << "codepage = 1252\n" + WESTERN;
    testing::internal::CaptureStdout();
    EXPECT_EQ(cmd_listing({(dir / "scene.toml").string(), "--name", "cafe", "-o", (dir / "out").string()}), 0);
    testing::internal::GetCapturedStdout();
    const auto read = [&](const char* name) {
        std::ifstream in(dir / "out" / name);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    EXPECT_NE(read("cafe.desktop").find("Name=Café\n"), std::string::npos) << read("cafe.desktop");
    EXPECT_NE(read("cafe.xml").find("Straße"), std::string::npos) << read("cafe.xml");

    // A Shift-JIS package keeps today's output: no setting, no record line.
    const sg::pack::Bytes plain = sg::pack::package_bytes(built("title = \"雪\"\n"));
    const Checked plainChecked = check_package(plain);
    EXPECT_EQ(extract_manifest(plainChecked.read, "x").manifest.find("codepage"), std::string::npos);
    const std::string plainText = inspect_text(source_from_bytes(plain, "x"), plainChecked);
    EXPECT_EQ(plainText.find("texts:"), std::string::npos);
    EXPECT_NE(plainText.find("title:       雪\n"), std::string::npos);
}

// Lines wider than the about box's field (measured under wine: 38 columns,
// full-width characters two) are warned about, pointing at the manifest line.
TEST_F(PackCodePage, ValidateWarnsAboutLinesWiderThanTheirField) {
    const auto widths = [](const sg::pack::Package& p) {
        std::vector<std::string> found;
        for (const sg::pack::Problem& problem : check_package(sg::pack::package_bytes(p)).problems)
            if (problem.message.find("columns wide") != std::string::npos) found.push_back(problem.message);
        return found;
    };
    std::string kanji19, kanji20;
    for (int i = 0; i < 19; ++i) kanji19 += "雪";
    kanji20 = kanji19 + "雪";
    const sg::pack::Package p = built("title = \"t\"\nabout = [\n  \"" + std::string(38, 'a') + "\",\n  \"" +
                                      std::string(39, 'a') + "\",\n  \"" + kanji19 + "\",\n  \"" + kanji20 +
                                      "\",\n  { text = \"" + std::string(60, 'b') + "\", shown = false },\n]\n");
    EXPECT_EQ(widths(p), (std::vector<std::string>{
                             "about line 1: is 39 columns wide, but the about box shows 38 (full-width characters "
                             "count as two); the rest is cut off",
                             "about line 3: is 40 columns wide, but the about box shows 38 (full-width characters "
                             "count as two); the rest is cut off"}));
    // Western texts count one column a character.
    std::string accents;
    for (int i = 0; i < 38; ++i) accents += "é";
    EXPECT_TRUE(widths(built("codepage = 1252\ntitle = \"t\"\nabout = [\"" + accents + "\"]\n")).empty());
    EXPECT_EQ(widths(built("codepage = 1252\ntitle = \"t\"\nabout = [\"" + accents + "é\"]\n")).size(), 1u);

    // build points the warning at the line of the manifest that gave it.
    std::ofstream(dir / "scene.toml", std::ios::binary) << "title = \"t\"\nabout = [\n  \"a\",\n  \"" + std::string(39, 'a') + "\",\n]\n";
    const Built b = build_manifest(dir / "scene.toml");
    const sg::pack::Bytes bytes = sg::pack::package_bytes(b.package);
    const std::vector<std::string> warnings = build_warnings(b, bytes, check_package(bytes).problems);
    const std::string expected = (dir / "scene.toml").string() + ":4: about[1]: is 39 columns wide";
    EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(),
                            [&](const std::string& w) { return w.rfind(expected, 0) == 0; }))
        << (warnings.empty() ? "no warnings" : warnings[0]);
}

}  // namespace

// The code page the studio chooses: the current one while it holds every
// text, else the first that does (932 first); when none does, the characters
// some page lacks, each with the pages that hold it.
TEST(CodePageChoice, CurrentKeptElseFirstThatHoldsAll) {
    struct Case {
        std::vector<std::string> texts;
        std::uint32_t current, chosen;
        bool kept;
    };
    const Case cases[] = {
        {{"plain", "about"}, 932, 932, true},
        {{"Coucher de soleil à Nice", "plain"}, 932, 1252, false},
        {{"Ηλιοβασίλεμα"}, 932, 1253, false},
        {{"Ηλιοβασίλεμα"}, 1252, 1253, false},
        {{"雪", "ascii"}, 1252, 932, false},
        {{"plain"}, 1253, 1253, true},   // an explicit choice stays while it fits
        {{"plain"}, 1234, 932, false},   // a number no package may name does not
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.texts[0] + " from " + std::to_string(c.current));
        const CodePageChoice choice = choose_code_page(c.texts, c.current);
        ASSERT_TRUE(choice.codePage.has_value());
        EXPECT_EQ(*choice.codePage, c.chosen);
        EXPECT_EQ(choice.kept, c.kept);
        EXPECT_TRUE(choice.clashes.empty());
    }

    const CodePageChoice none = choose_code_page({"Café", "שלום"}, 932);
    EXPECT_FALSE(none.codePage.has_value());
    const std::string message = clash_message(none.clashes);
    EXPECT_NE(message.find("\"é\" (U+00E9) is in 1252 (Western European), "), std::string::npos) << message;
    EXPECT_NE(message.find("\"ש\" (U+05E9) only in 1255 (Hebrew)"), std::string::npos) << message;
    // Characters every page holds are not named.
    EXPECT_EQ(message.find("\"C\""), std::string::npos) << message;
}

// Bytes with no character in the code page are escaped and come back unchanged.
TEST(CodePageChoice, BytesShownAsTextComeBackUnchanged) {
    const std::pair<std::string, std::uint32_t> cases[] = {
        {"Caf\xe9 \x81 \\ \x01", 1252},   // 0x81 is no character of 1252
        {"\x83\x58\x83", 932},            // a lead byte cut off at the end
        {"\xca\xe1\xeb", 1253},
        {"a\xec" "b", 1258},              // a letter and its accent byte
    };
    for (const auto& [bytes, codePage] : cases) {
        const std::string text = bytes_as_text(bytes, codePage);
        std::string why;
        EXPECT_EQ(text_as_bytes(text, codePage, &why), bytes) << text << " " << why;
    }
    EXPECT_EQ(bytes_as_text("Caf\xe9 \x81 \\", 1252), "Café \\x81 \\\\");
    EXPECT_EQ(bytes_as_text("\x83\x58\x83", 932), "ス\\x83");

    std::string why;
    EXPECT_FALSE(text_as_bytes("a\\q", 1252, &why));
    EXPECT_NE(why.find("\\xNN"), std::string::npos) << why;
    EXPECT_FALSE(text_as_bytes("aΩ", 1252, &why));
    EXPECT_EQ(why, "\"Ω\" is not in code page 1252 (Western European)");
}

// codepage = "auto" builds what the first code page holding the texts builds.
TEST_F(PackCodePage, AutoChoosesTheFirstCodePageThatHoldsTheTexts) {
    EXPECT_EQ(sg::pack::package_bytes(built("codepage = \"auto\"\n" + WESTERN)),
              sg::pack::package_bytes(built("codepage = 1252\n" + WESTERN)));
    EXPECT_EQ(built("codepage = \"auto\"\ntitle = \"x\"\nabout = [{ text = \"Καλημέρα\" }]\n").textCodePage, 1253u);
    EXPECT_EQ(built("codepage = \"auto\"\ntitle = \"雪\"\n").textCodePage, 932u);

    const std::string path = (dir / "scene.toml").string();
    EXPECT_EQ(error_of("codepage = \"auto\"\ntitle = \"Café\"\nabout = [\"שלום\"]\n").rfind(
                  path + ":1: codepage: \"auto\": no one code page holds every text: \"é\" (U+00E9) is in 1252", 0),
              0u);
    EXPECT_EQ(error_of("codepage = \"Auto\"\ntitle = \"x\"\n"),
              path + ":1: codepage: must be an integer (874, 932, 936, 949, 950 or 1250..1258) or \"auto\", not \"Auto\"");
}
