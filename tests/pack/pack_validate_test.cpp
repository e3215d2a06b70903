// snowglobe-pack validate: every refusal of the engine is an error, on
// packages damaged on purpose, and the author's warnings appear where they
// should; the command's exit status follows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "apps/pack/commands.h"
#include "tools/core/check.h"
#include "tools/core/util.h"
#include "tools/packlib/packlib.h"

using namespace sg::packtool;
namespace fs = std::filesystem;

namespace {

sg::pack::Image picture(int w, int h, std::uint8_t shade) {
    sg::pack::Image image;
    image.width = w;
    image.height = h;
    for (int i = 0; i < w * h; ++i) image.bgr.insert(image.bgr.end(), {shade, static_cast<std::uint8_t>(i), 40});
    return image;
}

sg::pack::Package good() {
    sg::pack::Package p;
    p.scene.title = "validate";
    p.scene.backgroundMode = 4;
    p.scene.picture = sg::pack::bmp24(picture(32, 24, 9));
    p.layers[0].settings.enabled = 1;
    p.layers[0].settings.instanceCount = 5;
    p.layers[0].set.emplace();
    for (int i = 0; i < 3; ++i) p.layers[0].set->frames.push_back({sg::pack::bmp24(picture(16, 16, static_cast<std::uint8_t>(i + 1))), 2});
    p.info.lineShown[0] = 1;
    p.info.lines[0] = "line";
    return p;
}

bool has(const sg::pack::Problems& problems, sg::pack::Severity severity, const std::string& text) {
    for (const sg::pack::Problem& p : problems)
        if (p.severity == severity && p.message.find(text) != std::string::npos) return true;
    return false;
}

std::string listing(const sg::pack::Problems& problems) {
    std::string out;
    for (const sg::pack::Problem& p : problems) out += sg::pack::to_string(p) + "\n";
    return out;
}

// Where layer 0's first frame starts in the package.
std::size_t first_frame(const sg::pack::Bytes& bytes) {
    std::size_t chunk = static_cast<std::size_t>(read_i32(&bytes[8]));
    return chunk + 76 + static_cast<std::size_t>(read_i32(&bytes[chunk + 76 + 16]));
}

}  // namespace

TEST(PackValidate, AGoodPackageHasNoErrors) {
    Checked c = check_package(sg::pack::package_bytes(good()));
    EXPECT_TRUE(c.ok()) << listing(c.problems);
    EXPECT_EQ(c.warnings(), 0) << listing(c.problems);
}

TEST(PackValidate, EveryEngineRefusalIsAnError) {
    using Damage = std::function<void(sg::pack::Package&, sg::pack::Bytes&)>;
    auto model = [](std::function<void(sg::pack::Package&)> f) -> Damage {
        return [f](sg::pack::Package& p, sg::pack::Bytes& b) {
            f(p);
            b = sg::pack::package_bytes(p);
        };
    };
    auto bytes = [](std::function<void(sg::pack::Bytes&)> f) -> Damage {
        return [f](sg::pack::Package& p, sg::pack::Bytes& b) {
            b = sg::pack::package_bytes(p);
            f(b);
        };
    };
    struct Case {
        const char* name;
        Damage damage;
        const char* expected;
    } cases[] = {
        {"truncated", bytes([](sg::pack::Bytes& b) { b.resize(b.size() - 1600); }), "lies outside"},
        {"shorter than the directory", bytes([](sg::pack::Bytes& b) { b.resize(100); }), "shorter than its 112-byte directory"},
        {"offset past the end", bytes([](sg::pack::Bytes& b) { write_u32(&b[88], static_cast<std::uint32_t>(b.size() + 10)); }), "info block at offset"},
        {"negative offset", bytes([](sg::pack::Bytes& b) { write_u32(&b[0], 0xfffffff0u); }), "scene header at offset"},
        {"bad magic", model([](sg::pack::Package& p) { p.layers[0].set->magic = "AP02"; }), "not \"AP01\""},
        {"version 2", model([](sg::pack::Package& p) { p.layers[0].set->version = 2; }), "version is 2"},
        {"frame count 21", model([](sg::pack::Package& p) { p.layers[0].set->frameCountOverride = 21; }), "frame count of 21"},
        {"title without NUL", bytes([](sg::pack::Bytes& b) { std::fill(b.begin() + 112, b.begin() + 412, 'x'); }), "no NUL"},
        {"1-bit frame", bytes([](sg::pack::Bytes& b) { b[first_frame(b) + 28] = 1; }), "1 bits per pixel"},
        {"RLE frame", bytes([](sg::pack::Bytes& b) { b[first_frame(b) + 30] = 1; }), "compressed"},
        {"negative height", bytes([](sg::pack::Bytes& b) { write_u32(&b[first_frame(b) + 22], static_cast<std::uint32_t>(-16)); }), "negative"},
        {"24-bit frame with 300 colours used", bytes([](sg::pack::Bytes& b) { write_u32(&b[first_frame(b) + 46], 300); }),
         "more than 256"},
        {"picture not BMP", bytes([](sg::pack::Bytes& b) { b[112 + 340] = 'X'; }), "does not start with \"BM\""},
        {"set past the chunk", bytes([](sg::pack::Bytes& b) { write_u32(&b[static_cast<std::size_t>(read_i32(&b[8])) + 8], 0x7fffff00); }), "lies outside the package"},
        {"frame rows far past the set", bytes([](sg::pack::Bytes& b) { write_u32(&b[first_frame(b) + 22], 5000); }), "more than 1000 bytes past"},
        {"sound not a WAV", model([](sg::pack::Package& p) { p.scene.sound = sg::pack::Bytes(64, 'x'); }), "not a WAV file image"},
        {"empty title", model([](sg::pack::Package& p) { p.scene.title.clear(); }), "title is empty"},
    };
    fs::path file = fs::temp_directory_path() / ("pack-validate-" + std::to_string(::getpid()) + ".kavren");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sg::pack::Package p = good();
        sg::pack::Bytes b;
        c.damage(p, b);
        Checked checked;
        ASSERT_NO_THROW(checked = check_package(b));
        EXPECT_TRUE(has(checked.problems, sg::pack::Severity::Error, c.expected)) << listing(checked.problems);
        write_file_atomic(file, b);
        testing::internal::CaptureStdout();
        EXPECT_EQ(cmd_validate({file.string()}), 1);
        testing::internal::GetCapturedStdout();
    }
    fs::remove(file);
}

TEST(PackValidate, AuthorWarnings) {
    sg::pack::Package p = good();
    p.layers[0].set->frames[0].bmp = sg::pack::bmp24(picture(400, 20, 1));  // wider than the preview
    p.layers[0].set->maskMode = 1;                                        // black: no frame has it
    p.layers[3].settings.enabled = 1;
    p.layers[3].settings.instanceCount = 0;
    p.layers[3].set = p.layers[0].set;
    sg::pack::Bytes b = sg::pack::package_bytes(p);
    // Layer 5's directory entry points at layer 3's chunk: two blocks share bytes.
    write_u32(&b[8 * 6], static_cast<std::uint32_t>(read_i32(&b[8 * 4])));
    Checked c = check_package(b);
    EXPECT_TRUE(c.ok()) << listing(c.problems);
    EXPECT_TRUE(has(c.problems, sg::pack::Severity::Warning, "400 x 20 is larger than the 320 x 240 preview"));
    EXPECT_TRUE(has(c.problems, sg::pack::Severity::Warning, "no pixel has the key colour (black)"));
    EXPECT_TRUE(has(c.problems, sg::pack::Severity::Warning, "layer 3: no instances"));
    EXPECT_TRUE(has(c.problems, sg::pack::Severity::Warning, "layer 5 block (bytes"));
    // Warnings alone pass, unless asked to be strict.
    fs::path file = fs::temp_directory_path() / ("pack-validate-w-" + std::to_string(::getpid()) + ".kavren");
    write_file_atomic(file, b);
    testing::internal::CaptureStdout();
    EXPECT_EQ(cmd_validate({file.string()}), 0);
    EXPECT_EQ(cmd_validate({file.string(), "--strict"}), 1);
    testing::internal::GetCapturedStdout();
    fs::remove(file);
}

// A scene whose screen stays empty for long: every layer never shows a sprite
// or may first wait 300 ticks or more; one layer sure to show soon is enough.
TEST(PackValidate, QuietStartWarnsNamingLayersAndTicks) {
    const auto warning = [](const std::function<void(sg::pack::Package&)>& change) {
        sg::pack::Package p = good();
        p.layers[1] = p.layers[0];
        change(p);
        for (const sg::pack::Problem& problem : check_package(sg::pack::package_bytes(p)).problems)
            if (problem.message.find("only the background") != std::string::npos ||
                problem.message.find("no sprite ever shows") != std::string::npos)
                return problem.message;
        return std::string();
    };
    const auto reentryEveryTick = [](sg::pack::LayerSettings& s) { s.reentryCycles = 0; };
    const auto afterExit = [](sg::pack::LayerSettings& s, int wait) { s.delayMode = 2; s.maxWait = wait; };

    EXPECT_EQ(warning([](sg::pack::Package&) {}), "");
    EXPECT_EQ(warning([&](sg::pack::Package& p) {
                  reentryEveryTick(p.layers[0].settings);
                  p.layers[1].settings.instanceCount = 0;
              }),
              "no sprite ever shows, only the background: layer 0 never shows (random_start with reentry_cycles = 0 "
              "enters every sprite anew on every tick, just outside the screen); layer 1 never shows (no instances)");
    EXPECT_EQ(warning([&](sg::pack::Package& p) {
                  reentryEveryTick(p.layers[0].settings);
                  afterExit(p.layers[1].settings, 1800);
              }),
              "only the background may show for up to 1800 ticks (60 s) after the start: layer 0 never shows "
              "(random_start with reentry_cycles = 0 enters every sprite anew on every tick, just outside the screen); "
              "layer 1 waits: each of its 5 sprites first shows after 0..1800 ticks (delay after-exit)");
    // Every tick anew but inside the screen, or anywhere, or at a fixed place: seen.
    for (const auto& shown : std::vector<std::function<void(sg::pack::LayerSettings&)>>{
             [](sg::pack::LayerSettings& s) { s.keepInside = 1; },
             [](sg::pack::LayerSettings& s) { s.entryEdge = 0; },
             [](sg::pack::LayerSettings& s) { s.placement = 0; },
             [](sg::pack::LayerSettings& s) { s.randomStart = 0; }})
        EXPECT_EQ(warning([&](sg::pack::Package& p) {
                      for (int k = 0; k < 2; ++k) {
                          reentryEveryTick(p.layers[k].settings);
                          shown(p.layers[k].settings);
                      }
                  }),
                  "");
    // Waits shorter than 300 ticks, or after a cycle of several frames: no word.
    EXPECT_EQ(warning([&](sg::pack::Package& p) {
                  afterExit(p.layers[0].settings, 299);
                  p.layers[1].settings.enabled = 0;
              }),
              "");
    EXPECT_EQ(warning([&](sg::pack::Package& p) {
                  for (int k = 0; k < 2; ++k) p.layers[k].settings.maxWait = 900;
                  p.layers[0].settings.delayMode = 0;
                  afterExit(p.layers[1].settings, 900);
              }),
              "");
    EXPECT_NE(warning([&](sg::pack::Package& p) {
                  p.layers[0].set->frames.resize(1);
                  p.layers[0].settings.delayMode = 0;
                  p.layers[0].settings.maxWait = 900;
                  p.layers[1].settings.enabled = 0;
              }),
              "");
}
