// Masks and cut-outs for every mask mode, built from real 24-bit surfaces and
// through the animation-set loader. Only pf:: calls and the scene's surface,
// mask and set API: this file also runs against real GDI.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "platform/diagnostics.h"
#include "scene/animset.h"
#include "scene/mask.h"
#include "scene/surface.h"
#include "tests/support/fixtures.h"
#include "tools/packlib/packlib.h"

namespace pack = sg::pack;

namespace {

using Px = std::array<std::uint8_t, 3>;

void ignore_box(pf::HWND, const char*, const char*, pf::UINT) {}

// Picture pixels are given top-down, as the picture is seen.
class MaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        pf::diagnostics::set_message_box_capture(&ignore_box);
        gdiBefore = pf::diagnostics::gdi_objects_alive();
    }
    void TearDown() override {
        sg::surface_release(&picture);
        sg::surface_release(&mask);
        sg::surface_release(&cutout);
        EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), gdiBefore);
        pf::diagnostics::set_message_box_capture(nullptr);
    }

    void load(const pack::Image& image) {
        const pack::Bytes bmp = pack::bmp24(image);
        sg::surface_release(&picture);
        sg::surface_reset(&picture);
        ASSERT_EQ(sg::surface_load_bmp(&picture, bmp.data(), int(bmp.size())), 1);
        source = image;
    }
    void build(int mode) {
        sg::surface_release(&mask);
        sg::surface_release(&cutout);
        sg::mask_build(&mask, mode, &picture);
        sg::cutout_build(&cutout, mode, &picture);
        pf::GdiFlush();
    }
    static Px at(const sg::Surface& s, int x, int y) {
        const int stride = (sg::surface_width(&s) * 3 + 3) / 4 * 4;
        const std::uint8_t* p = s.bits + (sg::surface_height(&s) - 1 - y) * stride + 3 * x;
        return {p[0], p[1], p[2]};
    }
    // Every pixel: transparent ones white in the mask and black in the
    // cut-out, the others black in the mask and unchanged in the cut-out.
    void expect_transparent(const std::vector<std::array<int, 2>>& transparent) {
        ASSERT_NE(mask.bits, nullptr);
        ASSERT_NE(cutout.bits, nullptr);
        ASSERT_EQ(sg::surface_width(&mask), source.width);
        ASSERT_EQ(sg::surface_height(&mask), source.height);
        ASSERT_EQ(sg::surface_width(&cutout), source.width);
        for (int y = 0; y < source.height; ++y) {
            for (int x = 0; x < source.width; ++x) {
                bool key = false;
                for (const auto& t : transparent) key = key || (t[0] == x && t[1] == y);
                const Px white{0xFF, 0xFF, 0xFF}, black{0, 0, 0};
                EXPECT_EQ(at(mask, x, y), key ? white : black) << x << "," << y;
                EXPECT_EQ(at(cutout, x, y), key ? black : source.at(x, y)) << x << "," << y;
            }
        }
    }

    sg::Surface picture{}, mask{}, cutout{};
    pack::Image source;
    int gdiBefore = 0;
};

pack::Image filled(int w, int h, Px colour) { return sg::test::solid_image(w, h, colour); }

TEST_F(MaskTest, ModeZeroKeysTheTopLeftPixel) {
    pack::Image image = filled(4, 3, {10, 20, 30});
    image.set(0, 0, 1, 2, 3);   // top left: the key
    image.set(0, 2, 4, 5, 6);   // bottom left: first pixel in memory
    image.set(3, 1, 1, 2, 3);   // the key again
    image.set(2, 2, 1, 2, 4);   // near the key
    image.set(1, 0, 2, 2, 3);
    load(image);
    build(0);
    expect_transparent({{0, 0}, {3, 1}});
}

TEST_F(MaskTest, ModeZeroWithAUniqueCorner) {
    pack::Image image = filled(5, 5, {0x00, 0xFF, 0x00});
    image.set(0, 0, 0xBD, 0xA0, 0xF4);
    load(image);
    build(0);
    expect_transparent({{0, 0}});
}

TEST_F(MaskTest, ModeOneKeysPureBlack) {
    pack::Image image = filled(3, 2, {9, 9, 9});
    image.set(1, 0, 0, 0, 0);
    image.set(2, 1, 0, 0, 1);
    image.set(0, 1, 1, 0, 0);
    load(image);
    build(1);
    expect_transparent({{1, 0}});

    load(filled(3, 2, {0, 0, 1}));
    build(1);
    expect_transparent({});
}

TEST_F(MaskTest, ModeTwoKeysPureWhite) {
    pack::Image image = filled(2, 2, {0xFF, 0xFF, 0xFF});
    image.set(0, 0, 0xFE, 0xFF, 0xFF);
    image.set(1, 1, 0xFF, 0xFF, 0xFE);
    load(image);
    build(2);
    expect_transparent({{1, 0}, {0, 1}});
}

// Mode 3 is drawn opaque; unknown modes name no key. Neither has a
// transparent pixel, whatever colours the picture holds.
TEST_F(MaskTest, ModeThreeAndUnknownModesKeyNothing) {
    pack::Image image = filled(3, 3, {0, 0, 0});
    image.set(1, 1, 0xFF, 0xFF, 0xFF);
    image.set(2, 2, 0x00, 0xFF, 0x00);
    load(image);
    for (int mode : {3, 4, -1, 1000}) {
        build(mode);
        expect_transparent({});
    }
}

// Width 1: rows of 4 bytes, of which only the first three are written.
TEST_F(MaskTest, WidthOneLeavesTheRowPaddingZero) {
    pack::Image image = filled(1, 3, {7, 7, 7});
    image.set(0, 0, 0xFF, 0xFF, 0xFF);
    image.set(0, 2, 0xFF, 0xFF, 0xFF);
    load(image);
    build(2);
    expect_transparent({{0, 0}, {0, 2}});
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(mask.bits[row * 4 + 3], 0) << row;
        EXPECT_EQ(cutout.bits[row * 4 + 3], 0) << row;
    }
    EXPECT_EQ(mask.bits[0], 0xFF);  // bottom row first in memory
    EXPECT_EQ(mask.bits[4], 0x00);
}

// A picture without pixels (refused by the loader) or with 8-bit pixels does
// not go through the three-byte pass: the targets are left without a bitmap.
TEST_F(MaskTest, PicturesWithoutRgbPixelsGiveEmptyTargets) {
    pack::Bytes bad = pack::bmp24(filled(4, 4, {1, 2, 3}));
    bad[0] = 'X';
    sg::surface_reset(&picture);
    EXPECT_EQ(sg::surface_load_bmp(&picture, bad.data(), int(bad.size())), 0);
    build(0);
    EXPECT_EQ(mask.bits, nullptr);
    EXPECT_EQ(mask.dib, nullptr);
    EXPECT_EQ(cutout.bits, nullptr);

    pack::Palette8 palette;
    palette.entries = {{0, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0}};
    const pack::Bytes bmp8 = pack::bmp8(4, 2, {0, 1, 1, 0, 1, 1, 1, 1}, palette);
    sg::surface_release(&picture);
    sg::surface_reset(&picture);
    ASSERT_EQ(sg::surface_load_bmp(&picture, bmp8.data(), int(bmp8.size())), 1);
    build(1);
    EXPECT_EQ(mask.dib, nullptr);
    EXPECT_EQ(cutout.dib, nullptr);
}

// Through the loader, on every frame of a set: a 24-bit sprite and an 8-bit
// frame, which comes out as a 24-bit picture with the same colours.
TEST_F(MaskTest, LoaderBuildsMasksForEveryFrame) {
    // The tables are large: on the heap, and zeroed as fresh ones are.
    struct Slots {
        sg::FrameSetTable sets{};
        sg::SlotTable table{};
    };
    const auto slots = std::make_unique<Slots>();
    pack::AnimSet set;
    set.frames.push_back({sg::test::frame_bmp(6, 4, 5), 1});
    pack::Palette8 palette;
    palette.entries = {{0x00, 0xFF, 0x00, 0}, {0x40, 0x50, 0x60, 0}};
    set.frames.push_back({pack::bmp8(3, 2, {0, 1, 1, 1, 1, 0}, palette), 1});
    const pack::Bytes bytes = pack::animset_bytes(set);
    ASSERT_TRUE(sg::animset_load(slots->sets[5], slots->table[5][0], 1, bytes.data(), int(bytes.size())));

    const sg::FrameSet& s = slots->sets[5];
    pf::GdiFlush();
    // Frame 0: green ring keyed, ink inside.
    EXPECT_EQ(at(*s.masks[0], 0, 0), (Px{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(at(*s.masks[0], 2, 1), (Px{0, 0, 0}));
    EXPECT_EQ(at(*s.cutouts[0], 2, 1), (Px{5, 0x10, 0x80}));
    EXPECT_EQ(at(*s.cutouts[0], 5, 3), (Px{0, 0, 0}));
    // Frame 1, expanded.
    ASSERT_NE(s.pictures[1]->bits, nullptr);
    EXPECT_EQ(s.pictures[1]->infoHeader.biBitCount, 24);
    EXPECT_EQ(at(*s.pictures[1], 1, 0), (Px{0x40, 0x50, 0x60}));
    EXPECT_EQ(at(*s.masks[1], 0, 0), (Px{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(at(*s.masks[1], 2, 1), (Px{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(at(*s.masks[1], 1, 1), (Px{0, 0, 0}));
    EXPECT_EQ(at(*s.cutouts[1], 1, 1), (Px{0x40, 0x50, 0x60}));

    sg::animset_release_all(slots->sets);  // TearDown checks that nothing is left
}

}  // namespace
