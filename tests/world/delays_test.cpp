// Appearance delays in both modes: first waits, batches, waits after an exit,
// the hidden-tick counts, frozen waiting slots, and the limits of the arrays.
#include <gtest/gtest.h>

#include <set>

#include "tests/support/motion_support.h"

using namespace sprites_test;

namespace {

class DelaysTest : public sprites_test::WorldTest {
protected:
    void SetUp() override { fresh_world(100, 80); }
    void TearDown() override { sg::animset_release_all(world.frameSets); }
    sg::LayerRecord& rec() { return world.layerTable[0]; }

    // `count` instances of a one-frame 10 x 6 set, moving right at 16 pixels a
    // tick, no sway, entering at the left edge; delay mode and longest wait as
    // given. The generator is reset before the delay setters draw.
    void make_layer(int count, int mode, int maxWait, const std::vector<int>& durations = {0}) {
        ASSERT_EQ(load_layer(world, 0, animset(durations, 10, 6), count), 1);
        sg::layer_motion_set(world.layerTable, 0, count, 5, 2, 4, 3);
        sg::placement_set(world.layerTable, 0, 1);
        world.random = sg::Random{};
        sg::max_wait_set(world, 0, maxWait);
        sg::wait_after_cycle_set(world, 0, mode == 0);
        sg::wait_after_exit_set(world, 0, mode == 2);
    }
};

TEST_F(DelaysTest, SettersAndQueries) {
    make_layer(3, 2, -5);
    EXPECT_EQ(rec().maxWait, 0) << "a negative longest wait counts as 0";
    EXPECT_EQ(sg::wait_after_exit_on(world, 0), 1);
    EXPECT_EQ(sg::wait_after_cycle_on(world, 0), 0);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(rec().exitWaits[k], 0);
    EXPECT_EQ(draws_so_far(world), 3);

    rec().exitWaits[1] = 2;
    EXPECT_EQ(sg::exit_wait_running(world, 0, 1), 1);
    EXPECT_EQ(sg::exit_wait_running(world, 0, 0), 0);
    EXPECT_EQ(sg::slot_waits(world, 0, 1), 1);
    // A wait in the mode that is off holds nothing back.
    rec().cycleWaits[2] = 2;
    EXPECT_EQ(sg::cycle_wait_running(world, 0, 2), 1);
    EXPECT_EQ(sg::slot_waits(world, 0, 2), 0);
    EXPECT_EQ(sg::any_cycle_wait_running(world, 0), 1);
}

TEST_F(DelaysTest, MaxWaitZeroHidesNothingInEitherMode) {
    for (int mode : {0, 2}) {
        fresh_world(100, 80);
        make_layer(3, mode, 0);
        int exits = 0;
        for (int t = 1; t <= 60; ++t) {
            const int x0 = rec().x[0];
            const Drawn drawn = tick(world);
            for (int k = 0; k < 3; ++k) {
                EXPECT_TRUE(drawn[0][k]) << "mode " << mode << " tick " << t;
                EXPECT_EQ(rec().exitMarks[k], 0);
            }
            if (rec().x[0] < x0) {
                ++exits;
                EXPECT_EQ(rec().x[0], -10) << "placed at the entry position";
            }
        }
        EXPECT_GE(exits, 5) << "mode " << mode;
        sg::animset_release_all(world.frameSets);
    }
}

// With the longest wait 1, a wait drawn after an exit hides nothing; first
// waits hide a slot for the first tick at most.
TEST_F(DelaysTest, ExitModeMaxWaitOne) {
    make_layer(6, 2, 1);
    Reference ref;
    int first[6];
    for (int& w : first) w = ref.range(0, 1);
    ASSERT_NE(std::set<int>(first, first + 6).size(), 1u) << "both first waits should occur";
    int exits = 0;
    for (int t = 1; t <= 80; ++t) {
        const int x0 = rec().x[2];
        const Drawn drawn = tick(world);
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ(drawn[0][k], t > 1 || first[k] == 0) << "slot " << k << " tick " << t;
        if (rec().x[2] < x0) ++exits;
    }
    EXPECT_GE(exits, 5);
}

// Longest wait 7: first waits 0..7 hide a slot for exactly that many ticks;
// after each exit the slot is drawn once more where it was, then hidden for
// its wait (3..7) minus one tick at the entry position, without moving.
TEST_F(DelaysTest, ExitModeMaxWaitSeven) {
    make_layer(3, 2, 7);
    Reference ref;
    int first[3];
    for (int& w : first) w = ref.range(0, 7);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(rec().exitWaits[k], first[k]);

    std::vector<Drawn> drawn;
    std::vector<std::array<int, 3>> xs, waitsAfter;
    for (int t = 1; t <= 400; ++t) {
        drawn.push_back(tick(world));
        std::array<int, 3> x{}, w{};
        for (int k = 0; k < 3; ++k) x[k] = rec().x[k], w[k] = rec().exitWaits[k];
        xs.push_back(x);
        waitsAfter.push_back(w);
    }
    for (int k = 0; k < 3; ++k)
        for (int t = 0; t <= first[k]; ++t)
            EXPECT_EQ(drawn[std::size_t(t)][0][k], t == first[k]) << "slot " << k << " tick " << t + 1;

    std::set<int> hiddenRuns;
    for (int k = 0; k < 3; ++k) {
        for (std::size_t t = 1; t + 8 < xs.size(); ++t) {
            if (xs[t][k] >= xs[t - 1][k]) continue;  // not an exit: travel only adds
            ASSERT_TRUE(drawn[t][0][k]) << "drawn at its old place on the exit tick";
            const int hidden = waitsAfter[t][k];
            EXPECT_GE(hidden, 2);
            EXPECT_LE(hidden, 6);
            hiddenRuns.insert(hidden);
            for (int i = 1; i <= hidden; ++i) {
                EXPECT_FALSE(drawn[t + i][0][k]) << "slot " << k << " tick " << t + i + 1;
                EXPECT_EQ(xs[t + i][k], -10) << "a hidden slot does not move";
            }
            EXPECT_TRUE(drawn[t + hidden + 1][0][k]);
        }
    }
    EXPECT_EQ(hiddenRuns, (std::set<int>{2, 3, 4, 5, 6}));
}

// One-frame set: every slot is always on its last frame. A batch is drawn at
// set-up and then only at the end of a tick on which no slot waits.
TEST_F(DelaysTest, CycleModeBatches) {
    make_layer(2, 0, 7);
    sg::layer_motion_set(world.layerTable, 0, 2, 4, 2, 0, 3);  // no travel: no entries to draw for
    // The generator's values 41, 18467, 6334, 26500, 19169, 15724 give the
    // waits 1, 3 at set-up, 6, 4 after tick 4 and 1, 4 after tick 10.
    EXPECT_EQ(rec().cycleWaits[0], 1);
    EXPECT_EQ(rec().cycleWaits[1], 3);
    const char* expect[11] = {"--", "x-", "x-", "xx", "--", "--",
                              "--", "-x", "-x", "xx", "x-"};
    for (int t = 0; t < 11; ++t) {
        const Drawn drawn = tick(world);
        std::string seen;
        for (int k = 0; k < 2; ++k) seen += drawn[0][k] ? 'x' : '-';
        EXPECT_EQ(seen, expect[t]) << "tick " << t + 1;
    }
    EXPECT_EQ(draws_so_far(world), 6);
}

// At set-up only slots on their last frame get a first wait: slot 0 starts
// at frame 0, clones at random frames.
TEST_F(DelaysTest, CycleModeFirstWaitsOnlyOnTheLastFrame) {
    const auto set = animset({1, 1, 1}, 10, 6);
    ASSERT_EQ(load_layer(world, 0, set, 8, 1, 1), 1);
    sg::layer_motion_set(world.layerTable, 0, 8, 4, 2, 0, 0);
    Reference ref;
    int start[8] = {0};
    for (int k = 1; k < 8; ++k) start[k] = ref.range(0, 2);
    sg::max_wait_set(world, 0, 5);
    sg::wait_after_cycle_set(world, 0, 1);
    int onLast = 0;
    for (int k = 0; k < 8; ++k) {
        if (start[k] == 2) {
            ++onLast;
            EXPECT_EQ(rec().cycleWaits[k], ref.range(0, 5)) << "slot " << k;
        } else {
            EXPECT_EQ(rec().cycleWaits[k], 0) << "slot " << k;
        }
    }
    ASSERT_GT(onLast, 0);
    ASSERT_LT(onLast, 7);
    EXPECT_EQ(draws_so_far(world), 7 + onLast);
}

// A row without frames (an empty or refused set) counts as on its last frame:
// every slot takes part in the batch.
TEST_F(DelaysTest, CycleModeWithoutFramesWaitsEverySlot) {
    ASSERT_EQ(load_layer(world, 0, animset({}), 3), 1);
    sg::layer_motion_set(world.layerTable, 0, 4, 4, 2, 0, 0);  // slot 3 has no set at all
    sg::max_wait_set(world, 0, 9);
    world.random = sg::Random{};
    sg::wait_after_cycle_set(world, 0, 1);
    Reference ref;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(rec().cycleWaits[k], ref.range(0, 9)) << k;
    EXPECT_EQ(draws_so_far(world), 4);
}

// A waiting slot keeps its frame, position and phase, but the exit test
// still runs: outside, it is entered anew and marked for a fresh wait.
TEST_F(DelaysTest, WaitingSlotsAreFrozenButStillTestedForExit) {
    make_layer(2, 2, 7, {1, 1});
    sg::layer_motion_set(world.layerTable, 0, 2, 7, 1, 2, 3);  // down, sway on x
    rec().exitWaits[0] = rec().exitWaits[1] = 0;
    sg::frames_step(world);  // sizes known; the next step would move to frame 1
    rec().exitWaits[0] = rec().exitWaits[1] = 4;
    rec().x[0] = 50, rec().y[0] = 40, rec().swayPhase[0] = 10;
    rec().x[1] = 500, rec().y[1] = 40, rec().swayPhase[1] = 10;
    world.random = sg::Random{};
    tick(world);
    EXPECT_EQ(rec().x[0], 50);
    EXPECT_EQ(rec().y[0], 40);
    EXPECT_EQ(rec().swayPhase[0], 10);
    EXPECT_EQ(world.slotTable[0][0].currentFrame, 0);
    EXPECT_EQ(rec().exitWaits[0], 3);

    Reference ref;
    EXPECT_EQ(rec().x[1], ref.range(-10, -10));
    EXPECT_EQ(rec().y[1], ref.range(-6, 80));
    EXPECT_EQ(rec().swayPhase[1], 10);
    EXPECT_EQ(rec().exitMarks[1], 0);
    EXPECT_EQ(rec().exitWaits[1], ref.range(3, 7) - 1);
    EXPECT_EQ(draws_so_far(world), 3);
}

TEST_F(DelaysTest, OnlyTheFirstInstanceCountSlotsTakePart) {
    make_layer(2, 0, 7);
    world.random = sg::Random{};
    for (int k = 0; k < 2; ++k) rec().cycleWaits[k] = rec().exitWaits[k] = 0;
    rec().cycleWaits[3] = 5;
    rec().exitWaits[3] = 5;
    rec().exitMarks[3] = 1;
    EXPECT_EQ(sg::any_cycle_wait_running(world, 0), 0);
    sg::cycle_waits_count_down(world, 0);
    sg::exit_waits_draw(world, 0);
    sg::exit_waits_count_down(world, 0);
    EXPECT_EQ(rec().cycleWaits[3], 5);
    EXPECT_EQ(rec().exitWaits[3], 5);
    EXPECT_EQ(rec().exitMarks[3], 1);
    EXPECT_EQ(draws_so_far(world), 0);

    // No instances at all: nothing drawn, nothing running.
    sg::layer_motion_set(world.layerTable, 0, 0, 5, 2, 4, 3);
    rec().cycleWaits[0] = 3;
    EXPECT_EQ(sg::any_cycle_wait_running(world, 0), 0);
    sg::cycle_waits_draw(world, 0);
    sg::exit_waits_draw_initial(world, 0);
    EXPECT_EQ(draws_so_far(world), 0);
}

TEST_F(DelaysTest, CountDownStopsAtZeroAndExitDrawUsesHalfToMax) {
    make_layer(3, 2, 7);
    rec().exitWaits[0] = 1;
    rec().exitWaits[1] = 0;
    rec().exitWaits[2] = 3;
    sg::exit_waits_count_down(world, 0);
    EXPECT_EQ(rec().exitWaits[0], 0);
    EXPECT_EQ(rec().exitWaits[1], 0);
    EXPECT_EQ(rec().exitWaits[2], 2);

    world.random = sg::Random{};
    sg::exit_mark(world, 0, 0);
    sg::exit_mark(world, 0, 2);
    sg::exit_waits_draw(world, 0);
    Reference ref;
    EXPECT_EQ(rec().exitWaits[0], ref.range(3, 7));
    EXPECT_EQ(rec().exitWaits[1], 0);
    EXPECT_EQ(rec().exitWaits[2], ref.range(3, 7));
    EXPECT_EQ(rec().exitMarks[0] + rec().exitMarks[2], 0);
}

}  // namespace
