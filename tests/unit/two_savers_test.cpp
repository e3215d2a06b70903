// Two savers in one process: two different scenes, each with its own saver
// value and window, ticked in turn. Each must show exactly the frames (and
// draw exactly the random numbers) it shows when it runs alone, so nothing a
// saver knows may live anywhere but in its own value.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "scenes/default/default_scene.h"
#include "shell/shell.h"
#include "tests/support/fixtures.h"
#include "tools/packlib/packlib.h"
#include "tools/render/render.h"

namespace {

namespace hl = pf::headless;
namespace pack = sg::pack;

constexpr int WIDTH = 400;
constexpr int HEIGHT = 300;
constexpr int TICKS = 40;

// What one scene shows after each tick, and where its random sequence stands.
struct Shown {
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::uint32_t> randomStates;
};

Shown alone(const pack::Bytes& package) {
    Shown run;
    std::uint32_t randomState = 0;
    sg::render::Options options;
    options.width = WIDTH;
    options.height = HEIGHT;
    options.ticks = TICKS;
    options.inspect = [&](int, const sg::SaverState& saver) {
        randomState = saver.world.random.state;
    };
    const auto outcome =
        sg::render::run(package, options, [&](int, const pf::soft::Framebuffer& pixels) {
            run.frames.push_back(pixels.pixels);
            run.randomStates.push_back(randomState);
        });
    EXPECT_TRUE(outcome.messages.empty());
    return run;
}

// The shell's full-screen start-up up to the window, without the guard and
// the message loop. The copy-out reads the bytes the resource gives now, and
// the package keeps pointing at them: they must outlive the saver.
pf::HWND start(sg::SaverState& saver, const pack::Bytes& package) {
    hl::set_package(package.data(), package.size());
    if (!sg::package_copy_out(saver.package, nullptr)) return nullptr;
    saver.world.screenWidth = pf::GetSystemMetrics(pf::SM_CXSCREEN);
    saver.world.screenHeight = pf::GetSystemMetrics(pf::SM_CYSCREEN);
    const char* title = saver.package.sceneHeader.title;
    std::memcpy(saver.windowClassName, title, std::strlen(title));
    saver.runMode = sg::Saver;
    return sg::create_saver_window(saver, 0, 0, WIDTH, HEIGHT);
}

// One timer message through the window's own procedure, which finds the
// window's saver by itself.
void tick(pf::HWND window) {
    pf::MSG message{};
    message.hwnd = window;
    message.message = pf::WM_TIMER;
    message.wParam = sg::TICK_TIMER_ID;
    pf::DispatchMessageA(&message);
}

TEST(TwoSavers, InterleavedTickByTickEachShowsTheFramesItShowsAlone) {
    // The shipped scene, and a fixture scene with another background, other
    // layers and a title (the window class) of its own.
    pack::Package second = sg::test::ready_package(3, 5);
    second.scene.title = "second saver";
    second.layers[1] = sg::test::enabled_layer(sg::test::animset(3, 24, 20, 1, 1), 12);
    second.layers[1].settings.delayMode = 0;  // random waits after each cycle
    second.layers[1].settings.maxWait = 7;
    const pack::Bytes packages[2] = {pack::package_bytes(sg::scenes::default_scene()),
                                     pack::package_bytes(second)};

    // Alone first: every run of the renderer starts the backend afresh.
    const Shown solo[2] = {alone(packages[0]), alone(packages[1])};
    for (const Shown& run : solo) ASSERT_EQ(run.frames.size(), std::size_t{TICKS});
    ASSERT_NE(solo[0].frames.back(), solo[0].frames.front()) << "the scene must move";
    ASSERT_NE(solo[1].randomStates.back(), solo[1].randomStates.front());

    hl::reset();
    hl::set_screen_size(WIDTH, HEIGHT);
    const std::unique_ptr<sg::SaverState> savers[2] = {std::make_unique<sg::SaverState>(),
                                                       std::make_unique<sg::SaverState>()};
    // The second is built (its layers set up, drawing random numbers) while
    // the first already has its window.
    pf::HWND windows[2] = {start(*savers[0], packages[0]), nullptr};
    windows[1] = start(*savers[1], packages[1]);
    ASSERT_NE(windows[0], nullptr);
    ASSERT_NE(windows[1], nullptr);
    ASSERT_NE(windows[0], windows[1]);

    for (int t = 0; t < TICKS; ++t) {
        // Both orders, so neither saver is always the one that goes first.
        for (const int k : t % 2 == 0 ? std::vector<int>{0, 1} : std::vector<int>{1, 0}) {
            tick(windows[k]);
            const pf::soft::Framebuffer* shown = hl::window_pixels(windows[k]);
            ASSERT_NE(shown, nullptr);
            ASSERT_EQ(savers[k]->world.random.state, solo[k].randomStates[t])
                << "saver " << k << ", random draws by tick " << t + 1;
            ASSERT_TRUE(shown->pixels == solo[k].frames[t])
                << "saver " << k << ", frame of tick " << t + 1;
        }
    }
    EXPECT_TRUE(hl::message_boxes().empty());

    for (pf::HWND window : windows) pf::DestroyWindow(window);
    hl::reset();
}

}  // namespace
