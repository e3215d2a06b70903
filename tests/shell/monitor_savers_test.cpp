// Full screen on three monitors of different sizes (one left of the primary
// at twice its DPI, one taller reaching above it): in Each every monitor
// shows, tick by tick, what a one-monitor saver of its size (and scale)
// shows; in Span
// one window over the bounding box shows the one-monitor saver of that size;
// input on any window ends them all; Primary, and one monitor in any mode,
// stay as they were.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/headless/scripting.h"
#include "tests/support/shell_support.h"
#include "tools/render/render.h"

namespace {

namespace hl = pf::headless;
using sg::format::MonitorMode;
using Frames = std::vector<std::vector<std::uint8_t>>;

constexpr int TICKS = 6;
constexpr char COVER_CLASS[] = "snowglobe monitor cover";

const std::vector<hl::Monitor> THREE{
    {{-320, 100, 0, 340}, false, 192},
    {{0, 0, 480, 360}, true, 96},
    {{480, -40, 680, 400}, false, 96},
};
const pf::RECT VIRTUAL_SCREEN{-320, -40, 680, 400};

// Random placement and start frames on a tiled background, so that every
// monitor size draws and shows something of its own; optionally with a
// sound and a monitors record naming `recorded`.
shell_test::pack::Bytes scene(std::optional<MonitorMode> recorded = std::nullopt) {
    shell_test::pack::Package p = sg::test::ready_package(3, 0);
    p.layers[1] = sg::test::enabled_layer(sg::test::animset(3, 24, 20, 1, 1), 12);
    if (recorded) {
        p.scene.sound = sg::test::silent_wav();
        p.optionalBlock1.assign(120, 0);
        const char magic[] = "SGMN";
        std::copy(magic, magic + 4, p.optionalBlock1.begin() + 12);
        shell_test::pack::put32(p.optionalBlock1, 16, 1);
        shell_test::pack::put32(p.optionalBlock1, 20, static_cast<std::int32_t>(*recorded));
    }
    return sg::test::build(p);
}

Frames alone(const shell_test::pack::Bytes& package, int width, int height, int scale) {
    Frames out;
    sg::render::Options options;
    options.width = width;
    options.height = height;
    options.scale = scale;
    options.ticks = TICKS;
    sg::render::run(package, options,
                    [&](int, const pf::soft::Framebuffer& fb) { out.push_back(fb.pixels); });
    return out;
}

// "/s" on the given monitors; the mode is the user's choice when given.
void on_monitors(shell_test::Program& program, const shell_test::pack::Bytes& package,
                 const std::vector<hl::Monitor>& monitors, std::optional<MonitorMode> mode) {
    program.package = package;
    program.timerLimit = TICKS + 1;
    program.beforeStart = [&program, monitors, mode] {
        hl::set_monitors(monitors);
        program.saver->monitorsOverride = mode;
    };
}

std::vector<hl::WindowInfo> live(const char* className) {
    std::vector<hl::WindowInfo> out;
    for (const auto& w : hl::windows())
        if (w.alive && w.className == className) out.push_back(w);
    return out;
}

bool same_rect(const pf::RECT& a, const pf::RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(MonitorSavers, EachMonitorShowsTheOneMonitorSaverOfItsSizeTickByTick) {
    const auto package = scene();
    const Frames expected[3] = {alone(package, 320, 240, 2), alone(package, 480, 360, 1),
                                alone(package, 200, 440, 1)};
    ASSERT_NE(expected[2].front(), expected[2].back()) << "the scene must move";

    shell_test::Program program;
    on_monitors(program, package, THREE, MonitorMode::Each);
    int checked = 0;
    program.onTick = [&](int tick) {
        const sg::SaverState& primary = *program.saver;
        if (tick == 0) {
            ASSERT_EQ(primary.monitorSaverCount, 3);
            EXPECT_EQ(primary.monitorSavers[1], &primary) << "listed in monitor order";
            EXPECT_EQ(hl::live_timers(), 1) << "one timer ticks them all";
            EXPECT_TRUE(live(COVER_CLASS).empty());
            const auto windows = live("fixture scene");
            ASSERT_EQ(windows.size(), 3u);
            for (int k = 0; k < 3; ++k) {
                const pf::HWND w = primary.monitorSavers[k]->saverWindow;
                const auto found = std::find_if(windows.begin(), windows.end(),
                                                [&](const hl::WindowInfo& i) { return i.handle == w; });
                ASSERT_NE(found, windows.end());
                EXPECT_TRUE(same_rect(found->rect, THREE[std::size_t(k)].rect)) << "monitor " << k;
                EXPECT_EQ(found->parent, k == 1 ? nullptr : primary.saverWindow)
                    << "owned by the primary's window";
            }
            return;
        }
        if (tick > TICKS) return;
        for (int k = 0; k < 3; ++k) {
            const pf::soft::Framebuffer* fb = hl::window_pixels(primary.monitorSavers[k]->saverWindow);
            ASSERT_NE(fb, nullptr);
            ASSERT_TRUE(fb->pixels == expected[k][std::size_t(tick - 1)])
                << "monitor " << k << ", tick " << tick;
        }
        checked = tick;
    };
    EXPECT_EQ(program.run("/s"), 0);
    EXPECT_EQ(checked, TICKS);
    EXPECT_TRUE(live("fixture scene").empty());
}

TEST(MonitorSavers, SpanIsOneSaverOverTheVirtualScreen) {
    const auto package = scene();
    const Frames expected = alone(package, 1000, 440, 1);
    shell_test::Program program;
    on_monitors(program, package, THREE, MonitorMode::Span);
    int checked = 0;
    program.onTick = [&](int tick) {
        if (tick == 0) {
            const auto windows = live("fixture scene");
            ASSERT_EQ(windows.size(), 1u);
            EXPECT_TRUE(same_rect(windows[0].rect, VIRTUAL_SCREEN));
            EXPECT_TRUE(live(COVER_CLASS).empty());
            return;
        }
        if (tick > TICKS) return;
        ASSERT_TRUE(shell_test::saver_pixels(*program.saver).pixels == expected[std::size_t(tick - 1)])
            << "tick " << tick;
        checked = tick;
    };
    EXPECT_EQ(program.run("/s"), 0);
    EXPECT_EQ(checked, TICKS);

    // The desktop background is the desktop under the window, which starts
    // left of and above the primary.
    const auto desktopScene = sg::test::build(sg::test::ready_package(2, 0));
    shell_test::Program desktop;
    on_monitors(desktop, desktopScene, THREE, MonitorMode::Span);
    desktop.timerLimit = 1;
    desktop.beforeStart = [&desktop] {
        hl::set_monitors(THREE);
        desktop.saver->monitorsOverride = MonitorMode::Span;
        pf::soft::Framebuffer& fb = *hl::desktop_pixels();
        for (int y = 0; y < fb.height; ++y)
            for (int x = 0; x < fb.width; ++x) {
                std::uint8_t* p = &fb.pixels[std::size_t(fb.height - 1 - y) * fb.stride + std::size_t(x) * 3];
                p[0] = std::uint8_t(x);
                p[1] = std::uint8_t(y);
                p[2] = 0x77;
            }
    };
    bool seen = false;
    desktop.onTick = [&](int tick) {
        if (tick != 0) return;
        const sg::Surface& background = desktop.saver->frame.backgroundSurface;
        EXPECT_EQ(shell_test::pixel(background, 0, 0), shell_test::BLACK) << "no desktop there";
        EXPECT_EQ(shell_test::pixel(background, 320 + 7, 40 + 9), (shell_test::Bgr{7, 9, 0x77}));
        seen = true;
    };
    desktop.run("/s");
    EXPECT_TRUE(seen);
}

TEST(MonitorSavers, KeyClickOrMouseStepOnAnotherMonitorEndsThemAll) {
    const auto package = scene(MonitorMode::Each);  // with a sound
    const auto window_of = [](const shell_test::Program& p, int k) {
        const sg::SaverState* s = k < p.saver->monitorSaverCount ? p.saver->monitorSavers[k] : nullptr;
        return s != nullptr ? s->saverWindow : nullptr;
    };
    for (const MonitorMode mode : {MonitorMode::Each, MonitorMode::Span}) {
        for (int input = 0; input < 3; ++input) {
            shell_test::Program program;
            on_monitors(program, package, THREE, mode);
            program.timerLimit = 30;
            int ended = 0;
            program.onTick = [&](int tick) {
                ended = tick;
                const pf::HWND left = mode == MonitorMode::Each ? window_of(program, 0) : program.window();
                const pf::HWND right = mode == MonitorMode::Each ? window_of(program, 2) : program.window();
                if (tick == 2 && input == 0) hl::inject_key(left);
                if (tick == 2 && input == 1) hl::inject_button(right, pf::WM_RBUTTONDOWN);
                // The first move records; a step of 5 on another window ends.
                if (tick == 2 && input == 2) hl::inject_mouse_move(right, 600, 100);
                if (tick == 3 && input == 2) hl::inject_mouse_move(left, 600, 95);
            };
            const int status = program.run("/s");
            const std::string what = std::to_string(int(mode)) + "/" + std::to_string(input);
            EXPECT_EQ(status, 0) << what;
            EXPECT_EQ(ended, input == 2 ? 3 : 2) << what;
            EXPECT_TRUE(live("fixture scene").empty()) << what;
            EXPECT_TRUE(hl::live_guards().empty()) << what;
            EXPECT_EQ(hl::cursor_show_count(), 0) << what;
            int plays = 0, stops = 0;
            for (const auto& call : hl::sound_calls()) (call.play ? plays : stops) += 1;
            EXPECT_EQ(plays, 1) << what << ": the sound plays once";
            EXPECT_EQ(stops, 1) << what;
        }
    }
}

// The package's record chooses unless the user chose; without either, the
// other monitors are covered black as always.
TEST(MonitorSavers, ThePackageChoosesUnlessTheUserDid) {
    const struct {
        std::optional<MonitorMode> recorded, chosen;
        std::size_t savers, covers;
    } cases[] = {{std::nullopt, std::nullopt, 1, 2},
                 {MonitorMode::Each, std::nullopt, 3, 0},
                 {MonitorMode::Span, std::nullopt, 1, 0},
                 {MonitorMode::Each, MonitorMode::Primary, 1, 2},
                 {std::nullopt, MonitorMode::Each, 3, 0}};
    for (const auto& c : cases) {
        shell_test::Program program;
        on_monitors(program, scene(c.recorded), THREE, c.chosen);
        program.timerLimit = 2;
        std::size_t savers = 0, covers = 0;
        program.onTick = [&](int tick) {
            if (tick != 1) return;
            savers = live("fixture scene").size();
            covers = live(COVER_CLASS).size();
        };
        program.run("/s");
        EXPECT_EQ(savers, c.savers) << int(c.recorded.value_or(MonitorMode(-1))) << " "
                                    << int(c.chosen.value_or(MonitorMode(-1)));
        EXPECT_EQ(covers, c.covers);
    }
}

// One monitor (or one more that only mirrors part of the primary): Each and
// Span are Primary, frame for frame.
TEST(MonitorSavers, OneMonitorPlaysAsPrimaryInEveryMode) {
    const auto package = scene();
    const std::vector<std::vector<hl::Monitor>> desktops{
        {{{0, 0, 480, 360}, true, 96}},
        {{{0, 0, 480, 360}, true, 96}, {{0, 0, 320, 240}, false, 192}}};
    for (const auto& monitors : desktops) {
        Frames shown[3];
        for (const MonitorMode mode : {MonitorMode::Primary, MonitorMode::Each, MonitorMode::Span}) {
            shell_test::Program program;
            on_monitors(program, package, monitors, mode);
            program.onTick = [&](int tick) {
                if (tick == 0) {
                    EXPECT_EQ(live("fixture scene").size(), 1u);
                    EXPECT_EQ(program.saver->monitorSaverCount, 0);
                }
                if (tick >= 1 && tick <= TICKS)
                    shown[int(mode)].push_back(shell_test::saver_pixels(*program.saver).pixels);
            };
            program.run("/s");
        }
        ASSERT_EQ(shown[0].size(), std::size_t(TICKS));
        EXPECT_TRUE(shown[1] == shown[0]);
        EXPECT_TRUE(shown[2] == shown[0]);
    }
}

}  // namespace
