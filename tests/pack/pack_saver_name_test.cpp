// A bound Windows saver carries its scene's title: string 1 (the name the
// screen saver list shows) and the version resource's FileDescription and
// ProductName, read back with the tool's own PE reader; bind without -o
// names the file after the title, in a form Windows accepts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/shell_support.h"
#include "apps/pack/commands.h"
#include "tools/core/pe.h"
#include "tools/core/saver_name.h"
#include "tools/core/util.h"
#include "tools/core/version_resource.h"

using namespace sg::packtool;
namespace fs = std::filesystem;

namespace {

fs::path fixture_path(const char* arch) {
#ifdef SG_PACK_FIXTURE_DIR
    return fs::path(SG_PACK_FIXTURE_DIR) / (std::string("pe-fixture-") + arch + ".exe");
#else
    (void)arch;
    return {};
#endif
}

struct TempDir {
    fs::path path = fs::temp_directory_path() / ("sg-saver-name-" + std::to_string(::getpid()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
};

}  // namespace

TEST(SaverName, BoundSaverCarriesTheFrenchTitleAndIsNamedAfterIt) {
    const fs::path engine = fixture_path("i686");
    if (engine.empty() || !fs::exists(engine)) GTEST_SKIP() << "no mingw-w64 build of the fixture program";
    TempDir dir;
    sg::pack::Package p = shell_test::base_package("Coucher de soleil \xe0 Nice");
    p.textCodePage = 1252;
    write_file_atomic(dir.path / "nice.kavren", sg::pack::package_bytes(p));

    ::testing::internal::CaptureStdout();
    const int status = cmd_bind({engine.string(), (dir.path / "nice.kavren").string()});
    ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0);
    const fs::path saver = dir.path / "Coucher de soleil \xc3\xa0 Nice.scr";
    ASSERT_TRUE(fs::exists(saver)) << "bind without -o names the saver after the title";

    const Bytes bound = read_file(saver);
    EXPECT_TRUE(pe::layout_problems(bound).empty());
    const std::u16string title = u"Coucher de soleil \u00e0 Nice";
    EXPECT_EQ(saver_name(bound, "test"), title);
    const auto block = pe::find_resource(bound, pe::ResName::of(RT_STRING), pe::ResName::of(1), 0x409, "test");
    ASSERT_TRUE(block);
    EXPECT_EQ(string_block_entry(*block, 7), u"strings-kept") << "the engine's other strings stay";
    const auto version = pe::find_resource(bound, pe::ResName::of(RT_VERSION), pe::ResName::of(1), 0, "test");
    ASSERT_TRUE(version);
    EXPECT_EQ(version_string(*version, u"FileDescription"), title);
    EXPECT_EQ(version_string(*version, u"ProductName"), title);
    EXPECT_FALSE(version_string(*version, u"Comments"));

    // Bound again, the name is replaced, not added to.
    p.scene.title = "Nuit";
    write_file_atomic(dir.path / "nuit.kavren", sg::pack::package_bytes(p));
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(cmd_bind({saver.string(), (dir.path / "nuit.kavren").string()}), 0);
    ::testing::internal::GetCapturedStdout();
    const Bytes again = read_file(dir.path / "Nuit.scr");
    EXPECT_EQ(saver_name(again, "test"), u"Nuit");
    EXPECT_EQ(version_string(*pe::find_resource(again, pe::ResName::of(RT_VERSION), pe::ResName::of(1), 0, "test"),
                             u"FileDescription"),
              u"Nuit");
}

TEST(SaverName, FileNamesWindowsAccepts) {
    EXPECT_EQ(saver_file_stem("a<b>c:d\"e/f\\g|h?i*j"), "a_b_c_d_e_f_g_h_i_j");
    EXPECT_EQ(saver_file_stem("tab\there\x7f"), "tab_here_");
    EXPECT_EQ(saver_file_stem("Fin. . "), "Fin");
    EXPECT_EQ(saver_file_stem(" . "), "snowglobe");
    EXPECT_EQ(saver_file_stem(""), "snowglobe");
    EXPECT_EQ(saver_file_stem("con"), "con_");
    EXPECT_EQ(saver_file_stem("LPT9"), "LPT9_");
    EXPECT_EQ(saver_file_stem("Com1.old"), "Com1_.old");
    EXPECT_EQ(saver_file_stem("COM0"), "COM0");
    EXPECT_EQ(saver_file_stem("CONSOLE"), "CONSOLE");
    EXPECT_EQ(saver_file_stem("\xe5\xa4\x95\xe7\x84\xbc\xe3\x81\x91"), "\xe5\xa4\x95\xe7\x84\xbc\xe3\x81\x91");
    EXPECT_EQ(saver_file_stem("bad \xff byte"), "bad _ byte");
    // Cut at a character boundary: 66 three-byte characters fit in 200 bytes.
    std::string longTitle;
    for (int i = 0; i < 100; ++i) longTitle += "\xe9\x9b\xaa";
    EXPECT_EQ(saver_file_stem(longTitle), longTitle.substr(0, 198));
}

TEST(SaverName, VersionAndStringReadersStopAtDamage) {
    EXPECT_FALSE(string_block_entry(Bytes{3, 0, 'a', 0}, 0)) << "a count past the end";
    EXPECT_EQ(string_block_with(Bytes{9, 9}, 1, u"x"), string_block_with(std::nullopt, 1, u"x"));
    VersionStrings v;
    v.strings = {{u"FileDescription", u"T"}};
    Bytes info = version_info(v);
    EXPECT_EQ(version_string(info, u"FileDescription"), u"T");
    for (std::size_t cut : {info.size() - 1, std::size_t{40}, std::size_t{5}}) {
        Bytes shorter(info.begin(), info.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(version_string(shorter, u"FileDescription")) << cut;
    }
}
