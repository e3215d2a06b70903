// The monitors setting: build writes it, inspect and validate show it,
// extract writes it back, the saver reads what build wrote, and a scene
// without it is the same bytes as before.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "apps/pack/commands.h"
#include "platform/headless/headless.h"
#include "scene/package.h"
#include "tests/support/fixtures.h"
#include "tools/core/check.h"
#include "tools/core/container.h"
#include "tools/core/inspect.h"
#include "tools/core/manifest.h"
#include "tools/packlib/packlib.h"

namespace fs = std::filesystem;
using namespace sg::packtool;
using sg::format::MonitorMode;

namespace {

class PackMonitors : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("pack-monitors-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        write_file_atomic(dir / "s.wav", sg::test::silent_wav(100));
    }
    void TearDown() override { fs::remove_all(dir); }

    sg::pack::Bytes build(const std::string& manifest) {
        std::ofstream(dir / "scene.toml", std::ios::binary) << manifest;
        return sg::pack::package_bytes(build_manifest(dir / "scene.toml").package);
    }
    std::string error_of(const std::string& manifest) {
        try {
            build(manifest);
        } catch (const Failure& e) {
            return e.what();
        }
        return "";
    }
};

// The mode the saver's own copy-out finds in these bytes.
MonitorMode saver_mode(const sg::pack::Bytes& bytes) {
    pf::headless::reset();
    pf::headless::set_package(bytes.data(), bytes.size());
    sg::Package package;
    EXPECT_TRUE(sg::package_copy_out(package, nullptr));
    return package.monitorMode;
}

TEST_F(PackMonitors, EachModeComesBackThroughInspectAndExtract) {
    const std::string head = "title = \"snow\"\n[[layer]]\nframes = [\"f.bmp\"]\n";
    write_file_atomic(dir / "f.bmp", sg::test::frame_bmp(8, 8));
    const sg::pack::Bytes plain = build(head);
    EXPECT_EQ(build("monitors = \"primary\"\n" + head), plain) << "primary is today's package";
    EXPECT_EQ(saver_mode(plain), MonitorMode::Primary);
    {
        const Checked checked = check_package(plain);
        EXPECT_EQ(extract_manifest(checked.read, "x").manifest.find("monitors"), std::string::npos);
        const Source source = source_from_bytes(plain, "x");
        EXPECT_NE(inspect_text(source, checked).find("\nmonitors:    primary (the primary monitor plays"), std::string::npos);
        EXPECT_NE(inspect_json(source, checked).find("\"monitors\": \"primary\",\n"), std::string::npos);
    }

    for (const std::string extra : {"", "sound = \"s.wav\"\n", "codepage = 1252\nsound = \"s.wav\"\n", "codepage = 1252\n"}) {
        for (const auto& [word, mode] : {std::pair{"each", MonitorMode::Each}, std::pair{"span", MonitorMode::Span}}) {
            const std::string what = extra + word;
            const sg::pack::Bytes bytes = build(extra + "monitors = \"" + word + "\"\n" + head);
            EXPECT_EQ(saver_mode(bytes), mode) << what;
            const Checked checked = check_package(bytes);
            ASSERT_TRUE(checked.problems.empty()) << what << ": " << checked.problems[0].message;
            EXPECT_EQ(checked.read.monitorMode, mode) << what;
            const Source source = source_from_bytes(bytes, "x");
            EXPECT_NE(inspect_text(source, checked).find("\nmonitors:    " + std::string(word) + " ("), std::string::npos) << what;
            EXPECT_NE(inspect_json(source, checked).find("\"monitors\": \"" + std::string(word) + "\",\n"), std::string::npos)
                << what;

            const Extracted x = extract_manifest(checked.read, "x");
            EXPECT_TRUE(x.warnings.empty()) << what;
            EXPECT_NE(x.manifest.find("\nmonitors = \"" + std::string(word) + "\"\n"), std::string::npos) << x.manifest;
            for (const auto& [name, file] : x.files) write_file_atomic(dir / name, file);
            EXPECT_EQ(build(x.manifest), bytes) << what;
        }
    }

    // validate says what full screen does.
    std::ofstream(dir / "scene.toml", std::ios::binary) << "monitors = \"span\"\n" + head;
    testing::internal::CaptureStdout();
    EXPECT_EQ(cmd_validate({(dir / "scene.toml").string()}), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("  monitors: span (one scene over the bounding box of all monitors); savers that do not know"),
              std::string::npos)
        << out;
}

TEST_F(PackMonitors, SettingIsChecked) {
    const std::string path = (dir / "scene.toml").string();
    EXPECT_EQ(error_of("title = \"a\"\nmonitors = \"both\"\n"),
              path + ":2: monitors: \"both\" is not a monitor mode; use \"primary\", \"each\" or \"span\"");
    EXPECT_EQ(error_of("title = \"a\"\nmonitors = 1\n"), path + ":2: monitors: must be a string, not an integer");
    // Where the record goes, leftovers may not go.
    EXPECT_NE(error_of("title = \"a\"\nmonitors = \"each\"\n[leftovers]\ndirectory_12 = [0, 1]\n")
                  .find("directory_12: is only for a scene without a sound and with monitors = \"primary\""),
              std::string::npos);
    const std::string block = std::string(46, '0') + "01";  // byte 23
    EXPECT_NE(error_of("title = \"a\"\nsound = \"s.wav\"\nmonitors = \"span\"\n[leftovers]\noptional_block_1 = \"" + block + "\"\n")
                  .find("optional_block_1: its bytes 12 to 23 must be zero with monitors other than \"primary\""),
              std::string::npos);
    EXPECT_EQ(error_of("title = \"a\"\nsound = \"s.wav\"\n[leftovers]\noptional_block_1 = \"" + block + "\"\n"), "");
}

}  // namespace
