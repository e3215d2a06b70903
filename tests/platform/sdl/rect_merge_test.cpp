// Merging the rectangles a tick presents: whatever is merged, every listed
// pixel stays covered and nothing outside the window is sent.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/sdl/rect_merge.h"

namespace {

using pf::sdl::Box;
using pf::sdl::merge_boxes;

bool covered(const std::vector<Box>& boxes, int x, int y) {
    for (const Box& b : boxes)
        if (x >= b.left && x < b.right && y >= b.top && y < b.bottom) return true;
    return false;
}

std::int64_t total_area(const std::vector<Box>& boxes) {
    std::int64_t sum = 0;
    for (const Box& b : boxes) sum += pf::sdl::box_area(b);
    return sum;
}

TEST(RectMerge, SpriteMovedAFewPixelsBecomesOneRectangle) {
    // Where a 40 x 40 sprite was and where it is now, 3 pixels on.
    auto out = merge_boxes({{100, 100, 140, 140}, {103, 102, 143, 142}}, 640, 480, 0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].left, 100);
    EXPECT_EQ(out[0].top, 100);
    EXPECT_EQ(out[0].right, 143);
    EXPECT_EQ(out[0].bottom, 142);
}

TEST(RectMerge, FarApartRectanglesStaySeparate) {
    auto out = merge_boxes({{0, 0, 10, 10}, {500, 400, 510, 410}}, 640, 480, 64);
    EXPECT_EQ(out.size(), 2u);
    EXPECT_EQ(total_area(out), 200);
}

TEST(RectMerge, ClipsToTheWindowAndDropsWhatIsOutsideOrEmpty) {
    auto out = merge_boxes({{-20, -20, 10, 10}, {630, 470, 700, 500}, {700, 0, 720, 10}, {5, 5, 5, 9}, {9, 9, 3, 3}},
                           640, 480, 0);
    ASSERT_EQ(out.size(), 2u);
    for (const Box& b : out) {
        EXPECT_GE(b.left, 0);
        EXPECT_GE(b.top, 0);
        EXPECT_LE(b.right, 640);
        EXPECT_LE(b.bottom, 480);
    }
    EXPECT_TRUE(merge_boxes({}, 640, 480, 0).empty());
    EXPECT_TRUE(merge_boxes({{0, 0, 10, 10}}, 0, 0, 0).empty());
}

TEST(RectMerge, AGrownRectangleMergesWithOneAlreadyPassed) {
    // 0 and 1 do not pay alone; once 1 and 2 are one, 0 lies inside it.
    auto out = merge_boxes({{0, 0, 10, 10}, {20, 0, 30, 10}, {0, 0, 30, 10}}, 640, 480, 0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(total_area(out), 300);
}

// Many sprites at random, each listed where it was and where it is: every
// listed pixel is covered, never more is sent than listed (plus what the
// requests saved are worth), and there are no more requests than before.
TEST(RectMerge, RandomScenesStayCoveredAndNeverSendMore) {
    std::srand(7);
    for (int round = 0; round < 40; ++round) {
        std::vector<Box> in;
        const int sprites = 1 + std::rand() % 60;
        for (int i = 0; i < sprites; ++i) {
            int w = 1 + std::rand() % 80, h = 1 + std::rand() % 80;
            int x = std::rand() % 360 - 20, y = std::rand() % 260 - 20;
            in.push_back({x, y, x + w, y + h});
            int dx = std::rand() % 9 - 4, dy = std::rand() % 9 - 4;
            in.push_back({x + dx, y + dy, x + dx + w, y + dy + h});
        }
        const std::int64_t cost = round % 2 ? 64 : 0;
        auto out = merge_boxes(in, 320, 240, cost);
        auto clipped = merge_boxes(in, 320, 240, -1000000000);  // never merges: only clipped
        ASSERT_LE(out.size(), clipped.size());
        EXPECT_LE(total_area(out), total_area(clipped) + cost * std::int64_t(clipped.size() - out.size()));
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                if (!covered(in, x, y)) continue;
                ASSERT_TRUE(covered(out, x, y)) << "round " << round << " at " << x << "," << y;
            }
        for (const Box& b : out) {
            ASSERT_TRUE(b.left >= 0 && b.top >= 0 && b.right <= 320 && b.bottom <= 240);
            ASSERT_TRUE(b.right > b.left && b.bottom > b.top);
        }
    }
}

}  // namespace
