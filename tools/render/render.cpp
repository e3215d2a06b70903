#include "tools/render/render.h"

#include <algorithm>
#include <memory>

#include "platform/headless/headless.h"
#include "shell/shell.h"

namespace sg::render {

Outcome run(std::span<const std::uint8_t> package, const Options& options,
            const PictureCallback& onPicture) {
    namespace hl = pf::headless;
    Outcome outcome;

    hl::set_host_driver(nullptr);
    hl::reset();
    const auto saver = std::make_unique<SaverState>();
    hl::set_package(package.data(), package.size());
    hl::set_screen_size(options.width, options.height);
    hl::set_screen_dpi(96 * std::clamp(options.scale, 1, 64));
    // A scene that never lets the loop idle must still end.
    hl::set_timer_limit(std::max(options.ticks, 0) + 16);

    pf::HWND pane = nullptr;
    std::string arguments = "/s";
    if (options.preview) {
        pane = hl::create_foreign_window("preview", 0, 0, options.width, options.height);
        const auto handle = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(pane));
        arguments = "/p " + std::to_string(handle);
    }

    const int every = std::max(options.every, 1);
    int handledTicks = -1;
    bool closing = false;
    hl::set_idle_hook([&](int ticks) {
        const pf::HWND saverWindow = saver->saverWindow;
        if (closing || ticks == handledTicks || saverWindow == nullptr) return;
        handledTicks = ticks;
        outcome.windowCreated = true;
        outcome.ticksRun = ticks;
        if (ticks > 0 && options.inspect) options.inspect(ticks, *saver);
        if (ticks > 0 && ticks % every == 0 && onPicture) {
            if (const pf::soft::Framebuffer* pixels = hl::window_pixels(saverWindow)) {
                onPicture(ticks, *pixels);
            }
        }
        if (ticks >= options.ticks) {
            closing = true;
            // The preview goes with its pane; full screen closes as on a key.
            if (pane == nullptr || !pf::DestroyWindow(pane)) pf::DestroyWindow(saverWindow);
        }
    });

    outcome.exitStatus = run_program(*saver, nullptr, arguments.c_str());
    hl::set_idle_hook(nullptr);
    for (const auto& box : hl::message_boxes()) outcome.messages.push_back({box.text, box.caption});
    return outcome;
}

std::vector<std::uint8_t> top_down_rgb(const pf::soft::Framebuffer& pixels) {
    std::vector<std::uint8_t> rgb;
    if (pixels.width <= 0 || pixels.height <= 0) return rgb;
    rgb.resize(static_cast<std::size_t>(pixels.width) * pixels.height * 3);
    std::size_t out = 0;
    for (int y = 0; y < pixels.height; ++y) {
        const std::size_t row = static_cast<std::size_t>(pixels.height - 1 - y) * pixels.stride;
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint8_t* p = &pixels.pixels[row + static_cast<std::size_t>(x) * 3];
            rgb[out++] = p[2];
            rgb[out++] = p[1];
            rgb[out++] = p[0];
        }
    }
    return rgb;
}

}  // namespace sg::render
