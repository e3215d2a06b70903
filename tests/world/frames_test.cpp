// Frame stepping: timing of durations, looping and stopping, cycle counts,
// skipped rows, waiting slots, and the slot accessors.
#include <gtest/gtest.h>

#include "tests/support/motion_support.h"

using namespace sprites_test;

namespace {

class FramesTest : public sprites_test::WorldTest {
protected:
    void SetUp() override { fresh_world(); }
    void TearDown() override { sg::animset_release_all(world.frameSets); }
    const sg::SpriteSlot& slot(int layer = 0, int k = 0) { return world.slotTable[layer][k]; }
    // The frame whose picture the slot would draw now (-1: nothing yet).
    int shown(int layer = 0, int k = 0) {
        const sg::Surface* picture = sg::slot_current_picture(world, layer, k);
        if (picture->dib == nullptr) return -1;
        const sg::FrameSet& f = world.frameSets[layer];
        for (int i = 0; i < f.frameCount; ++i)
            if (f.pictures[i] == picture) return i;
        return -2;
    }
};

TEST_F(FramesTest, ThreeFramesOfTwoTicksLooping) {
    ASSERT_EQ(load_layer(world, 0, animset({2, 2, 2}), 1, 1), 1);
    // Tick:                 1  2  3  4  5  6  7  8  9 10 11 12 13 14 15 16 17 18
    const int frame[18] = {0, 0, 1, 1, 1, 2, 2, 2, 0, 0, 0, 1, 1, 1, 2, 2, 2, 0};
    const int cycles[18] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2};
    for (int t = 0; t < 18; ++t) {
        sg::frames_step(world);
        EXPECT_EQ(slot().currentFrame, frame[t]) << "tick " << t + 1;
        EXPECT_EQ(shown(), frame[t]) << "tick " << t + 1;
        EXPECT_EQ(slot().cycleCount, cycles[t]) << "tick " << t + 1;
    }
    // The mask and cut-out follow the picture.
    EXPECT_EQ(sg::slot_current_mask(world, 0, 0), world.frameSets[0].masks[0]);
    EXPECT_EQ(sg::slot_current_cutout(world, 0, 0), world.frameSets[0].cutouts[0]);
}

TEST_F(FramesTest, ThreeFramesOfTwoTicksStopping) {
    ASSERT_EQ(load_layer(world, 0, animset({2, 2, 2}), 1, 0), 1);
    for (int t = 1; t <= 14; ++t) {
        sg::frames_step(world);
        const int expectFrame = t <= 2 ? 0 : t <= 5 ? 1 : 2;
        EXPECT_EQ(shown(), expectFrame) << "tick " << t;
        EXPECT_EQ(slot().currentFrame, expectFrame) << "tick " << t;
        // The cycle ends on tick 9 and is counted again on every later tick.
        EXPECT_EQ(slot().cycleCount, t < 9 ? 0 : t - 8) << "tick " << t;
    }
    EXPECT_EQ(slot().countdowns[2], 0);
}

TEST_F(FramesTest, OneFrameOfDurationZeroStoppingNeverShows) {
    ASSERT_EQ(load_layer(world, 0, animset({0}), 1, 0), 1);
    sg::frames_step(world);
    EXPECT_EQ(slot().cycleCount, 1);
    EXPECT_EQ(shown(), -1);
    EXPECT_EQ(sg::slot_current_width(world, 0, 0), 0);
    sg::frames_step(world);
    EXPECT_EQ(slot().cycleCount, 2);
    EXPECT_EQ(shown(), -1);
}

TEST_F(FramesTest, OneFrameLoopingCountsACycleEveryDurationPlusOne) {
    ASSERT_EQ(load_layer(world, 0, animset({3}), 1, 1), 1);
    ASSERT_EQ(load_layer(world, 1, animset({0}), 1, 1), 1);
    for (int t = 1; t <= 12; ++t) {
        sg::frames_step(world);
        EXPECT_EQ(shown(0), 0);
        EXPECT_EQ(shown(1), 0);
        // The first step already counts the first frame down: cycles end on
        // ticks 4, 8, 12 for duration 3, and on every tick for duration 0.
        EXPECT_EQ(slot(0).cycleCount, t / 4) << "tick " << t;
        EXPECT_EQ(slot(1).cycleCount, t) << "tick " << t;
    }
}

TEST_F(FramesTest, ZeroDurationsShowEachFrameForOneTick) {
    std::vector<int> durations(20, 0);
    ASSERT_EQ(load_layer(world, 0, animset(durations, 2, 2), 1, 1), 1);
    // The first step moves straight past frame 0.
    for (int t = 1; t <= 25; ++t) {
        sg::frames_step(world);
        EXPECT_EQ(slot().currentFrame, t % 20) << "tick " << t;
    }
    EXPECT_EQ(slot().cycleCount, 1);
}

TEST_F(FramesTest, RandomStartClonesStepFromTheirOwnFrame) {
    ASSERT_EQ(load_layer(world, 0, animset({1, 1, 1, 1}), 3, 1, 1), 1);
    Reference ref;
    const int start1 = ref.range(0, 3), start2 = ref.range(0, 3);
    ASSERT_EQ(slot(0, 1).currentFrame, start1);
    sg::frames_step(world);  // counts the start frame down
    sg::frames_step(world);  // moves on
    EXPECT_EQ(slot(0, 0).currentFrame, 1);
    EXPECT_EQ(slot(0, 1).currentFrame, start1 == 3 ? 0 : start1 + 1);
    EXPECT_EQ(slot(0, 2).currentFrame, start2 == 3 ? 0 : start2 + 1);
}

TEST_F(FramesTest, RowsWithoutSlotZeroInUseAreSkipped) {
    ASSERT_EQ(load_layer(world, 4, animset({1, 1}), 2, 1), 1);
    // Slot 0 gone, slot 1 still full of data: the row is not stepped.
    world.slotTable[4][0].inUse = 0;
    sg::frames_step(world);
    sg::frames_step(world);
    EXPECT_EQ(slot(4, 1).currentFrame, 0);
    EXPECT_EQ(slot(4, 1).countdowns[0], 1);
    EXPECT_EQ(shown(4, 1), -1);
    world.slotTable[4][0].inUse = 1;
}

TEST_F(FramesTest, SlotsBeyondTheInstanceCountAreStillStepped) {
    ASSERT_EQ(load_layer(world, 0, animset({0, 0}), 3, 1), 1);
    sg::layer_motion_set(world.layerTable, 0, 1, 4, 2, 0, 0);  // the record says one instance
    sg::frames_step(world);
    EXPECT_EQ(slot(0, 2).currentFrame, 1);
}

// A corrupted frame index is left alone rather than indexing past the arrays.
TEST_F(FramesTest, FrameIndexOutsideTheSetIsNotStepped) {
    ASSERT_EQ(load_layer(world, 0, animset({1, 1}), 2, 1), 1);
    world.slotTable[0][1].currentFrame = 2;
    world.slotTable[0][0].currentFrame = -1;
    sg::frames_step(world);
    EXPECT_EQ(slot(0, 1).currentFrame, 2);
    EXPECT_EQ(slot(0, 0).currentFrame, -1);
    EXPECT_EQ(shown(0, 1), -1);
}

TEST_F(FramesTest, WaitingSlotKeepsFrameAndCountdown) {
    ASSERT_EQ(load_layer(world, 0, animset({1, 1}), 3, 1), 1);
    sg::layer_motion_set(world.layerTable, 0, 3, 4, 2, 0, 0);
    world.layerTable[0].waitAfterExit = 1;
    world.layerTable[0].exitWaits[1] = 2;
    sg::frames_step(world);
    sg::frames_step(world);
    EXPECT_EQ(slot(0, 0).currentFrame, 1);
    EXPECT_EQ(slot(0, 1).currentFrame, 0);
    EXPECT_EQ(slot(0, 1).countdowns[0], 1);
    // A wait value without its mode switched on holds nothing back.
    world.layerTable[0].waitAfterExit = 0;
    sg::frames_step(world);
    EXPECT_EQ(slot(0, 1).countdowns[0], 0);
    // The cycle mode holds a slot the same way, and it goes on where it stood.
    world.layerTable[0].waitAfterCycle = 1;
    world.layerTable[0].cycleWaits[2] = 1;
    const int before = slot(0, 2).currentFrame;
    sg::frames_step(world);
    EXPECT_EQ(slot(0, 2).currentFrame, before);
    world.layerTable[0].cycleWaits[2] = 0;
    sg::frames_step(world);
    EXPECT_NE(slot(0, 2).currentFrame, before);
}

TEST_F(FramesTest, AccessorsReadTheCurrentFrame) {
    sg::pack::AnimSet s;
    s.maskMode = 2;
    s.frames.push_back({frame_bmp(7, 5), 0});
    s.frames.push_back({frame_bmp(9, 4), 5});
    const auto set = sg::pack::animset_bytes(s);
    ASSERT_EQ(load_layer(world, 2, set, 2), 1);

    EXPECT_EQ(sg::slot_current_width(world, 2, 1), 0);
    EXPECT_EQ(sg::slot_current_height(world, 2, 1), 0);
    EXPECT_EQ(sg::slot_first_width(world, 2, 1), 7);
    EXPECT_EQ(sg::slot_first_height(world, 2, 1), 5);
    EXPECT_EQ(sg::slot_mask_mode(world, 2, 1), 2);
    sg::frames_step(world);
    EXPECT_EQ(sg::slot_current_width(world, 2, 1), 9);
    EXPECT_EQ(sg::slot_current_height(world, 2, 1), 4);

    const sg::FrameSet& f = world.frameSets[2];
    EXPECT_EQ(sg::slot_current_picture(world, 2, 1), f.pictures[1]);
    EXPECT_EQ(sg::slot_current_mask(world, 2, 1), f.masks[1]);
    EXPECT_EQ(sg::slot_current_cutout(world, 2, 1), f.cutouts[1]);
    EXPECT_EQ(sg::slot_current_picture(world, 2, 50)->dib, nullptr) << "out of range: empty";

    world.slotTable[2][1].cycleCount = 4;
    EXPECT_EQ(sg::slot_cycle_count(world, 2, 1), 4);
    sg::slot_cycle_count_clear(world, 2, 1);
    EXPECT_EQ(sg::slot_cycle_count(world, 2, 1), 0);
    // Out-of-range indices read as an empty slot.
    EXPECT_EQ(sg::slot_current_width(world, 2, 50), 0);
    EXPECT_EQ(sg::slot_cycle_count(world, -1, 0), 0);
}

}  // namespace
