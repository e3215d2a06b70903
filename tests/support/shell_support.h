// Shared pieces of the shell, background, composition and package tests:
// small packages built with packlib, one whole program run on the in-memory
// backend, and pixel reads of a window or surface.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/soft/soft.h"
#include "scene/surface.h"
#include "shell/shell.h"
#include "tests/support/fixtures.h"
#include "tools/packlib/packlib.h"

namespace shell_test {

namespace pack = sg::pack;

using Bgr = sg::test::Bgr;

inline pack::Image solid(int w, int h, Bgr c) {
    return sg::test::solid_image(w, h, c);
}

// A picture whose every pixel tells where it is: B = x, G = y, R = 0x5A.
inline pack::Image coordinates(int w, int h) {
    return sg::test::pattern_image(w, h, 0x5A);
}

// A scene without layers: title, black background, five about lines.
inline pack::Package base_package(const std::string& title = "shell test scene") {
    pack::Package p;
    p.scene.title = title;
    p.scene.backgroundMode = 0;
    p.info.lineShown = {1, 1, 1, 1, 1};
    p.info.lines = {"line one", "line two", "line three", "line four", "line five"};
    return p;
}

// A sprite that stands still: one frame, one instance at a fixed (x, y) from
// the top left, no sway, no delays.
inline pack::Layer still_sprite(const pack::Image& frame, int x, int y, int maskMode = 3) {
    pack::Layer layer;
    layer.settings.enabled = 1;
    layer.settings.instanceCount = 1;
    layer.settings.placement = 0;
    layer.settings.startCorner = 0;
    layer.settings.startX = x;
    layer.settings.startY = y;
    layer.settings.directionCode = 4;  // no travel
    layer.settings.swayAxis = 2;       // no sway
    layer.settings.randomStart = 0;
    layer.settings.delayMode = 1;
    layer.settings.loops = 1;
    pack::AnimSet set;
    set.maskMode = maskMode;
    set.frames.push_back({pack::bmp24(frame), 1});
    layer.set = set;
    return layer;
}

// The same, travelling right by its speed class (0 is 1 pixel a tick, 4 is 16).
inline pack::Layer moving_sprite(const pack::Image& frame, int x, int y, int speedClass,
                                 int maskMode = 3) {
    pack::Layer layer = still_sprite(frame, x, y, maskMode);
    layer.settings.directionCode = 5;  // right
    layer.settings.speedClass = speedClass;
    return layer;
}

// One run of the whole program on the in-memory host, with a saver of its
// own: every run starts from a fresh SaverState, which stays behind for the
// test to look at until the next run. The idle hook is called once per timer
// count (0 before the first tick) with the saver as that tick left it. The
// bytes must outlive the run.
struct Program {
    pack::Bytes package;
    int width = 640;
    int height = 480;
    int timerLimit = 200;
    std::function<void()> beforeStart;  // after the reset, before run_program
    std::function<void(int tick)> onTick;
    std::unique_ptr<sg::SaverState> saver = std::make_unique<sg::SaverState>();

    int run(const std::string& arguments) {
        // The backend first: its windows may still point at the old saver.
        pf::headless::reset();
        saver = std::make_unique<sg::SaverState>();
        if (!package.empty())
            pf::headless::set_package(package.data(), package.size());
        else
            pf::headless::set_package(nullptr, 0);
        pf::headless::set_screen_size(width, height);
        pf::headless::set_timer_limit(timerLimit);
        if (beforeStart) beforeStart();
        int last = -1;
        pf::headless::set_idle_hook([this, last](int ticks) mutable {
            if (ticks == last) return;
            last = ticks;
            if (onTick) onTick(ticks);
        });
        const int status = sg::run_program(*saver, nullptr, arguments.c_str());
        pf::headless::set_idle_hook(nullptr);
        return status;
    }

    pf::HWND window() const { return saver->saverWindow; }
};

inline std::string decimal(pf::HWND window) {
    return std::to_string(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window)));
}

inline Bgr pixel(const pf::soft::Framebuffer& fb, int x, int y) {
    const std::size_t at = std::size_t(fb.height - 1 - y) * fb.stride + std::size_t(x) * 3;
    return {fb.pixels[at], fb.pixels[at + 1], fb.pixels[at + 2]};
}

inline Bgr pixel(const sg::Surface& s, int x, int y) {
    pf::soft::DibView view{};
    if (!pf::soft::dib_view(s.memoryDC, &view)) return {0xEE, 0xEE, 0xEE};
    const std::uint8_t* p = view.bits + std::size_t(view.height - 1 - y) * view.stride + x * 3;
    return {p[0], p[1], p[2]};
}

// The pixels of the saver's window (an empty picture when it has none).
inline const pf::soft::Framebuffer& saver_pixels(const sg::SaverState& saver) {
    static const pf::soft::Framebuffer none;
    const pf::soft::Framebuffer* fb = pf::headless::window_pixels(saver.saverWindow);
    return fb ? *fb : none;
}

// The saver windows the program made (class named after the scene title).
inline std::vector<pf::headless::WindowInfo> saver_windows(const std::string& title) {
    std::vector<pf::headless::WindowInfo> out;
    for (const auto& w : pf::headless::windows())
        if (!w.foreign && w.className == title) out.push_back(w);
    return out;
}

// The window shows exactly what was composed (full screen).
inline bool window_equals_work_surface(const sg::SaverState& saver) {
    const pf::soft::Framebuffer& fb = saver_pixels(saver);
    pf::soft::DibView view{};
    if (!pf::soft::dib_view(saver.frame.workSurface.memoryDC, &view)) return false;
    if (fb.width != view.width || fb.height != view.height || fb.stride != view.stride)
        return false;
    for (int row = 0; row < fb.height; ++row)
        for (int i = 0; i < fb.width * 3; ++i)
            if (fb.pixels[std::size_t(row) * fb.stride + i] !=
                view.bits[std::size_t(row) * view.stride + i])
                return false;
    return true;
}

constexpr Bgr BLACK{0, 0, 0};
constexpr Bgr WHITE{255, 255, 255};

}  // namespace shell_test
