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

#include "platform/diagnostics.h"
#include "platform/headless/headless.h"
#include "scenes/default/default_scene.h"
#include "shell/shell.h"
#include "tests/support/fixtures.h"
#include "tools/packlib/packlib.h"
#include "tools/render/render.h"

namespace {

namespace hl = pf::headless;
namespace pack = sg::pack;

constexpr int SCREEN_WIDTH = 400;
constexpr int SCREEN_HEIGHT = 300;
constexpr int TICKS = 40;

// One saver: its package, and full screen or a preview on a pane of its own.
struct SaverSetup {
    pack::Bytes package;
    bool preview = false;
    int paneWidth = 0;
    int paneHeight = 0;
};

// What one saver shows after each tick, and where its random sequence stands.
struct Shown {
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::uint32_t> randomStates;
};

Shown alone(const SaverSetup& setup) {
    Shown shown;
    std::uint32_t randomState = 0;
    sg::render::Options options;
    options.width = setup.preview ? setup.paneWidth : SCREEN_WIDTH;
    options.height = setup.preview ? setup.paneHeight : SCREEN_HEIGHT;
    options.preview = setup.preview;
    options.ticks = TICKS;
    options.inspect = [&](int, const sg::SaverState& saver) {
        randomState = saver.world.random.state;
    };
    const auto outcome =
        sg::render::run(setup.package, options, [&](int, const pf::soft::Framebuffer& pixels) {
            shown.frames.push_back(pixels.pixels);
            shown.randomStates.push_back(randomState);
        });
    EXPECT_TRUE(outcome.messages.empty());
    return shown;
}

// The shell's start-up up to the window, without the guard and the message
// loop. The copy-out reads the bytes the resource gives now, and the package
// keeps pointing at them: they must outlive the saver.
pf::HWND start(sg::SaverState& saver, const SaverSetup& setup) {
    hl::set_package(setup.package.data(), setup.package.size());
    if (!sg::package_copy_out(saver.package, nullptr)) return nullptr;
    saver.world.screenWidth = pf::GetSystemMetrics(pf::SM_CXSCREEN);
    saver.world.screenHeight = pf::GetSystemMetrics(pf::SM_CYSCREEN);
    const char* title = saver.package.sceneHeader.title;
    std::memcpy(saver.windowClassName, title, std::strlen(title));
    if (!setup.preview) {
        saver.runMode = sg::RunMode::Saver;
        return sg::create_saver_window(saver, 0, 0, SCREEN_WIDTH, SCREEN_HEIGHT);
    }
    saver.runMode = sg::RunMode::Preview;
    saver.hostWindow =
        hl::create_foreign_window("pane", 0, 0, setup.paneWidth, setup.paneHeight);
    saver.previewWidth = setup.paneWidth;
    saver.previewHeight = setup.paneHeight;
    return sg::create_saver_window(saver, 0, 0, setup.paneWidth, setup.paneHeight);
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

// Runs both savers alone, then both in one process, ticked in turn (in both
// orders), and compares every frame and random state with the lone runs.
void expect_interleaved_as_alone(const SaverSetup (&setups)[2]) {
    // Alone first: every run of the renderer starts the backend afresh.
    const Shown solo[2] = {alone(setups[0]), alone(setups[1])};
    for (const Shown& shown : solo) {
        ASSERT_EQ(shown.frames.size(), std::size_t{TICKS});
        ASSERT_NE(shown.frames.back(), shown.frames.front()) << "the scene must move";
        ASSERT_NE(shown.randomStates.back(), shown.randomStates.front());
    }

    hl::reset();
    hl::set_screen_size(SCREEN_WIDTH, SCREEN_HEIGHT);
    const std::unique_ptr<sg::SaverState> savers[2] = {std::make_unique<sg::SaverState>(),
                                                       std::make_unique<sg::SaverState>()};
    const int gdiAtStart = pf::diagnostics::gdi_objects_alive();
    // The second is built (its layers set up, drawing random numbers) while
    // the first already has its window.
    pf::HWND windows[2] = {start(*savers[0], setups[0]), nullptr};
    windows[1] = start(*savers[1], setups[1]);
    ASSERT_NE(windows[0], nullptr);
    ASSERT_NE(windows[1], nullptr);
    ASSERT_NE(windows[0], windows[1]);

    for (int t = 0; t < TICKS; ++t) {
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
    // Each saver draws only surfaces of its own world.
    for (int k = 0; k < 2; ++k) {
        const auto* first = reinterpret_cast<const char*>(&savers[k]->world);
        const auto* end = first + sizeof(sg::World);
        for (const sg::FrameSet& set : savers[k]->world.frameSets)
            for (const sg::Surface* const* views : {set.pictures, set.masks, set.cutouts})
                for (int i = 0; i < sg::MAX_FRAMES; ++i) {
                    const auto* view = reinterpret_cast<const char*>(views[i]);
                    if (view != nullptr) {
                        EXPECT_TRUE(view >= first && view < end) << "saver " << k;
                    }
                }
    }

    for (pf::HWND window : windows) pf::DestroyWindow(window);
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), gdiAtStart) << "both savers released all they made";
    hl::reset();
}

// The shipped scene.
pack::Bytes default_package() {
    static const pack::Bytes bytes = pack::package_bytes(sg::scenes::default_scene());
    return bytes;
}

// A fixture scene with a tiled background, other layers (one with random
// waits after each cycle) and a title (the window class) of its own.
pack::Bytes fixture_package() {
    pack::Package p = sg::test::ready_package(3, 5);
    p.scene.title = "second saver";
    p.layers[1] = sg::test::enabled_layer(sg::test::animset(3, 24, 20, 1, 1), 12);
    p.layers[1].settings.delayMode = 0;
    p.layers[1].settings.maxWait = 7;
    return pack::package_bytes(p);
}

TEST(TwoSavers, InterleavedTickByTickEachShowsTheFramesItShowsAlone) {
    const SaverSetup setups[2] = {{default_package()}, {fixture_package()}};
    expect_interleaved_as_alone(setups);
}

// A full-screen saver and a preview: two logical screens (the screen and
// 320 x 240), one presenting rectangles and one stretching onto its pane.
TEST(TwoSavers, FullScreenAndPreviewKeepTheirOwnGeometry) {
    const SaverSetup setups[2] = {{fixture_package(), true, 240, 180}, {default_package()}};
    expect_interleaved_as_alone(setups);
}

}  // namespace
