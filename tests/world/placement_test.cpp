// Placement and motion: first positions, entry edges, start corners, the exit
// limits, travel, sway and re-entry, with the exact order of random draws.
#include <gtest/gtest.h>

#include <cstdint>

#include "tests/support/motion_support.h"

using namespace sprites_test;

namespace {

constexpr int W = 640;
constexpr int H = 480;

class PlacementTest : public sprites_test::WorldTest {
protected:
    void SetUp() override { fresh_world(W, H); }
    void TearDown() override { sg::animset_release_all(world.frameSets); }

    // Layer 0 with `count` instances of a one-frame w x h set, sizes current,
    // no travel, no sway, random placement anywhere; the generator is reset.
    void make_layer(int count, int w = 10, int h = 6) {
        ASSERT_EQ(load_layer(world, 0, animset({1}, w, h), count), 1);
        sg::layer_motion_set(world.layerTable, 0, count, 4, 2, 0, 0);
        sg::placement_set(world.layerTable, 0, 1);
        sg::frames_step(world);
        world.random = sg::Random{};
    }
    sg::LayerRecord& rec() { return world.layerTable[0]; }
    void put(int k, int x, int y) {
        rec().x[k] = x;
        rec().y[k] = y;
    }
};

// x = W and x = -w still count as on screen; one pixel further is out.
TEST_F(PlacementTest, ExitLimitsAreInclusive) {
    make_layer(1);
    struct Case {
        int x, y;
        bool leaves;
    };
    const Case cases[] = {
        {W, 0, false},  {W + 1, 0, true},  {-10, 0, false}, {-11, 0, true},
        {0, H, false},  {0, H + 1, true},  {0, -6, false},  {0, -7, true},
        {W, H, false},  {-10, -6, false},
    };
    for (const Case& c : cases) {
        world.random = sg::Random{};
        put(0, c.x, c.y);
        sg::motion_step(world, 0, 0);
        Reference ref;
        if (c.leaves) {
            // Entered anew anywhere: one draw for x, one for y.
            EXPECT_EQ(rec().x[0], ref.range(-10, W)) << c.x << "," << c.y;
            EXPECT_EQ(rec().y[0], ref.range(-6, H)) << c.x << "," << c.y;
            EXPECT_EQ(draws_so_far(world), 2) << c.x << "," << c.y;
        } else {
            EXPECT_EQ(rec().x[0], c.x);
            EXPECT_EQ(rec().y[0], c.y);
            EXPECT_EQ(draws_so_far(world), 0) << c.x << "," << c.y;
        }
    }
}

TEST_F(PlacementTest, BeforeTheFirstFrameStepSizesAreZero) {
    ASSERT_EQ(load_layer(world, 0, animset({1}, 10, 6), 1), 1);
    sg::layer_motion_set(world.layerTable, 0, 1, 4, 2, 0, 3);  // entry from the left
    sg::placement_set(world.layerTable, 0, 1);
    put(0, -1, 5);
    sg::motion_step(world, 0, 0);
    Reference ref;
    ref.skip(1);
    EXPECT_EQ(rec().x[0], 0);  // -w with w = 0
    EXPECT_EQ(rec().y[0], ref.range(0, H));
}

// Every entry edge, just outside (keepInside 0) and just inside (1). Codes 5
// to 8 draw the side first: s = 1 takes the left/right side, s = 0 top/bottom.
TEST_F(PlacementTest, EveryEntryEdge) {
    const int w = 10, h = 6;
    make_layer(1, w, h);
    enum { Any, Top, Bottom, Left, Right, Same };
    struct Range {
        int lo, hi;
    };
    auto ranges = [&](int side, bool inside, Range& x, Range& y) {
        if (!inside) {
            x = side == Left ? Range{-w, -w} : side == Right ? Range{W, W} : Range{-w, W};
            y = side == Top ? Range{-h, -h} : side == Bottom ? Range{H, H} : Range{-h, H};
        } else {
            x = side == Left ? Range{0, 0} : side == Right ? Range{W - w, W - w} : Range{0, W - w};
            y = side == Top ? Range{0, 0} : side == Bottom ? Range{H - h, H - h} : Range{0, H - h};
        }
    };
    // Draws taken before the entry, so that the side draw sees both values.
    for (int skip : {0, 2}) {
        Reference probe;
        probe.skip(skip);
        const int s = probe.range(0, 1);
        ASSERT_EQ(s, skip == 0 ? 1 : 0);
        const int sideOf[9] = {Any,  Top,  Bottom,
                               Left, Right, s ? Left : Top,
                               s ? Left : Bottom, s ? Right : Top, s ? Right : Bottom};
        for (int edge = 0; edge <= 9; ++edge) {
            for (int keep : {0, 1}) {
                sg::layer_motion_set(world.layerTable, 0, 1, 4, 2, 0, edge);
                sg::keep_inside_set(world.layerTable, 0, keep);
                world.random = sg::Random{};
                for (int i = 0; i < skip; ++i) sg::random_next(world.random);
                put(0, 12345, -777);
                sg::instance_enter(world, 0, 0, w, h);
                Reference ref;
                ref.skip(skip);
                if (edge == 9) {
                    EXPECT_EQ(rec().x[0], 12345);
                    EXPECT_EQ(rec().y[0], -777);
                    EXPECT_EQ(draws_so_far(world), skip);
                    continue;
                }
                if (edge >= 5) ref.skip(1);
                Range xr, yr;
                ranges(sideOf[edge], keep != 0, xr, yr);
                const int ex = ref.range(xr.lo, xr.hi);
                const int ey = ref.range(yr.lo, yr.hi);
                EXPECT_EQ(rec().x[0], ex) << "edge " << edge << " keep " << keep << " skip " << skip;
                EXPECT_EQ(rec().y[0], ey) << "edge " << edge << " keep " << keep << " skip " << skip;
                EXPECT_EQ(draws_so_far(world), skip + 2 + (edge >= 5)) << "edge " << edge;
            }
        }
    }
}

// A sprite bigger than the screen is kept at 0 on that axis; the draw is still
// taken so later positions do not depend on sprite sizes.
TEST_F(PlacementTest, OversizeSpriteKeptInsideGoesToZero) {
    make_layer(1);
    sg::keep_inside_set(world.layerTable, 0, 1);
    // xHi/yHi < 0: the sprite is larger than the screen on that axis.
    struct Case {
        int edge, w, h, xLo, xHi, yLo, yHi;
    };
    const Case cases[] = {
        {0, 700, 6, 0, -1, 0, H - 6},  {0, 10, 500, 0, W - 10, 0, -1},
        {4, 700, 6, 0, -1, 0, H - 6},  {2, 10, 500, 0, W - 10, 0, -1},
        {1, 641, 481, 0, -1, 0, 0},    {3, 641, 481, 0, 0, 0, -1},
    };
    for (const Case& c : cases) {
        sg::layer_motion_set(world.layerTable, 0, 1, 4, 2, 0, c.edge);
        world.random = sg::Random{};
        sg::instance_enter(world, 0, 0, c.w, c.h);
        Reference ref;
        const int x = c.xHi < 0 ? (ref.next(), 0) : ref.range(c.xLo, c.xHi);
        const int y = c.yHi < 0 ? (ref.next(), 0) : ref.range(c.yLo, c.yHi);
        EXPECT_EQ(rec().x[0], x) << "edge " << c.edge;
        EXPECT_EQ(rec().y[0], y) << "edge " << c.edge;
        EXPECT_EQ(draws_so_far(world), 2) << "edge " << c.edge;
    }
    // The first placement obeys the same rule.
    fresh_world(W, H);
    make_layer(2, 800, 600);
    sg::keep_inside_set(world.layerTable, 0, 1);
    sg::instances_place(world, 0);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(rec().x[k], 0);
        EXPECT_EQ(rec().y[k], 0);
    }
    EXPECT_EQ(draws_so_far(world), 2 + 4);
}

TEST_F(PlacementTest, FixedStartCorners) {
    make_layer(3);
    sg::placement_set(world.layerTable, 0, 0);
    sg::start_position_set(world.layerTable, 0, -32, 10);
    const int expectX[4] = {-32, W - 32, -32, W - 32};
    const int expectY[4] = {10, 10, H + 10, H + 10};
    for (int corner = 0; corner < 4; ++corner) {
        sg::start_corner_set(world.layerTable, 0, corner);
        put(1, 1, 1);
        sg::instance_enter(world, 0, 1, 10, 6);
        EXPECT_EQ(rec().x[1], expectX[corner]) << corner;
        EXPECT_EQ(rec().y[1], expectY[corner]) << corner;
    }
    sg::start_corner_set(world.layerTable, 0, 4);
    put(1, 1, 1);
    sg::instance_enter(world, 0, 1, 10, 6);
    EXPECT_EQ(rec().x[1], 1);
    EXPECT_EQ(rec().y[1], 1);

    // All instances share the start; the phases are still drawn first.
    sg::start_corner_set(world.layerTable, 0, 1);
    sg::instances_place(world, 0);
    Reference ref;
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(rec().swayPhase[k], ref.range(0, 100));
        EXPECT_EQ(rec().x[k], W - 32);
        EXPECT_EQ(rec().y[k], 10);
    }
    EXPECT_EQ(draws_so_far(world), 3);
}

TEST_F(PlacementTest, FirstPlacementDrawsPhasesThenXYPairs) {
    make_layer(4, 12, 8);
    sg::layer_motion_set(world.layerTable, 0, 4, 4, 2, 0, 1);  // the entry edge plays no part here
    sg::instances_place(world, 0);
    Reference ref;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(rec().swayPhase[k], ref.range(0, 100));
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(rec().x[k], ref.range(-12, W));
        EXPECT_EQ(rec().y[k], ref.range(-8, H));
    }
    fresh_world(W, H);
    make_layer(2, 12, 8);
    sg::keep_inside_set(world.layerTable, 0, 1);
    sg::instances_place(world, 0);
    Reference ref2;
    ref2.skip(2);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(rec().x[k], ref2.range(0, W - 12));
        EXPECT_EQ(rec().y[k], ref2.range(0, H - 8));
    }
}

TEST_F(PlacementTest, TravelByDirectionAndSpeed) {
    make_layer(1);
    // Grid code -> (dx, dy) at speed class 2 (5 pixels).
    const int dx[9] = {-5, 0, 5, -5, 0, 5, -5, 0, 5};
    const int dy[9] = {-5, -5, -5, 0, 0, 0, 5, 5, 5};
    for (int code = 0; code < 9; ++code) {
        sg::layer_motion_set(world.layerTable, 0, 1, code, 2, 2, 0);
        put(0, 100, 100);
        sg::motion_step(world, 0, 0);
        EXPECT_EQ(rec().x[0], 100 + dx[code]) << "code " << code;
        EXPECT_EQ(rec().y[0], 100 + dy[code]) << "code " << code;
    }
    // Speed classes 0..4, and out-of-table classes clamped to the ends.
    const int speeds[7][2] = {{0, 1}, {1, 2}, {2, 5}, {3, 9}, {4, 16}, {9, 16}, {-3, 1}};
    for (const auto& s : speeds) {
        sg::layer_motion_set(world.layerTable, 0, 1, 5, 2, s[0], 0);
        put(0, 100, 100);
        sg::motion_step(world, 0, 0);
        EXPECT_EQ(rec().x[0], 100 + s[1]) << "class " << s[0];
    }
    // An unknown code keeps the previous direction.
    sg::layer_motion_set(world.layerTable, 0, 1, 1, 2, 0, 0);
    sg::layer_motion_set(world.layerTable, 0, 1, 12, 2, 0, 0);
    EXPECT_EQ(rec().direction, sg::Direction::Up);
}

// Over 100 ticks each row swings out to its extreme, across to the other one
// and back to where it started.
TEST_F(PlacementTest, SwayRowsSwingAndSumToZero) {
    make_layer(1);
    const int extreme[5] = {30, 55, 75, 90, 150};
    for (int row = 0; row < 5; ++row) {
        for (int axis : {0, 1}) {
            sg::layer_motion_set(world.layerTable, 0, 1, 4, axis, 0, 0);
            sg::sway_row_set(world.layerTable, 0, row);
            put(0, 300, 240);
            rec().swayPhase[0] = 0;
            int maxAt = -1, minAt = -1, hi = 0, lo = 0;
            for (int t = 1; t <= 100; ++t) {
                sg::motion_step(world, 0, 0);
                const int off = axis == 1 ? rec().x[0] - 300 : rec().y[0] - 240;
                if (off > hi) hi = off, maxAt = t;
                if (off < lo) lo = off, minAt = t;
                EXPECT_EQ(axis == 1 ? rec().y[0] : rec().x[0], axis == 1 ? 240 : 300);
            }
            EXPECT_EQ(hi, extreme[row]) << "row " << row;
            EXPECT_EQ(lo, -extreme[row]) << "row " << row;
            EXPECT_EQ(maxAt, row == 0 ? 20 : 25) << "row " << row;
            EXPECT_EQ(minAt, row == 0 ? 70 : 75) << "row " << row;
            EXPECT_EQ(axis == 1 ? rec().x[0] : rec().y[0], axis == 1 ? 300 : 240) << "row " << row;
            EXPECT_EQ(rec().swayPhase[0], 100);
            // Phase 100 is used as 0.
            sg::motion_step(world, 0, 0);
            EXPECT_EQ(rec().swayPhase[0], 1);
            EXPECT_EQ(axis == 1 ? rec().x[0] : rec().y[0],
                      (axis == 1 ? 300 : 240) + sg::SWAY_TABLE[row][0]);
        }
    }
}

TEST_F(PlacementTest, SwayRowIsClampedAndAxisTwoDoesNotSway) {
    make_layer(1);
    sg::layer_motion_set(world.layerTable, 0, 1, 4, 1, 0, 0);
    sg::sway_row_set(world.layerTable, 0, 7);
    EXPECT_EQ(rec().swayRow, 4);
    sg::sway_row_set(world.layerTable, 0, -2);
    EXPECT_EQ(rec().swayRow, 0);

    sg::layer_motion_set(world.layerTable, 0, 1, 7, 2, 1, 0);
    put(0, 50, 50);
    rec().swayPhase[0] = 37;
    sg::motion_step(world, 0, 0);
    EXPECT_EQ(rec().x[0], 50);
    EXPECT_EQ(rec().y[0], 52);
    EXPECT_EQ(rec().swayPhase[0], 37);
}

// The shipped kind of layer: falling 2 a tick with a sideways sway, coming
// back in above the top edge.
TEST_F(PlacementTest, FallingLayerReentersAtTheTop) {
    make_layer(1, 10, 6);
    sg::layer_motion_set(world.layerTable, 0, 1, 7, 1, 1, 1);
    sg::sway_row_set(world.layerTable, 0, 1);
    put(0, 300, H - 3);
    rec().swayPhase[0] = 50;
    sg::motion_step(world, 0, 0);  // y = H - 1: still on screen
    EXPECT_EQ(rec().y[0], H - 1);
    EXPECT_EQ(rec().x[0], 300 + sg::SWAY_TABLE[1][50]);
    sg::motion_step(world, 0, 0);  // y = H + 1: out, back in at y = -h
    Reference ref;
    EXPECT_EQ(rec().x[0], ref.range(-10, W));
    EXPECT_EQ(rec().y[0], -6);
    EXPECT_EQ(draws_so_far(world), 2);
    // Entering anew keeps the phase.
    EXPECT_EQ(rec().swayPhase[0], 52);
}

TEST_F(PlacementTest, RightEdgeEntryAgainstTravel) {
    make_layer(1);
    sg::layer_motion_set(world.layerTable, 0, 1, 5, 2, 0, 4);  // moving right, entering at the right
    put(0, W, 100);
    for (int t = 1; t <= 3; ++t) {
        sg::motion_step(world, 0, 0);
        EXPECT_EQ(rec().x[0], W) << "re-entered every tick";
    }
    EXPECT_EQ(draws_so_far(world), 6);

    world.random = sg::Random{};
    sg::layer_motion_set(world.layerTable, 0, 1, 3, 2, 0, 4);  // moving left comes into view
    put(0, W, 100);
    sg::motion_step(world, 0, 0);
    EXPECT_EQ(rec().x[0], W - 1);
    EXPECT_EQ(draws_so_far(world), 0);
}

TEST_F(PlacementTest, FixedStartOutsideNeverComesIntoView) {
    make_layer(1);
    sg::layer_motion_set(world.layerTable, 0, 1, 5, 2, 0, 0);
    sg::placement_set(world.layerTable, 0, 0);
    sg::start_position_set(world.layerTable, 0, -100, 20);
    put(0, -100, 20);
    for (int t = 0; t < 5; ++t) {
        sg::motion_step(world, 0, 0);
        EXPECT_EQ(rec().x[0], -100);
    }
    EXPECT_EQ(draws_so_far(world), 0);
}

// Settings and picture sizes come from untrusted files: sums that would leave
// the 32-bit range stay pinned at its ends instead of wrapping.
TEST_F(PlacementTest, ExtremeValuesStayPinned) {
    make_layer(1);
    sg::layer_motion_set(world.layerTable, 0, 1, 8, 1, 4, 0);  // down-right, fastest, sway on x
    sg::placement_set(world.layerTable, 0, 0);
    sg::start_corner_set(world.layerTable, 0, 3);
    sg::start_position_set(world.layerTable, 0, INT32_MAX - 5, INT32_MAX);
    sg::instances_place(world, 0);
    EXPECT_EQ(rec().x[0], INT32_MAX);
    EXPECT_EQ(rec().y[0], INT32_MAX);
    for (int t = 0; t < 3; ++t) sg::motion_step(world, 0, 0);
    EXPECT_EQ(rec().x[0], INT32_MAX);
    EXPECT_EQ(rec().y[0], INT32_MAX);

    sg::placement_set(world.layerTable, 0, 1);
    for (int keep : {0, 1}) {
        sg::keep_inside_set(world.layerTable, 0, keep);
        for (int edge = 0; edge <= 8; ++edge) {
            sg::layer_motion_set(world.layerTable, 0, 1, 4, 2, 0, edge);
            sg::instance_enter(world, 0, 0, INT32_MAX, INT32_MIN);
            sg::instance_enter(world, 0, 0, INT32_MIN, INT32_MAX);
        }
    }
    // A refused frame keeps the size its header claims.
    auto set = animset({1}, 4, 4);
    set[256 + 18] = 0xFF, set[256 + 19] = 0xFF, set[256 + 20] = 0xFF, set[256 + 21] = 0x7F;
    set[256 + 1] = 'A';
    fresh_world(W, H);
    ASSERT_EQ(load_layer(world, 1, set, 1), 1);
    sg::layer_motion_set(world.layerTable, 1, 1, 3, 0, 4, 4);
    sg::placement_set(world.layerTable, 1, 1);
    sg::frames_step(world);
    EXPECT_EQ(sg::slot_current_width(world, 1, 0), INT32_MAX);
    world.layerTable[1].x[0] = INT32_MIN;
    for (int t = 0; t < 3; ++t) sg::motion_step(world, 1, 0);
}

TEST_F(PlacementTest, CycleReentry) {
    make_layer(2);
    sg::cycle_reentry_set(world.layerTable, 0, 1, 2);
    put(0, 7, 7);
    world.slotTable[0][0].cycleCount = 1;
    sg::cycle_reentry_check(world, 0, 0);
    EXPECT_EQ(rec().x[0], 7);
    EXPECT_EQ(draws_so_far(world), 0);

    world.random = sg::Random{};
    world.slotTable[0][0].cycleCount = 2;
    sg::cycle_reentry_check(world, 0, 0);
    Reference ref;
    EXPECT_EQ(rec().x[0], ref.range(-10, W));
    EXPECT_EQ(rec().y[0], ref.range(-6, H));
    EXPECT_EQ(world.slotTable[0][0].cycleCount, 0);

    // Off: never, whatever the count.
    sg::cycle_reentry_set(world.layerTable, 0, 0, 0);
    world.random = sg::Random{};
    world.slotTable[0][1].cycleCount = 999;
    sg::cycle_reentry_check(world, 0, 1);
    EXPECT_EQ(draws_so_far(world), 0);
    EXPECT_EQ(world.slotTable[0][1].cycleCount, 999);
}

// With reentryCycles 0 every instance is entered anew on every tick, before it
// is drawn; with 3 cycles of a 1-frame set of duration 1, every sixth tick.
TEST_F(PlacementTest, CycleReentryInTheTick) {
    make_layer(2);
    sg::cycle_reentry_set(world.layerTable, 0, 1, 0);
    for (int t = 0; t < 4; ++t) tick(world);
    EXPECT_EQ(draws_so_far(world), 4 * 2 * 2);

    fresh_world(W, H);
    make_layer(1);  // its frame step has already counted the one frame down
    sg::cycle_reentry_set(world.layerTable, 0, 1, 3);
    put(0, 5, 5);
    Reference ref;
    for (int t = 1; t <= 12; ++t) {
        tick(world);
        // Cycles end on odd ticks; the third (ticks 5 and 11) enters the
        // instance in the same tick, before it is drawn, and clears the count.
        const int cycles = (t + 1) / 2 % 3;
        EXPECT_EQ(world.slotTable[0][0].cycleCount, cycles) << "tick " << t;
        if (t == 5 || t == 11) {
            EXPECT_EQ(rec().x[0], ref.range(-10, W)) << "tick " << t;
            EXPECT_EQ(rec().y[0], ref.range(-6, H)) << "tick " << t;
        }
    }
    EXPECT_EQ(draws_so_far(world), 4);
}

}  // namespace
