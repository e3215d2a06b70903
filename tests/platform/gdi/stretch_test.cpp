// StretchBlt in the context's default mode, as the preview and the stretched
// background use it: the expectations hold for the real GDI too.
//
// Along one axis with S source and D target pixels:
//   enlarging: target d shows source floor(((2d+1)S - 1) / 2D);
//   shrinking: the sources landing on one target (s lands on
//              floor(((2s+1)D - 1) / 2S)) are ANDed together, and shrinking
//              to one pixel leaves the last source out.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/support/portable_helpers.h"

namespace {

using sgtest::Bgr;
using sgtest::Dib;

const Bgr kUntouched{0xEE, 0xEE, 0xEE};

// Pixel i of a line: one zero bit per position, so an AND shows every member.
Bgr bit_pixel(int i) {
    const std::uint32_t v = 0xFFFFFFu ^ (1u << (i % 24));
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16)};
}

Bgr and_of(const std::vector<int>& members) {
    Bgr r{0xFF, 0xFF, 0xFF};
    for (int i : members) {
        const Bgr p = bit_pixel(i);
        for (int k = 0; k < 3; ++k) r[k] &= p[k];
    }
    return r;
}

// Stretches a line of `from` pixels to `to` pixels, across or down, and
// checks target pixel i against the AND of groups[i].
void expect_line(int from, int to, bool vertical, const std::vector<std::vector<int>>& groups) {
    SCOPED_TRACE(testing::Message() << from << " -> " << to << (vertical ? " down" : " across"));
    Dib source(vertical ? 1 : from, vertical ? from : 1), target(vertical ? 1 : to, vertical ? to : 1);
    for (int i = 0; i < from; ++i) source.set(vertical ? 0 : i, vertical ? i : 0, bit_pixel(i));
    target.fill(kUntouched);
    ASSERT_TRUE(pf::StretchBlt(target.dc(), 0, 0, target.width(), target.height(), source.dc(), 0, 0,
                               source.width(), source.height(), pf::SRCCOPY));
    for (int i = 0; i < to; ++i)
        EXPECT_EQ(target.at(vertical ? 0 : i, vertical ? i : 0), and_of(groups[static_cast<std::size_t>(i)]))
            << "target pixel " << i;
}

TEST(Stretch, EnlargingRepeatsSourcePixels) {
    for (bool vertical : {false, true}) {
        // The 2 -> 5 case breaks its tie towards the first pixel, counted from the top.
        expect_line(2, 5, vertical, {{0}, {0}, {0}, {1}, {1}});
        expect_line(3, 8, vertical, {{0}, {0}, {0}, {1}, {1}, {2}, {2}, {2}});
        expect_line(5, 7, vertical, {{0}, {1}, {1}, {2}, {3}, {3}, {4}});
        expect_line(4, 4, vertical, {{0}, {1}, {2}, {3}});
        expect_line(1, 3, vertical, {{0}, {0}, {0}});
    }
}

TEST(Stretch, ShrinkingAndsTheSourcesOfEachTargetPixel) {
    for (bool vertical : {false, true}) {
        expect_line(8, 3, vertical, {{0, 1, 2}, {3, 4}, {5, 6, 7}});
        expect_line(7, 5, vertical, {{0}, {1, 2}, {3}, {4, 5}, {6}});
        expect_line(5, 2, vertical, {{0, 1, 2}, {3, 4}});
        expect_line(9, 4, vertical, {{0, 1}, {2, 3, 4}, {5, 6}, {7, 8}});
        expect_line(4, 1, vertical, {{0, 1, 2}});
        expect_line(2, 1, vertical, {{0}});
    }
}

// One axis of the rule at the top of this file, as a list of source groups.
std::vector<std::vector<int>> groups_for(int from, int to) {
    std::vector<std::vector<int>> g(static_cast<std::size_t>(to));
    if (to >= from) {
        for (int d = 0; d < to; ++d)
            g[static_cast<std::size_t>(d)].push_back(
                static_cast<int>(((2LL * d + 1) * from - 1) / (2LL * to)));
    } else {
        const int last = to == 1 ? from - 1 : from;
        for (int s = 0; s < last; ++s)
            g[static_cast<std::size_t>(((2LL * s + 1) * to - 1) / (2LL * from))].push_back(s);
    }
    return g;
}

Bgr grid_pixel(int x, int y) {
    return {static_cast<std::uint8_t>(~(1u << (x % 8))), static_cast<std::uint8_t>(~(1u << (y % 8))),
            static_cast<std::uint8_t>((x * 7 + y * 13) | 0x81)};
}

void expect_picture(int sw, int sh, int tw, int th) {
    SCOPED_TRACE(testing::Message() << sw << "x" << sh << " -> " << tw << "x" << th);
    Dib source(sw, sh), target(tw, th);
    ASSERT_TRUE(source.ok() && target.ok());
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) source.set(x, y, grid_pixel(x, y));
    ASSERT_TRUE(pf::StretchBlt(target.dc(), 0, 0, tw, th, source.dc(), 0, 0, sw, sh, pf::SRCCOPY));
    const auto cols = groups_for(sw, tw), rows = groups_for(sh, th);
    int wrong = 0;
    for (int y = 0; y < th && wrong < 5; ++y)
        for (int x = 0; x < tw && wrong < 5; ++x) {
            Bgr want{0xFF, 0xFF, 0xFF};
            for (int v : rows[static_cast<std::size_t>(y)])
                for (int u : cols[static_cast<std::size_t>(x)]) {
                    const Bgr p = grid_pixel(u, v);
                    for (int k = 0; k < 3; ++k) want[k] &= p[k];
                }
            if (target.at(x, y) != want) {
                ++wrong;
                ADD_FAILURE() << "pixel " << x << "," << y;
            }
        }
}

TEST(Stretch, WholePicturesAtPreviewAndScreenSizes) {
    expect_picture(320, 240, 152, 112);  // the preview pane
    expect_picture(320, 240, 800, 600);
    expect_picture(64, 48, 200, 30);     // wider and flatter at once
    expect_picture(37, 23, 37, 60);      // one axis untouched
}

TEST(Stretch, ClipsAgainstTheTarget) {
    Dib source(4, 4), target(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) source.set(x, y, grid_pixel(x, y));
    target.fill(kUntouched);
    // 4 -> 8 across from x = -2 and 4 -> 6 down from y = -1: the target shows the
    // middle of the enlarged picture.
    ASSERT_TRUE(pf::StretchBlt(target.dc(), -2, -1, 8, 6, source.dc(), 0, 0, 4, 4, pf::SRCCOPY));
    const int srcX[4] = {1, 1, 2, 2}, srcY[4] = {0, 1, 2, 2};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(target.at(x, y), grid_pixel(srcX[x], srcY[y])) << x << "," << y;
}

// Source pixels outside the source bitmap drop out of their group; a target
// pixel left without any is not drawn.
TEST(Stretch, SourceOutsideItsBitmapDropsOut) {
    Dib source(8, 1);
    for (int i = 0; i < 8; ++i) source.set(i, 0, bit_pixel(i));
    struct Case {
        int sx, sw, tx, tw;
        std::vector<std::vector<int>> drawn;  // per target pixel 0..4; empty: untouched
    };
    const Case cases[] = {
        {-2, 9, 0, 3, {{0}, {1, 2, 3}, {4, 5, 6}, {}, {}}},
        {3, 9, 0, 3, {{3, 4, 5}, {6, 7}, {}, {}, {}}},
        {-3, 8, 0, 4, {{}, {0}, {1, 2}, {3, 4}, {}}},
        {0, 8, -1, 3, {{3, 4}, {5, 6, 7}, {}, {}, {}}},
        {0, 8, 2, 3, {{}, {}, {0, 1, 2}, {3, 4}, {5, 6, 7}}},
        {-1, 4, 0, 8, {{}, {}, {0}, {0}, {1}}},
        {6, 4, 0, 8, {{6}, {6}, {7}, {7}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.sx << " width " << c.sw << " to " << c.tx
                                        << " width " << c.tw);
        Dib target(5, 1);
        target.fill(kUntouched);
        ASSERT_TRUE(pf::StretchBlt(target.dc(), c.tx, 0, c.tw, 1, source.dc(), c.sx, 0, c.sw, 1, pf::SRCCOPY));
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(target.at(i, 0), c.drawn[static_cast<std::size_t>(i)].empty()
                                           ? kUntouched
                                           : and_of(c.drawn[static_cast<std::size_t>(i)]))
                << "target pixel " << i;
    }
}

TEST(Stretch, EightBitSourcesAndTheirColoursNotTheirIndices) {
    std::vector<pf::RGBQUAD> table = {
        {0xF0, 0xF0, 0xF0, 0}, {0x0F, 0x0F, 0x0F, 0}, {0x33, 0x33, 0x33, 0}, {0xCC, 0xCC, 0xCC, 0}};
    Dib source(4, 1, 8, table, 4), shrunk(2, 1), enlarged(8, 1);
    const std::uint8_t indices[4] = {1, 2, 3, 0};
    for (int x = 0; x < 4; ++x) source.set_index(x, 0, indices[x]);
    pf::StretchBlt(shrunk.dc(), 0, 0, 2, 1, source.dc(), 0, 0, 4, 1, pf::SRCCOPY);
    EXPECT_EQ(shrunk.at(0, 0), (Bgr{0x03, 0x03, 0x03}));  // 0F & 33, where 1 & 2 would be 0 -> F0
    EXPECT_EQ(shrunk.at(1, 0), (Bgr{0xC0, 0xC0, 0xC0}));
    pf::StretchBlt(enlarged.dc(), 0, 0, 8, 1, source.dc(), 0, 0, 4, 1, pf::SRCCOPY);
    EXPECT_EQ(enlarged.at(2, 0), (Bgr{0x33, 0x33, 0x33}));
    EXPECT_EQ(enlarged.at(7, 0), (Bgr{0xF0, 0xF0, 0xF0}));
}

TEST(Stretch, OtherOperationsCombineWithTheStretchedPicture) {
    Dib source(4, 4), target(3, 3);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) source.set(x, y, grid_pixel(x, y));
    target.fill(kUntouched);
    pf::StretchBlt(target.dc(), 0, 0, 3, 3, source.dc(), 0, 0, 4, 4, pf::SRCINVERT);
    // 4 -> 3: groups {0}, {1, 2}, {3}.
    Bgr middle{0xFF, 0xFF, 0xFF};
    for (int y : {1, 2})
        for (int x : {1, 2})
            for (int k = 0; k < 3; ++k) middle[k] &= grid_pixel(x, y)[k];
    EXPECT_EQ(target.at(1, 1), (Bgr{static_cast<std::uint8_t>(0xEE ^ middle[0]),
                                    static_cast<std::uint8_t>(0xEE ^ middle[1]),
                                    static_cast<std::uint8_t>(0xEE ^ middle[2])}));
    pf::StretchBlt(target.dc(), 0, 0, 3, 3, nullptr, 0, 0, 4, 4, pf::WHITENESS);
    EXPECT_EQ(target.at(2, 2), (Bgr{0xFF, 0xFF, 0xFF}));
}

}  // namespace
