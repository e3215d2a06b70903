// Full screen on several monitors: a black topmost window on each monitor but
// the primary, input on any of them ends the saver, they go with it, and the
// saver window itself shows exactly what it shows alone.
#include <gtest/gtest.h>

#include <memory>

#include "platform/headless/headless.h"
#include "platform/headless/scripting.h"
#include "shell/shell.h"
#include "tests/support/fixtures.h"
#include "tools/render/render.h"

namespace {

namespace hl = pf::headless;

constexpr char COVER_CLASS[] = "snowglobe monitor cover";

struct CoverRun {
    int status = 0;
    int ticks = 0;
    std::vector<hl::WindowInfo> coversSeen;
    std::vector<std::uint8_t> saverPixels;
};

// Runs "/s" on a 1024 x 768 primary with the given other monitors; `input`
// is called once at tick 2 with the first cover (or null).
template <class Input>
CoverRun run(const std::vector<std::uint8_t>& package, const std::vector<pf::RECT>& others,
        Input input) {
    hl::reset();
    hl::set_package(package.data(), package.size());
    hl::set_screen_size(1024, 768);
    hl::set_other_monitors(others);
    hl::set_timer_limit(30);
    auto saver = std::make_unique<sg::SaverState>();
    CoverRun result;
    int last = -1;
    hl::set_idle_hook([&](int ticks) {
        if (ticks == last) return;
        last = ticks;
        result.ticks = ticks;
        if (ticks == 1) {
            for (const auto& w : hl::windows())
                if (w.alive && w.className == COVER_CLASS) result.coversSeen.push_back(w);
        }
        if (ticks == 5) {
            if (const pf::soft::Framebuffer* fb = hl::window_pixels(saver->saverWindow))
                result.saverPixels = fb->pixels;
        }
        if (ticks == 6) input(result.coversSeen.empty() ? nullptr : result.coversSeen[0].handle);
    });
    result.status = sg::run_program(*saver, nullptr, "/s");
    hl::set_idle_hook(nullptr);
    for (const auto& w : hl::windows())
        EXPECT_FALSE(w.alive && w.className == COVER_CLASS) << "a cover outlived the saver";
    return result;
}

const std::vector<std::uint8_t>& scene() {
    static const auto bytes = sg::test::build(sg::test::ready_package(0, 0));
    return bytes;
}

TEST(MonitorCovers, EveryOtherMonitorIsCoveredBlackAndTopmost) {
    const std::vector<pf::RECT> others{{1024, 0, 1824, 600}, {-640, 100, 0, 580}};
    const CoverRun r = run(scene(), others, [](pf::HWND) {});
    ASSERT_EQ(r.coversSeen.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& w = r.coversSeen[i];
        EXPECT_EQ(w.rect.left, others[i].left);
        EXPECT_EQ(w.rect.top, others[i].top);
        EXPECT_EQ(w.rect.right, others[i].right);
        EXPECT_EQ(w.rect.bottom, others[i].bottom);
        EXPECT_TRUE(w.style & pf::WS_POPUP);
        EXPECT_TRUE(w.exStyle & pf::WS_EX_TOPMOST);
        const pf::soft::Framebuffer* fb = hl::window_pixels(w.handle);
        if (fb != nullptr) {
            for (std::uint8_t b : fb->pixels) ASSERT_EQ(b, 0);
        }
    }
    EXPECT_EQ(r.ticks, 30);  // nothing ended it: the safety net did
}

TEST(MonitorCovers, OneMonitorGetsNoCover) {
    const CoverRun r = run(scene(), {}, [](pf::HWND) {});
    EXPECT_TRUE(r.coversSeen.empty());
}

// A monitor that mirrors part of the primary shows the saver already.
TEST(MonitorCovers, AMirroredMonitorIsNotBlackedOut) {
    const CoverRun r = run(scene(), {{0, 0, 800, 600}, {0, 0, 1024, 768}}, [](pf::HWND) {});
    EXPECT_TRUE(r.coversSeen.empty());
    const CoverRun partly = run(scene(), {{512, 0, 1536, 768}}, [](pf::HWND) {});
    EXPECT_EQ(partly.coversSeen.size(), 1u);
}

TEST(MonitorCovers, KeyClickOrMouseStepOnACoverEndsTheSaver) {
    const std::vector<pf::RECT> others{{1024, 0, 1824, 600}};
    const CoverRun key = run(scene(), others, [](pf::HWND cover) { hl::inject_key(cover); });
    EXPECT_EQ(key.status, 0);
    EXPECT_LT(key.ticks, 10);
    const CoverRun click = run(scene(), others, [](pf::HWND cover) { hl::inject_button(cover); });
    EXPECT_LT(click.ticks, 10);

    // Mouse: the first move records, a step of 4 stays, a step of 5 ends.
    int moves = 0;
    const CoverRun step = run(scene(), others, [&](pf::HWND cover) {
        hl::inject_mouse_move(cover, 1500, 300);
        moves = 1;
    });
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(step.ticks, 30) << "a first move alone ended the saver";
}

TEST(MonitorCovers, MouseStepOfFiveOnACoverEndsTheSaver) {
    hl::reset();
    const auto& package = scene();
    hl::set_package(package.data(), package.size());
    hl::set_screen_size(1024, 768);
    hl::set_other_monitors({{1024, 0, 1824, 600}});
    hl::set_timer_limit(30);
    auto saver = std::make_unique<sg::SaverState>();
    pf::HWND cover = nullptr;
    int last = -1, ended = 0;
    hl::set_idle_hook([&](int ticks) {
        if (ticks == last) return;
        last = ticks;
        ended = ticks;
        for (const auto& w : hl::windows())
            if (w.alive && w.className == COVER_CLASS) cover = w.handle;
        if (ticks == 2) hl::inject_mouse_move(cover, 1500, 300);
        if (ticks == 3) hl::inject_mouse_move(cover, 1504, 296);
        if (ticks == 4) hl::inject_mouse_move(cover, 1509, 296);
    });
    EXPECT_EQ(sg::run_program(*saver, nullptr, "/s"), 0);
    hl::set_idle_hook(nullptr);
    EXPECT_EQ(ended, 4);
}

TEST(MonitorCovers, TheSaverWindowShowsWhatItShowsAlone) {
    const auto& package = scene();
    const CoverRun alone = run(package, {}, [](pf::HWND) {});
    const CoverRun covered = run(package, {{1024, 0, 1824, 600}}, [](pf::HWND) {});
    ASSERT_FALSE(alone.saverPixels.empty());
    EXPECT_TRUE(alone.saverPixels == covered.saverPixels);
}

TEST(MonitorCovers, PreviewAndAboutBoxMakeNoCovers) {
    hl::reset();
    const auto& package = scene();
    hl::set_package(package.data(), package.size());
    hl::set_other_monitors({{1024, 0, 1824, 600}});
    hl::set_timer_limit(5);
    pf::HWND pane = hl::create_foreign_window("pane", 0, 0, 200, 150);
    auto saver = std::make_unique<sg::SaverState>();
    bool covered = false;
    hl::set_idle_hook([&](int) {
        for (const auto& w : hl::windows())
            if (w.alive && w.className == COVER_CLASS) covered = true;
    });
    const std::string args =
        "/p " + std::to_string(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(pane)));
    sg::run_program(*saver, nullptr, args.c_str());
    hl::set_idle_hook(nullptr);
    EXPECT_FALSE(covered);
}

}  // namespace
