// The default scene: the shipped package's layout byte for byte (directory,
// header, chunk sizes, padding), its key colours and settings, art that the
// key-colour masks can use, and a run of the whole engine on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "scenes/default/art.h"
#include "scenes/default/default_scene.h"
#include "tests/support/shell_support.h"

namespace {

using sg::pack::Bytes;
using sg::pack::get32;

// Drawing the art takes a moment; every test reads the same bytes.
const Bytes& package() {
    static const Bytes bytes = sg::pack::package_bytes(sg::scenes::default_scene());
    return bytes;
}

std::int32_t dir_offset(int entry) { return get32(package(), 8 * entry); }
std::int32_t dir_size(int entry) { return get32(package(), 8 * entry + 4); }

constexpr int SET_BYTES[4] = {62816, 62816, 247136, 247136};
constexpr int FRAME_SIZE[4] = {32, 32, 64, 64};
constexpr int FRAME_BYTES[4] = {3128, 3128, 12344, 12344};

std::array<std::uint8_t, 3> key_of(int layer) {
    return layer % 2 == 0 ? std::array<std::uint8_t, 3>{0x00, 0xFF, 0x00}
                          : std::array<std::uint8_t, 3>{0xBD, 0xA0, 0xF4};
}

// The BMP of frame i of layer k, as stored.
Bytes frame_bmp(int layer, int i) {
    const std::size_t set = std::size_t(dir_offset(1 + layer)) + 76;
    const std::size_t at = set + std::size_t(get32(package(), set + 16 + 4 * i));
    const std::size_t size = std::size_t(get32(package(), set + 96 + 4 * i));
    return Bytes(package().begin() + at, package().begin() + at + size);
}

TEST(DefaultScene, DirectoryMatchesTheShippedLayout) {
    ASSERT_EQ(package().size(), 3145728u);
    const std::int32_t offsets[12] = {112,     922108,  985000,  1047892, 1295104, 1542316,
                                      1542392, 1542468, 1542544, 1542620, 1542696, 1542772};
    const std::int32_t sizes[12] = {921996, 62892, 62892, 247212, 247212, 76,
                                    76,     76,    76,    76,     76,    1520};
    for (int e = 0; e < 12; ++e) {
        EXPECT_EQ(dir_offset(e), offsets[e]) << "entry " << e;
        EXPECT_EQ(dir_size(e), sizes[e]) << "entry " << e;
    }
    EXPECT_EQ(dir_offset(12), 0);
    EXPECT_EQ(dir_size(12), 1);
    EXPECT_EQ(dir_offset(13), 132);
    // Everything after the info block is padding.
    const auto tail = package().begin() + 1544292;
    EXPECT_TRUE(std::all_of(tail, package().end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(DefaultScene, SceneHeaderAndStretchedPicture) {
    const Bytes& p = package();
    const std::size_t scene = std::size_t(dir_offset(0));
    const char* title = reinterpret_cast<const char*>(p.data() + scene);
    EXPECT_EQ(strnlen(title, 300), 19u);
    EXPECT_STREQ(title, sg::scenes::DEFAULT_TITLE);
    EXPECT_EQ(get32(p, scene + 300), 4);  // single picture
    EXPECT_EQ(get32(p, scene + 312), 1);  // stretched
    EXPECT_EQ(get32(p, scene + 316), 340);
    EXPECT_EQ(get32(p, scene + 320), 921656);
    EXPECT_EQ(get32(p, scene + 332), 0);  // no sound
    EXPECT_EQ(get32(p, scene + 336), 0);
    // Leftovers of the settings that are off: numbers that point nowhere.
    EXPECT_NE(get32(p, scene + 304), 0);
    EXPECT_NE(get32(p, scene + 324), 0);

    const std::uint8_t* bmp = p.data() + scene + 340;
    EXPECT_EQ(std::memcmp(bmp, "BM", 2), 0);
    const sg::pack::BmpHeader h = sg::pack::bmp_header(bmp, 921656);
    EXPECT_EQ(h.width, 640);
    EXPECT_EQ(h.height, 480);  // bottom-up
    EXPECT_EQ(h.bitCount, 24);
    EXPECT_EQ(h.compression, 0u);
    EXPECT_EQ(h.pixelDataOffset, 54u);
    EXPECT_TRUE(h.rowsInside);
    EXPECT_EQ(bmp[921654], 0);  // the two tail bytes
    EXPECT_EQ(bmp[921655], 0);
    // A night sky above, snow below: the picture is not a flat fill.
    const auto image = sg::pack::bmp_image(bmp, 921656);
    ASSERT_TRUE(image);
    const auto sky = image->at(100, 20), snow = image->at(320, 470);
    EXPECT_LT(sky[0] + sky[1] + sky[2], 200);
    EXPECT_GT(snow[0] + snow[1] + snow[2], 550);
}

TEST(DefaultScene, LayerBlocks) {
    const Bytes& p = package();
    for (int k = 0; k < 10; ++k) {
        SCOPED_TRACE("layer " + std::to_string(k));
        const auto s = sg::pack::layer_block_parse(p.data() + dir_offset(1 + k));
        EXPECT_EQ(s.reentryCycles, 65535);
        if (k >= 4) {
            EXPECT_EQ(s.enabled, 0);
            EXPECT_NE(s.setOffset, 0);  // leftovers, never read
            EXPECT_NE(s.setSize, 0);
            continue;
        }
        EXPECT_EQ(s.enabled, 1);
        EXPECT_EQ(s.setOffset, 76);
        EXPECT_EQ(s.setSize, SET_BYTES[k]);
        EXPECT_EQ(s.instanceCount, k < 2 ? 15 : 10);
        EXPECT_EQ(s.startX, 0);
        EXPECT_EQ(s.startY, 0);
        EXPECT_EQ(s.maxWait, 0);
        EXPECT_EQ(s.directionCode, 7);
        EXPECT_EQ(s.entryEdge, 1);
        EXPECT_EQ(s.placement, 1);
        EXPECT_EQ(s.startCorner, 0);
        EXPECT_EQ(s.keepInside, 0);
        EXPECT_EQ(s.swayAxis, 1);
        EXPECT_TRUE(s.swayRow == 1 || s.swayRow == 2);
        EXPECT_EQ(s.randomStart, 1);
        EXPECT_EQ(s.delayMode, 1);
        EXPECT_EQ(s.loops, 1);
    }
    // Depth: the front layers fall faster and sway wider than the back ones.
    const auto back = sg::pack::layer_block_parse(p.data() + dir_offset(1));
    const auto front = sg::pack::layer_block_parse(p.data() + dir_offset(4));
    EXPECT_EQ(back.speedClass, 1);
    EXPECT_EQ(front.speedClass, 2);
    EXPECT_LE(back.swayRow, front.swayRow);
}

TEST(DefaultScene, FlakeSetsAndKeyColours) {
    const Bytes& p = package();
    double meanInk[4] = {};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE("layer " + std::to_string(k));
        const std::size_t set = std::size_t(dir_offset(1 + k)) + 76;
        EXPECT_EQ(std::memcmp(p.data() + set, "AP01", 4), 0);
        EXPECT_EQ(get32(p, set + 4), 1);
        EXPECT_EQ(get32(p, set + 8), 20);
        EXPECT_EQ(get32(p, set + 12), 0);
        std::set<Bytes> distinct;
        for (int i = 0; i < 20; ++i) {
            SCOPED_TRACE("frame " + std::to_string(i));
            EXPECT_EQ(get32(p, set + 16 + 4 * i), 256 + i * FRAME_BYTES[k]);  // back to back
            EXPECT_EQ(get32(p, set + 96 + 4 * i), FRAME_BYTES[k]);
            EXPECT_EQ(get32(p, set + 176 + 4 * i), 2);
            const Bytes bmp = frame_bmp(k, i);
            const auto h = sg::pack::bmp_header(bmp.data(), bmp.size());
            EXPECT_EQ(h.width, FRAME_SIZE[k]);
            EXPECT_EQ(h.height, FRAME_SIZE[k]);
            EXPECT_EQ(h.bitCount, 24);
            const auto image = sg::pack::bmp_image(bmp.data(), bmp.size());
            ASSERT_TRUE(image);
            // Mask mode 0 takes the key from the top-left pixel. The flake
            // keeps clear of the edges, so none of it is cut off, and a
            // flake pixel that happened to equal the key would be a hole.
            const int n = FRAME_SIZE[k];
            int ink = 0;
            bool edgeClear = true;
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x) {
                    const bool key = image->at(x, y) == key_of(k);
                    ink += !key;
                    if (!key && (x == 0 || y == 0 || x == n - 1 || y == n - 1)) edgeClear = false;
                }
            EXPECT_EQ(image->at(0, 0), key_of(k));
            EXPECT_TRUE(edgeClear);
            EXPECT_GT(ink, n * n / 40);
            meanInk[k] += ink / 20.0;
            distinct.insert(Bytes(image->bgr.begin(), image->bgr.end()));
        }
        EXPECT_GE(distinct.size(), 10u) << "the flakes turn through their frames";
    }
    // Small behind, large in front.
    EXPECT_LT(meanInk[0], meanInk[1]);
    EXPECT_LT(meanInk[1], meanInk[2]);
    EXPECT_LT(meanInk[2], meanInk[3]);
}

TEST(DefaultScene, AboutLines) {
    const std::size_t info = std::size_t(dir_offset(11));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(get32(package(), info + 4 * i), 1);
        const char* line = reinterpret_cast<const char*>(package().data() + info + 20 + 300 * i);
        EXPECT_GT(strnlen(line, 300), 0u);
        EXPECT_LT(strnlen(line, 300), 300u);
    }
    // "雪の降る夜" in Shift-JIS opens the second line.
    EXPECT_EQ(std::memcmp(package().data() + info + 320, "\x90\xe1\x82\xcc\x8d\x7e\x82\xe9\x96\xe9", 10), 0);
}

// The engine takes the scene without a complaint and shows flakes over the
// picture, with no key colour left on the screen.
TEST(DefaultScene, RunsInTheEngine) {
    shell_test::Program program;
    program.package = package();
    program.width = 800;
    program.height = 600;
    program.timerLimit = 40;
    int covered = 0, keyPixels = 0;
    program.onTick = [&](int tick) {
        if (tick != 30) return;
        const sg::SaverState& saver = *program.saver;
        const pf::soft::Framebuffer& fb = shell_test::saver_pixels(saver);
        ASSERT_EQ(fb.width, 800);
        for (int y = 0; y < fb.height; ++y)
            for (int x = 0; x < fb.width; ++x) {
                const auto shown = shell_test::pixel(fb, x, y);
                covered += shown != shell_test::pixel(saver.frame.backgroundSurface, x, y);
                keyPixels += shown == key_of(0) || shown == key_of(1);
            }
    };
    EXPECT_EQ(program.run("/s"), 0);
    EXPECT_TRUE(pf::headless::message_boxes().empty());
    EXPECT_EQ(keyPixels, 0);
    // 50 flakes of 8 to 50 pixels across: a few percent of the screen.
    EXPECT_GT(covered, 800 * 600 / 200);
    EXPECT_LT(covered, 800 * 600 / 8);
}

}  // namespace
