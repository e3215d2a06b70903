// Loading "AP01" sets into the slot table: cloning, random start frames,
// refusals of untrusted sets, refused and 8-bit frames, release.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/diagnostics.h"
#include "tests/support/motion_support.h"

using namespace sprites_test;
namespace pack = sg::pack;

namespace {

bool row_is_zero(const sg::World& world, int layer) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(world.slotTable[layer]);
    for (std::size_t i = 0; i < sizeof world.slotTable[layer]; ++i)
        if (p[i] != 0) return false;
    return world.frameSets[layer].frameCount == 0 && world.frameSets[layer].pictures[0] == nullptr;
}

class AnimsetTest : public sprites_test::WorldTest {
protected:
    void SetUp() override {
        fresh_world();
        gdiBefore = pf::diagnostics::gdi_objects_alive();
    }
    void TearDown() override {
        sg::animset_release_all(world.frameSets);
        EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), gdiBefore) << "surfaces left unreleased";
    }
    int gdiBefore = 0;
};

TEST_F(AnimsetTest, LoadsFramesOnceForTheRowAndClonesKeepTheirOwnPlace) {
    const auto set = animset({2, 3, 0}, 8, 6, 1);
    ASSERT_EQ(load_layer(world, 3, set, 5, 0, 0), 1);

    const sg::SpriteSlot& s0 = world.slotTable[3][0];
    const sg::FrameSet& f = world.frameSets[3];
    EXPECT_EQ(s0.inUse, 1);
    EXPECT_EQ(f.frameCount, 3);
    EXPECT_EQ(f.maskMode, 1);
    EXPECT_EQ(f.loops, 0);
    const int durations[3] = {2, 3, 0};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(f.durations[i], durations[i]);
        EXPECT_EQ(s0.countdowns[i], durations[i]);
        ASSERT_EQ(f.pictures[i], &f.ownPictures[i]);
        EXPECT_EQ(sg::surface_width(f.pictures[i]), 8);
        EXPECT_EQ(sg::surface_height(f.pictures[i]), 6);
        EXPECT_NE(f.masks[i]->dib, nullptr);
        EXPECT_NE(f.cutouts[i]->dib, nullptr);
    }
    // No frame is shown before the first frame step.
    EXPECT_EQ(s0.frameShown, 0);
    EXPECT_EQ(sg::slot_current_picture(world, 3, 0)->dib, nullptr);
    EXPECT_EQ(s0.cycleCount, 0);

    for (int j = 1; j < 5; ++j) {
        EXPECT_EQ(std::memcmp(&world.slotTable[3][j], &s0, sizeof s0), 0) << "clone " << j;
    }
    EXPECT_EQ(world.slotTable[3][5].inUse, 0);
    EXPECT_TRUE(row_is_zero(world, 2));
    EXPECT_TRUE(row_is_zero(world, 4));
    // Without random start nothing is drawn.
    EXPECT_EQ(draws_so_far(world), 0);
}

TEST_F(AnimsetTest, RandomStartDrawsOneFramePerCloneInSlotOrder) {
    const auto set = animset({1, 1, 1, 1, 1, 1, 1});
    ASSERT_EQ(load_layer(world, 0, set, 6, 1, 1), 1);
    Reference ref;
    EXPECT_EQ(world.slotTable[0][0].currentFrame, 0);
    for (int j = 1; j < 6; ++j) {
        EXPECT_EQ(world.slotTable[0][j].currentFrame, ref.range(0, 6)) << "clone " << j;
        // Only the frame moves: every countdown starts full.
        for (int i = 0; i < 7; ++i) EXPECT_EQ(world.slotTable[0][j].countdowns[i], 1);
    }
    EXPECT_EQ(draws_so_far(world), 5);
}

TEST_F(AnimsetTest, EmptySetIsAcceptedAndStillDrawsForEachClone) {
    const auto set = animset({});
    ASSERT_EQ(load_layer(world, 1, set, 4, 1, 1), 1);
    EXPECT_EQ(world.slotTable[1][0].inUse, 1);
    EXPECT_EQ(world.frameSets[1].frameCount, 0);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(world.slotTable[1][j].currentFrame, 0);
    EXPECT_EQ(draws_so_far(world), 3);
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), gdiBefore);
}

TEST_F(AnimsetTest, InstanceCountIsClampedToTheRow) {
    const auto set = animset({1, 1});
    ASSERT_EQ(load_layer(world, 0, set, 500, 1, 1), 1);
    for (int j = 0; j < sg::MAX_INSTANCES; ++j) EXPECT_EQ(world.slotTable[0][j].inUse, 1);
    EXPECT_TRUE(row_is_zero(world, 1)) << "clones spilled into the next row";
    EXPECT_EQ(draws_so_far(world), 49);

    sg::animset_release_all(world.frameSets);
    fresh_world();
    ASSERT_EQ(load_layer(world, 0, set, -3, 1, 1), 1);
    EXPECT_EQ(world.slotTable[0][0].inUse, 1);
    EXPECT_EQ(world.slotTable[0][1].inUse, 0);
    EXPECT_EQ(draws_so_far(world), 0);
}

// Every refusal is silent, draws nothing and leaves the row all zero.
TEST_F(AnimsetTest, UntrustedSetsAreRefused) {
    const auto good = animset({2, 2}, 4, 4);
    struct Case {
        const char* what;
        std::size_t at;
        std::int32_t value;
    };
    const Case cases[] = {
        {"lower-case magic", 0, 0x31307061},  // "ap01"
        {"magic AP02", 0, 0x32305041},
        {"version 2", 4, 2},
        {"version 0", 4, 0},
        {"21 frames", 8, 21},
        {"negative frame count", 8, -1},
        {"frame offset negative", 16, -4},
        {"frame size negative", 96 + 4, -1},
        {"frame past the grace", 16 + 4, std::int32_t(good.size()) + 1000},
        {"huge size", 96, 0x7FFFFFFF},
    };
    for (const Case& c : cases) {
        fresh_world();
        auto bad = good;
        pack::put32(bad, c.at, c.value);
        EXPECT_EQ(load_layer(world, 2, bad, 10, 1, 1), 0) << c.what;
        EXPECT_TRUE(row_is_zero(world, 2)) << c.what;
        EXPECT_EQ(draws_so_far(world), 0) << c.what;
        EXPECT_TRUE(pf::headless::message_boxes().empty()) << c.what;
    }
    fresh_world();
    EXPECT_EQ(sg::animset_load(world.frameSets[0], world.slotTable[0][0], 1, good.data(), -1), 0);
    EXPECT_EQ(sg::animset_load(world.frameSets[0], world.slotTable[0][0], 1, nullptr, 0), 0);
    EXPECT_TRUE(row_is_zero(world, 0));
}

// A frame may end exactly at the last byte of grace; one byte further is out.
TEST_F(AnimsetTest, FrameBoundsCountTheGraceBytes) {
    auto set = animset({2}, 4, 4);
    const std::int32_t limit = std::int32_t(set.size()) + 1000;
    pack::put32(set, 16, limit - 10);
    pack::put32(set, 96, 10);
    EXPECT_EQ(load_layer(world, 0, set, 1), 1);
    // All zeros: not a bitmap, so the frame is refused (noted for the shell) and has no mask.
    EXPECT_TRUE(pf::headless::message_boxes().empty());
    ASSERT_EQ(world.refusals.count, 1);
    EXPECT_EQ(world.refusals.refusals[0], sg::BmpRefusal::UnsupportedFile);
    EXPECT_EQ(world.frameSets[0].masks[0]->dib, nullptr);

    sg::animset_release_all(world.frameSets);
    fresh_world();
    pack::put32(set, 96, 11);
    EXPECT_EQ(load_layer(world, 0, set, 1), 0);
}

TEST_F(AnimsetTest, RefusedFrameGetsNoMaskAndTheSetLoadsOn) {
    pack::AnimSet s;
    s.frames.push_back({frame_bmp(4, 4), 1});
    auto notBmp = frame_bmp(4, 4);
    notBmp[1] = 'A';  // "BA"
    s.frames.push_back({notBmp, 1});
    s.frames.push_back({frame_bmp(5, 3), 1});
    const auto set = pack::animset_bytes(s);
    ASSERT_EQ(load_layer(world, 0, set, 2), 1);

    const sg::FrameSet& s0 = world.frameSets[0];
    EXPECT_EQ(world.refusals.count, 1);
    EXPECT_EQ(s0.pictures[1]->bits, nullptr);
    EXPECT_EQ(s0.masks[1]->dib, nullptr);
    EXPECT_EQ(s0.masks[1]->bits, nullptr);
    EXPECT_EQ(s0.cutouts[1]->dib, nullptr);
    EXPECT_NE(s0.masks[2]->dib, nullptr);
    EXPECT_EQ(sg::surface_width(s0.masks[2]), 5);
}

// An 8-bit frame becomes a 24-bit picture through its colour table, so the
// masks see real colours; indices past a short table read as black.
TEST_F(AnimsetTest, EightBitFramesAreExpandedTo24Bits) {
    pack::Palette8 palette;
    palette.entries = {{0x00, 0xFF, 0x00, 0}, {0x11, 0x22, 0x33, 0}, {0xFE, 0xFE, 0xFE, 0}};
    // Top-down indices of a 3 x 2 picture; index 7 is outside the table.
    const std::vector<std::uint8_t> indices = {0, 1, 2, 1, 7, 0};
    pack::AnimSet s;
    s.frames.push_back({pack::bmp8(3, 2, indices, palette), 1});
    const auto set = pack::animset_bytes(s);
    ASSERT_EQ(load_layer(world, 0, set, 1), 1);

    const sg::FrameSet& s0 = world.frameSets[0];
    ASSERT_NE(s0.pictures[0]->bits, nullptr);
    EXPECT_EQ(s0.pictures[0]->infoHeader.biBitCount, 24);
    EXPECT_EQ(sg::surface_width(s0.pictures[0]), 3);
    const std::uint8_t expectPicture[2][12] = {
        // bottom row first: indices 1, 7, 0
        {0x11, 0x22, 0x33, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0, 0, 0},
        // top row: indices 0, 1, 2
        {0x00, 0xFF, 0x00, 0x11, 0x22, 0x33, 0xFE, 0xFE, 0xFE, 0, 0, 0},
    };
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(s0.pictures[0]->bits[y * 12 + i], expectPicture[y][i]) << y << "," << i;
    // Mode 0 keys the top-left green: the two green pixels are white in the mask.
    const std::uint8_t* m = s0.masks[0]->bits;
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m[0], 0x00);
    EXPECT_EQ(m[6], 0xFF);
    EXPECT_EQ(m[12], 0xFF);
    EXPECT_EQ(m[15], 0x00);
}

// A frame cut short inside its colour table: the missing table bytes are
// zero, as the loader sees them, not the bytes that follow in the set.
TEST_F(AnimsetTest, EightBitTableBytesPastTheFrameReadAsZero) {
    pack::Palette8 palette;
    palette.entries = {{0x11, 0x22, 0x33, 0}};
    pack::AnimSet s;
    s.frames.push_back({pack::bmp8(2, 2, {0, 0, 0, 0}, palette), 1});
    auto set = pack::animset_bytes(s);
    pack::put32(set, 96, 54 + 2);  // ends after blue and green of entry 0
    ASSERT_EQ(load_layer(world, 0, set, 1), 1);
    const sg::Surface& picture = *world.frameSets[0].pictures[0];
    ASSERT_NE(picture.bits, nullptr);
    ASSERT_EQ(picture.infoHeader.biBitCount, 24);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            const std::uint8_t* p = picture.bits + y * 8 + 3 * x;
            EXPECT_EQ(p[0], 0x11);
            EXPECT_EQ(p[1], 0x22);
            EXPECT_EQ(p[2], 0x00);
        }
}

TEST_F(AnimsetTest, ReleaseFreesEachRowsFramesOnce) {
    const auto set = animset({1, 1, 1}, 4, 4);
    ASSERT_EQ(load_layer(world, 0, set, 3), 1);
    ASSERT_EQ(load_layer(world, 7, set, 1), 1);
    EXPECT_GT(pf::diagnostics::gdi_objects_alive(), gdiBefore);
    sg::animset_release_all(world.frameSets);
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), gdiBefore);
    EXPECT_EQ(world.slotTable[0][0].inUse, 1);
    EXPECT_EQ(world.slotTable[7][0].inUse, 1);
}

// A row's frames are held once, whatever its instance count: the 1,000
// slots keep only their place in the animation.
TEST(SlotTableSize, StaysSmall) {
    EXPECT_LT(sizeof(sg::Surface), 160u);
    EXPECT_LT(sizeof(sg::SlotTable), 128u * 1024);
    EXPECT_LT(sizeof(sg::FrameSetTable), 256u * 1024);
}

}  // namespace
