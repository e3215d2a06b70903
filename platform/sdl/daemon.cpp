// Run by a screen-saver daemon (set_hack_mode): the full-screen saver window
// is shown in the daemon's X window (-root, -window-id N) or in a resizable
// window of our own (-window), at that window's size. Input is dropped
// (sdl_host.cpp); the daemon's window going away ends the run, and a new size
// closes the engine's window once it has settled, so that main() runs the
// engine again at that size (take_rebuild_request).
#include <SDL.h>

#include <algorithm>
#include <string>

#include "platform/sdl/host_state.h"

namespace pf::sdl {

namespace {

constexpr Uint64 RESIZE_SETTLE_MS = 200;          // a drag sends many sizes: rebuild once it stops
constexpr int TRY_WIDTH = 800, TRY_HEIGHT = 600;  // -window's first size

}  // namespace

namespace detail {

bool daemon_screen_size(int* width, int* height) {
    Daemon& d = host().daemon;
    if (d.mode == HackMode::Off) return false;
    SDL_DisplayMode mode;
    const bool desktop = SDL_GetDesktopDisplayMode(0, &mode) == 0;
    RECT r{};
    if (d.mode == HackMode::Target && host().x11Ready && x11::window_rect(d.target, &r)) {
        *width = r.right - r.left;
        *height = r.bottom - r.top;
    } else if (d.mode == HackMode::OwnWindow && d.ownWindow) {
        SDL_GetWindowSize(d.ownWindow, width, height);
    } else if (d.mode == HackMode::OwnWindow) {
        *width = desktop ? std::min(TRY_WIDTH, mode.w) : TRY_WIDTH;
        *height = desktop ? std::min(TRY_HEIGHT, mode.h) : TRY_HEIGHT;
    } else if (desktop) {
        *width = mode.w;
        *height = mode.h;
    }
    d.shownWidth = d.seenWidth = *width;
    d.shownHeight = d.seenHeight = *height;
    d.sizeChangedAt = 0;
    return true;
}

// A window made from the target is made again on each rebuild, so that its
// surface has the target's new size; a window of our own is kept.
SDL_Window* daemon_window(const headless::WindowInfo& info) {
    Daemon& d = host().daemon;
    if (d.mode == HackMode::Target) return SDL_CreateWindowFrom(reinterpret_cast<const void*>(d.target));
    if (!d.ownWindow) {
        const RECT& r = info.rect;
        std::string title = code_page_to_utf8(info.title.c_str(), host().titleCodePage);
        d.ownWindow = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                       std::max<int>(r.right - r.left, 1), std::max<int>(r.bottom - r.top, 1),
                                       SDL_WINDOW_RESIZABLE);
    }
    return d.ownWindow;
}

// The target took a new size (or went back to the one shown).
void daemon_note_size(int width, int height) {
    Daemon& d = host().daemon;
    if (width == d.seenWidth && height == d.seenHeight) return;
    d.seenWidth = width;
    d.seenHeight = height;
    d.sizeChangedAt =
        (width == d.shownWidth && height == d.shownHeight) ? 0 : std::max<Uint64>(SDL_GetTicks64(), 1);
}

void daemon_check_target() {
    Daemon& d = host().daemon;
    if (d.mode == HackMode::Off || d.quitRequested) return;
    if (d.mode == HackMode::Target) {
        int width = d.seenWidth, height = d.seenHeight;
        x11::Change change = x11::changes(d.target, &width, &height);
        if (change == x11::Change::Gone) {
            d.quitRequested = true;
            post_close(0);
            return;
        }
        if (change == x11::Change::Configured) daemon_note_size(width, height);
    }
    Uint64 now = SDL_GetTicks64();
    if (d.sizeChangedAt && !d.rebuildRequested && !host().windows.empty() &&
        now - d.sizeChangedAt >= RESIZE_SETTLE_MS) {
        d.sizeChangedAt = 0;
        d.rebuildRequested = true;
        post_close(0);
    }
}

}  // namespace detail

bool set_hack_mode(HackMode mode, std::uintptr_t target) {
    detail::Daemon& d = detail::host().daemon;
    d.mode = mode;
    d.target = mode == HackMode::Target ? target : 0;
    if (!d.target) return true;
    if (!detail::host().x11Ready) return false;
    // Errors about the daemon's window (it may go at any moment) are ours to see.
    x11::watch(d.target);
    return x11::follow(d.target);
}

bool take_rebuild_request() {
    detail::Daemon& d = detail::host().daemon;
    bool again = d.rebuildRequested && !d.quitRequested;
    d.rebuildRequested = false;
    return again;
}

}  // namespace pf::sdl
