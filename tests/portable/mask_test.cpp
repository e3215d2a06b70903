// Masks and cut-outs for every mask mode, built from real 24-bit surfaces, and
// the determinism of loading and setting up sprite layers. Only pf:: calls and
// the Surface API: this file also runs against real GDI.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "gfx/mask.h"
#include "gfx/surface.h"
#include "motion/delays.h"
#include "motion/frames.h"
#include "motion/layer_setup.h"
#include "motion/layers.h"
#include "motion/placement.h"
#include "package/animset.h"
#include "package/package.h"
#include "shell/shell.h"
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
        pf::set_message_box_capture(&ignore_box);
        gdiBefore = pf::gdi_objects_alive();
    }
    void TearDown() override {
        sg::surface_release(&picture);
        sg::surface_release(&mask);
        sg::surface_release(&cutout);
        EXPECT_EQ(pf::gdi_objects_alive(), gdiBefore);
        pf::set_message_box_capture(nullptr);
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
        EXPECT_EQ(sg::mask_build(&mask, mode, &picture), 1);
        EXPECT_EQ(sg::cutout_build(&cutout, mode, &picture), 1);
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
    sg::slots_clear();
    pack::AnimSet set;
    set.frames.push_back({sg::test::frame_bmp(6, 4, 5), 1});
    pack::Palette8 palette;
    palette.entries = {{0x00, 0xFF, 0x00, 0}, {0x40, 0x50, 0x60, 0}};
    set.frames.push_back({pack::bmp8(3, 2, {0, 1, 1, 1, 1, 0}, palette), 1});
    const pack::Bytes bytes = pack::animset_bytes(set);
    ASSERT_EQ(sg::animset_load(5, 1, bytes.data(), int(bytes.size()), 0, 2), 1);

    const sg::SpriteSlot& s = sg::slotTable[5][0];
    pf::GdiFlush();
    // Frame 0: green ring keyed, ink inside.
    EXPECT_EQ(at(s.masks[0], 0, 0), (Px{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(at(s.masks[0], 2, 1), (Px{0, 0, 0}));
    EXPECT_EQ(at(s.cutouts[0], 2, 1), (Px{5, 0x10, 0x80}));
    EXPECT_EQ(at(s.cutouts[0], 5, 3), (Px{0, 0, 0}));
    // Frame 1, expanded.
    ASSERT_NE(s.pictures[1].bits, nullptr);
    EXPECT_EQ(s.pictures[1].infoHeader.biBitCount, 24);
    EXPECT_EQ(at(s.pictures[1], 1, 0), (Px{0x40, 0x50, 0x60}));
    EXPECT_EQ(at(s.masks[1], 0, 0), (Px{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(at(s.masks[1], 2, 1), (Px{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(at(s.masks[1], 1, 1), (Px{0, 0, 0}));
    EXPECT_EQ(at(s.cutouts[1], 1, 1), (Px{0x40, 0x50, 0x60}));

    sg::animset_release_all();
    sg::slots_clear();
}

// ---- two set-ups of one package give the same tables ----

struct Snapshot {
    std::vector<std::uint8_t> layers;
    std::vector<std::uint8_t> slots;
    std::vector<std::uint8_t> pixels;
};

void forget_handles(sg::Surface& s) {
    s.memoryDC = nullptr;
    s.bits = nullptr;
    s.dib = nullptr;
    s.previousObject = nullptr;
}

void append_pixels(std::vector<std::uint8_t>& out, const sg::Surface& s) {
    if (s.bits == nullptr) return;
    const int bytes = (sg::surface_width(&s) * 3 + 3) / 4 * 4 * sg::surface_height(&s);
    out.insert(out.end(), s.bits, s.bits + bytes);
}

// Handles and pixel addresses differ from run to run; everything else in the
// tables, and every pixel behind them, must not.
Snapshot snapshot() {
    Snapshot shot;
    const auto* layers = reinterpret_cast<const std::uint8_t*>(sg::layerTable);
    shot.layers.assign(layers, layers + sizeof sg::layerTable);
    pf::GdiFlush();
    for (int row = 0; row < sg::MAX_LAYERS; ++row) {
        for (int k = 0; k < sg::MAX_INSTANCES; ++k) {
            sg::SpriteSlot copy = sg::slotTable[row][k];
            for (int i = 0; i < sg::MAX_FRAMES; ++i) {
                if (k == 0) {
                    append_pixels(shot.pixels, copy.pictures[i]);
                    append_pixels(shot.pixels, copy.masks[i]);
                    append_pixels(shot.pixels, copy.cutouts[i]);
                }
                forget_handles(copy.pictures[i]);
                forget_handles(copy.masks[i]);
                forget_handles(copy.cutouts[i]);
            }
            forget_handles(copy.currentPicture);
            forget_handles(copy.currentMask);
            forget_handles(copy.currentCutout);
            const auto* p = reinterpret_cast<const std::uint8_t*>(&copy);
            shot.slots.insert(shot.slots.end(), p, p + sizeof copy);
        }
    }
    return shot;
}

class SetupDeterminism : public ::testing::Test {
protected:
    void SetUp() override { pf::set_message_box_capture(&ignore_box); }
    void TearDown() override {
        sg::packageBase = nullptr;
        sg::packageSize = 0;
        pf::set_message_box_capture(nullptr);
    }

    // Installs the package the way start-up leaves it: base, size, directory
    // and the ten layer blocks.
    void install(const pack::Package& p) {
        bytes = sg::test::build(p);
        sg::packageBase = bytes.data();
        sg::packageSize = std::uint32_t(bytes.size());
        std::memcpy(&sg::packageDirectory, bytes.data(), sizeof sg::packageDirectory);
        for (int k = 0; k < sg::PACKAGE_LAYERS; ++k)
            std::memcpy(&sg::layerBlocks[k],
                        bytes.data() + sg::packageDirectory.entries[k + 1].offset,
                        sizeof(sg::LayerBlock));
    }

    // Set-up as the window creation does it, then some ticks of frames and
    // motion in the order of the per-tick pass.
    Snapshot run(int width, int height, int ticks) {
        pf::rand_reset();
        sg::layers_clear();
        sg::slots_clear();
        sg::screenWidth = width;
        sg::screenHeight = height;
        for (int k = 0; k < sg::PACKAGE_LAYERS; ++k)
            if (sg::layerBlocks[k].enabled) sg::layer_setup(k);
        for (int t = 0; t < ticks; ++t) {
            sg::frames_step();
            for (int layer = 0; layer < sg::MAX_LAYERS; ++layer) {
                const sg::LayerRecord& r = sg::layerTable[layer];
                if (!r.active) continue;
                for (int k = 0; k < r.instanceCount; ++k) {
                    sg::cycle_reentry_check(layer, k);
                    sg::motion_step(layer, k);
                }
                if (r.waitAfterCycle) {
                    if (!sg::any_cycle_wait_running(layer)) sg::cycle_waits_draw(layer);
                    sg::cycle_waits_count_down(layer);
                }
                if (r.waitAfterExit) {
                    sg::exit_waits_draw(layer);
                    sg::exit_waits_count_down(layer);
                }
            }
        }
        Snapshot shot = snapshot();
        sg::animset_release_all();
        return shot;
    }

    std::vector<std::uint8_t> bytes;
};

TEST_F(SetupDeterminism, SamePackageSameScreenSameTables) {
    pack::Package p = sg::test::ready_package(0, 0);
    p.layers[1] = sg::test::enabled_layer(sg::test::animset(5, 24, 20, 1, 1), 15);
    p.layers[1].settings.delayMode = 0;
    p.layers[1].settings.maxWait = 7;
    p.layers[2] = sg::test::enabled_layer(sg::test::animset(3, 32, 32, 0, 2), 50);
    p.layers[2].settings.delayMode = 2;
    p.layers[2].settings.maxWait = 9;
    p.layers[2].settings.entryEdge = 8;
    p.layers[2].settings.directionCode = 8;
    p.layers[2].settings.speedClass = 4;
    p.layers[2].settings.reentryCycles = 2;
    p.layers[6] = sg::test::enabled_layer(sg::test::animset(2, 8, 8), 4);
    p.layers[6].settings.placement = 0;
    p.layers[6].settings.startCorner = 3;
    p.layers[6].settings.startX = -40;
    p.layers[6].settings.startY = -30;
    p.layers[6].settings.keepInside = 1;
    install(p);

    const int gdiBefore = pf::gdi_objects_alive();
    const Snapshot first = run(320, 240, 0);
    const Snapshot again = run(320, 240, 0);
    EXPECT_EQ(first.layers, again.layers);
    EXPECT_EQ(first.slots, again.slots);
    EXPECT_EQ(first.pixels, again.pixels);
    EXPECT_FALSE(first.pixels.empty());

    const Snapshot later = run(320, 240, 90);
    EXPECT_EQ(later.layers, run(320, 240, 90).layers);
    EXPECT_NE(later.layers, first.layers);
    // Another screen size places the sprites elsewhere.
    EXPECT_NE(run(640, 480, 0).layers, first.layers);
    EXPECT_EQ(pf::gdi_objects_alive(), gdiBefore);
}

}  // namespace
