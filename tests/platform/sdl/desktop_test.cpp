// The display's monitors as the engine's desktop: the primary at (0, 0)
// wherever it is on its root window, other X screens to the right, and a
// window cut into one piece per X screen it reaches.
#include <gtest/gtest.h>

#include "platform/sdl/desktop.h"

namespace {

using pf::POINT;
using pf::RECT;
using pf::sdl::lay_out;
using pf::sdl::pieces_of;
using pf::sdl::ScreenMonitor;

void expect_rect(const RECT& r, int l, int t, int rt, int b) {
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rt);
    EXPECT_EQ(r.bottom, b);
}

TEST(Desktop, PrimaryRightOfAnotherMonitorIsTheOriginAndComesFirst) {
    // One root of 1824 x 768: a 800 x 600 head at (0, 0), the primary 1024 x 768 right of it.
    const auto d = lay_out({{0, {0, 0, 800, 600}, false}, {0, {800, 0, 1824, 768}, true}}, 0, {{1824, 768}});
    ASSERT_EQ(d.rects.size(), 2u);
    expect_rect(d.rects[0], 0, 0, 1024, 768);
    expect_rect(d.rects[1], -800, 0, 0, 600);
    // A span over the whole box is one piece: the root window's whole area.
    const auto span = pieces_of(d, {-800, 0, 1024, 768});
    ASSERT_EQ(span.size(), 1u);
    expect_rect(span[0].root, 0, 0, 1824, 768);
    EXPECT_EQ(pf::sdl::to_desktop(d, 0, POINT{0, 0}).x, -800);
}

TEST(Desktop, OtherXScreensLieToTheRightAndAWindowIsCutAtTheirEdges) {
    // Two X screens without RandR monitors: each counts whole; SDL's is screen 1.
    const auto d = lay_out({}, 1, {{800, 600}, {1024, 768}});
    ASSERT_EQ(d.rects.size(), 2u);
    EXPECT_EQ(d.monitors[0].screen, 1);
    expect_rect(d.rects[0], 0, 0, 1024, 768);
    expect_rect(d.rects[1], 1024, 0, 1824, 600);
    // Across both: the piece on screen 0 shows the window from x = 1024 on.
    const auto pieces = pieces_of(d, {0, 0, 1824, 768});
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].screen, 0);
    expect_rect(pieces[0].root, 0, 0, 800, 600);
    EXPECT_EQ(pieces[0].origin.x, 1024);
    EXPECT_EQ(pieces[1].screen, 1);
    expect_rect(pieces[1].root, 0, 0, 1024, 768);
    EXPECT_EQ(pieces[1].origin.x, 0);
    EXPECT_EQ(pf::sdl::to_desktop(d, 0, POINT{10, 20}).x, 1034);
    // A window off every screen is shown on SDL's, where it says.
    const auto off = pieces_of(d, {-50, -50, -10, -10});
    ASSERT_EQ(off.size(), 1u);
    EXPECT_EQ(off[0].screen, 1);
}

TEST(Desktop, EmptyMonitorsAndUnknownScreensAreLeftOut) {
    const auto d = lay_out({{0, {0, 0, 0, 0}, true}, {3, {0, 0, 640, 480}, true}, {0, {0, 0, 640, 480}, false}}, 7,
                           {{640, 480}});
    ASSERT_EQ(d.rects.size(), 1u);
    expect_rect(d.rects[0], 0, 0, 640, 480);
    EXPECT_EQ(d.home, 0);
}

}  // namespace
