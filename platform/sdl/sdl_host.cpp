// The host driver of the Linux program: the in-memory windowing of
// platform/headless runs the engine, and this file makes its windows real
// (its companions are listed in host_state.h).
//
// What it does:
//  - the display's monitors (RandR's, Xinerama's heads, every X screen) are
//    one desktop in the engine's coordinates, the primary at (0, 0)
//    (desktop.h); the engine learns them from desktop_monitors();
//  - a top-level window of ours becomes a borderless, always-on-top SDL window
//    at its place on that desktop; one that is exactly an SDL display is made
//    full screen there. The piece of a window on another X screen (where SDL
//    cannot make windows) is an X window of ours that SDL draws into;
//  - a child of another program's window (the preview pane, "/p N", N being
//    an X11 window id) draws straight into that X window (SDL_CreateWindowFrom),
//    at the window's size; when the X window goes away, our child is destroyed
//    as Windows destroys children with their parent;
//  - run by a screen-saver daemon (daemon.cpp), the full-screen window is
//    shown in the daemon's X window or in a resizable window of our own, and
//    input is dropped;
//  - presenting copies only the rectangles the engine drew, converting the
//    bottom-up 24-bit rows to the window's format: on X11 straight from the
//    framebuffer to the window (x11_present.cpp), elsewhere through SDL's
//    window surface;
//  - SDL keyboard, button and motion events become WM_KEYDOWN / WM_SYSKEYDOWN,
//    WM_xBUTTONDOWN and WM_MOUSEMOVE with global cursor positions; SDL_QUIT
//    (also raised by SIGTERM and SIGINT) and a window manager's close request
//    become WM_CLOSE;
//  - the cursor is hidden while ShowCursor's count is below 0;
//  - message boxes and the about box are SDL message boxes (boxes.cpp).
//
// What it cannot do:
//  - deliver input from another program's window (a preview ignores input
//    anyway), or know of other programs' windows without X11 (on a pure
//    Wayland session only our own windows exist);
//  - give monitors DPIs of their own: X11 has one scale for the display, so
//    every monitor reports the program's one DPI;
//  - follow monitors plugged in or out while it runs: they are read when the
//    display is opened.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/sdl/host_state.h"

namespace pf::sdl {

namespace detail {

Host& host() {
    static Host state;
    return state;
}

HostWindow* by_handle(HWND handle) {
    for (auto& w : host().windows)
        if (w.handle == handle) return &w;
    return nullptr;
}

bool find_info(HWND handle, headless::WindowInfo* out) {
    for (auto& info : headless::windows())
        if (info.handle == handle) {
            *out = info;
            return true;
        }
    return false;
}

void destroy_sdl_window(SDL_Window* window) {
    x11_forget_window(window);
    SDL_DestroyWindow(window);
}

}  // namespace detail

namespace {

using namespace detail;

constexpr DWORD WS_CAPTION_BITS = 0x00C00000;

HostWindow* by_sdl_id(Uint32 id) {
    for (auto& w : host().windows)
        if (w.sdl && SDL_GetWindowID(w.sdl) == id) return &w;
    return nullptr;
}

// Where input and close requests go: the window the event names, else our
// top-level window, else any window of ours.
HWND target_for(Uint32 sdlWindowId) {
    if (HostWindow* w = by_sdl_id(sdlWindowId)) return w->handle;
    const auto& windows = host().windows;
    for (auto& w : windows)
        if (!w.foreignParent) return w.handle;
    return windows.empty() ? nullptr : windows.front().handle;
}

// ---- presenting ----

// r in the window's coordinates; its pixels are the framebuffer's at (ox, oy) from there.
void copy_rect(const soft::Framebuffer& fb, int ox, int oy, SDL_Surface* surface, const SDL_Rect& r) {
    const SDL_PixelFormat* f = surface->format;
    const int bpp = f->BytesPerPixel;
    for (int y = r.y; y < r.y + r.h; ++y) {
        // Framebuffer rows run bottom-up; window rows top-down.
        const std::uint8_t* src =
            fb.pixels.data() + std::size_t(fb.height - 1 - (y + oy)) * fb.stride + std::size_t(r.x + ox) * 3;
        auto* dst = static_cast<std::uint8_t*>(surface->pixels) + std::size_t(y) * surface->pitch +
                    std::size_t(r.x) * bpp;
        if (bpp == 4) {
            for (int x = 0; x < r.w; ++x, src += 3, dst += 4) {
                Uint32 p = (Uint32(src[2] >> f->Rloss) << f->Rshift) |
                           (Uint32(src[1] >> f->Gloss) << f->Gshift) |
                           (Uint32(src[0] >> f->Bloss) << f->Bshift) | f->Amask;
                std::memcpy(dst, &p, 4);
            }
        } else {
            for (int x = 0; x < r.w; ++x, src += 3, dst += bpp) {
                Uint32 p = SDL_MapRGB(f, src[2], src[1], src[0]);
                if (bpp == 2) {
                    Uint16 v = static_cast<Uint16>(p);
                    std::memcpy(dst, &v, 2);
                } else if (bpp == 3) {
                    std::memcpy(dst, &p, 3);  // little-endian host
                } else {
                    *dst = static_cast<std::uint8_t>(p);
                }
            }
        }
    }
}

void show_rects(HostWindow& w, const soft::Framebuffer& fb, const RECT* rects, int count) {
    // On X11 the framebuffer goes to the window directly: no window-sized
    // surface is made at all.
    if (host().x11Ready && x11_put_rects(w.sdl, fb, rects, count, w.origin)) return;
    SDL_Surface* surface = SDL_GetWindowSurface(w.sdl);
    if (!surface || fb.width <= 0 || fb.height <= 0 ||
        fb.pixels.size() < std::size_t(fb.stride) * fb.height)
        return;
    // In the piece's coordinates: the framebuffer's from origin on.
    const int ox = std::clamp<int>(w.origin.x, 0, fb.width), oy = std::clamp<int>(w.origin.y, 0, fb.height);
    const int maxW = std::min(fb.width - ox, surface->w);
    const int maxH = std::min(fb.height - oy, surface->h);
    std::vector<SDL_Rect> shown;
    RECT whole{0, 0, fb.width, fb.height};
    if (!rects) {
        rects = &whole;
        count = 1;
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    for (int i = 0; i < count; ++i) {
        int l = std::max<int>(rects[i].left - ox, 0), t = std::max<int>(rects[i].top - oy, 0);
        int r = std::min<int>(rects[i].right - ox, maxW), b = std::min<int>(rects[i].bottom - oy, maxH);
        if (r <= l || b <= t) continue;
        SDL_Rect sr{l, t, r - l, b - t};
        copy_rect(fb, ox, oy, surface, sr);
        shown.push_back(sr);
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (!shown.empty()) SDL_UpdateWindowSurfaceRects(w.sdl, shown.data(), int(shown.size()));
}

bool has_desktop() { return !host().desktop.monitors.empty(); }

void show_all(HostWindow& w) {
    const soft::Framebuffer* fb = headless::window_pixels(w.handle);
    if (fb) show_rects(w, *fb, nullptr, 0);
}

// ---- driver functions ----

// Global cursor position. Asked of the X server directly: SDL's global state
// on X11 follows XInput2 raw events, which synthetic input (XTEST) and some
// servers never send, so it can stand still while the cursor moves.
bool cursor_pos(POINT* point) {
    const Desktop& desktop = host().desktop;
    int screen = desktop.home;
    if (!host().x11Ready || !x11::cursor_pos(point, &screen)) {
        int x = 0, y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        *point = POINT{x, y};
    }
    *point = to_desktop(desktop, screen, *point);
    return true;
}

void screen_size(int* width, int* height) {
    if (daemon_screen_size(width, height)) return;
    if (has_desktop()) {
        const RECT& primary = host().desktop.rects.front();
        *width = primary.right - primary.left;
        *height = primary.bottom - primary.top;
        return;
    }
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        *width = mode.w;
        *height = mode.h;
    }
}

}  // namespace

void detail::post_close(Uint32 sdlWindowId) {
    HWND target = target_for(sdlWindowId);
    if (target)
        pf::PostMessageA(target, WM_CLOSE, 0, 0);
    else
        host().closePending = true;
}

namespace {

// Whether an SDL display is exactly this rectangle of the home screen.
bool is_display(const RECT& r) {
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect b;
        if (SDL_GetDisplayBounds(i, &b) == 0 && b.x == r.left && b.y == r.top && b.w == r.right - r.left &&
            b.h == r.bottom - r.top)
            return true;
    }
    return false;
}

// The pieces of a top-level window of ours: on SDL's screen an SDL window,
// elsewhere an X window of ours that SDL draws into.
std::vector<HostWindow> show_top_level(const headless::WindowInfo& info) {
    std::vector<HostWindow> out;
    const Desktop& desktop = host().desktop;
    std::vector<Piece> pieces = has_desktop() ? pieces_of(desktop, info.rect)
                                              : std::vector<Piece>{Piece{0, info.rect, POINT{0, 0}}};
    const std::string title = code_page_to_utf8(info.title.c_str(), host().titleCodePage);
    for (const Piece& p : pieces) {
        HostWindow w;
        w.handle = info.handle;
        w.origin = p.origin;
        const int width = std::max<int>(p.root.right - p.root.left, 1);
        const int height = std::max<int>(p.root.bottom - p.root.top, 1);
        if (p.screen == desktop.home) {
            Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR;
            // A monitor's whole area is asked of a window manager as full screen.
            if (pieces.size() == 1 && is_display(p.root)) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
            w.sdl = SDL_CreateWindow(title.c_str(), p.root.left, p.root.top, width, height, flags);
            if (w.sdl) SDL_RaiseWindow(w.sdl);
        } else if (host().x11Ready) {
            w.piece = x11::make_window(p.screen, p.root);
            if (w.piece) w.sdl = SDL_CreateWindowFrom(reinterpret_cast<const void*>(w.piece));
            if (!w.sdl && w.piece) x11::destroy_window(w.piece);
        }
        if (w.sdl) out.push_back(w);
    }
    return out;
}

void window_created(HWND handle) {
    headless::WindowInfo info;
    if (!find_info(handle, &info)) return;
    // Dialogs are shown by run_dialog.
    if (info.className == "#32770" || (info.style & WS_CAPTION_BITS) == WS_CAPTION_BITS) return;
    std::vector<HostWindow> shown;
    HostWindow w;
    w.handle = handle;
    headless::WindowInfo parentInfo;
    if (host().daemon.mode != HackMode::Off && !info.parent) {
        // The full-screen saver window, shown where the daemon wants it.
        w.sdl = daemon_window(info);
    } else if (info.parent && !find_info(info.parent, &parentInfo)) {
        // A child of another program's window: draw into that window itself.
        w.foreignParent = reinterpret_cast<std::uintptr_t>(info.parent);
        if (host().x11Ready) x11::watch(w.foreignParent);
        w.sdl = SDL_CreateWindowFrom(reinterpret_cast<const void*>(w.foreignParent));
    } else if (!info.parent || !(info.style & WS_CHILD)) {
        // Our own top-level windows, owned ones too (the other monitors' windows).
        shown = show_top_level(info);
    }
    if (w.sdl) shown.push_back(w);
    if (shown.empty()) {
        if (w.foreignParent && host().x11Ready) x11::unwatch(w.foreignParent);
        if (w.foreignParent || !info.parent || !(info.style & WS_CHILD))
            std::fprintf(stderr, "snowglobe: cannot show a window: %s\n", SDL_GetError());
        return;
    }
    host().windows.insert(host().windows.end(), shown.begin(), shown.end());
    if (host().closePending) {
        host().closePending = false;
        post_close(0);
    }
}

void window_destroyed(HWND handle) {
    auto& windows = host().windows;
    std::vector<HostWindow> gone;
    for (auto it = windows.begin(); it != windows.end();) {
        if (it->handle == handle) {
            gone.push_back(*it);
            it = windows.erase(it);
        } else {
            ++it;
        }
    }
    for (const HostWindow& w : gone) {
        // A pane stays watched: errors about it may still be on their way.
        if (w.sdl && w.sdl != host().daemon.ownWindow) destroy_sdl_window(w.sdl);
        if (w.piece) x11::destroy_window(w.piece);
    }
}

void present(HWND handle, const soft::Framebuffer& pixels, const RECT* rects, int count) {
    for (HostWindow& w : host().windows)
        if (w.handle == handle) show_rects(w, pixels, rects, count);
}

WPARAM virtual_key(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return WPARAM('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return WPARAM(key);
    switch (key) {
        case SDLK_RETURN: return 0x0D;
        case SDLK_ESCAPE: return 0x1B;
        case SDLK_SPACE: return 0x20;
        case SDLK_TAB: return 0x09;
        case SDLK_BACKSPACE: return 0x08;
        case SDLK_LSHIFT: case SDLK_RSHIFT: return 0x10;
        case SDLK_LCTRL: case SDLK_RCTRL: return 0x11;
        case SDLK_LALT: case SDLK_RALT: return 0x12;
        case SDLK_LEFT: return 0x25;
        case SDLK_UP: return 0x26;
        case SDLK_RIGHT: return 0x27;
        case SDLK_DOWN: return 0x28;
        default: return 0;
    }
}

void handle_event(const SDL_Event& e) {
    switch (e.type) {
        case SDL_QUIT:
            host().daemon.quitRequested = true;
            post_close(0);
            break;
        case SDL_WINDOWEVENT: {
            HostWindow* w = by_sdl_id(e.window.windowID);
            if (!w) break;
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                if (host().daemon.mode != HackMode::Off) host().daemon.quitRequested = true;
                pf::PostMessageA(w->handle, WM_CLOSE, 0, 0);
            } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
                // SDL's window surface, when there is one, still holds the
                // last picture; otherwise the framebuffer is drawn again.
                if (host().x11Ready && x11_can_put(w->sdl)) {
                    show_all(*w);
                } else {
                    SDL_UpdateWindowSurface(w->sdl);
                }
                headless::invalidate(w->handle);
            } else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                show_all(*w);  // a new surface, blank until filled
                if (host().daemon.mode == HackMode::OwnWindow && w->sdl == host().daemon.ownWindow)
                    daemon_note_size(e.window.data1, e.window.data2);
            }
            break;
        }
        case SDL_KEYDOWN: {
            // Run by a daemon, the daemon ends the run; input never does.
            if (host().daemon.mode != HackMode::Off) break;
            HWND target = target_for(e.key.windowID);
            if (!target) break;
            UINT message = (e.key.keysym.mod & KMOD_ALT) ? WM_SYSKEYDOWN : WM_KEYDOWN;
            headless::inject_key(target, message, virtual_key(e.key.keysym.sym));
            break;
        }
        case SDL_MOUSEBUTTONDOWN: {
            if (host().daemon.mode != HackMode::Off) break;
            HWND target = target_for(e.button.windowID);
            UINT message = e.button.button == SDL_BUTTON_LEFT    ? WM_LBUTTONDOWN
                           : e.button.button == SDL_BUTTON_RIGHT ? WM_RBUTTONDOWN
                           : e.button.button == SDL_BUTTON_MIDDLE ? WM_MBUTTONDOWN
                                                                  : 0;
            if (target && message) headless::inject_button(target, message);
            break;
        }
        case SDL_MOUSEMOTION: {
            if (host().daemon.mode != HackMode::Off) break;
            HWND target = target_for(e.motion.windowID);
            if (!target) break;
            POINT at{0, 0};
            cursor_pos(&at);
            headless::inject_mouse_move(target, at.x, at.y);
            break;
        }
        default:
            break;
    }
}

// Input and exposure on the pieces of our windows that SDL does not watch
// (those on other X screens). True when there was input.
bool pieces_input() {
    if (!host().x11Ready) return false;
    bool input = false;
    std::vector<HostWindow> pieces;
    for (const HostWindow& w : host().windows)
        if (w.piece) pieces.push_back(w);
    for (HostWindow& w : pieces) {
        const x11::WindowInput in = x11::window_input(w.piece);
        if (in.exposed) {
            show_all(w);
            headless::invalidate(w.handle);
        }
        if (host().daemon.mode != HackMode::Off) continue;
        for (int i = 0; i < in.keys; ++i) headless::inject_key(w.handle, WM_KEYDOWN, 0);
        for (int i = 0; i < in.buttons; ++i) headless::inject_button(w.handle, WM_LBUTTONDOWN);
        if (in.moved) {
            POINT at{0, 0};
            cursor_pos(&at);
            headless::inject_mouse_move(w.handle, at.x, at.y);
        }
        input = input || in.keys || in.buttons || in.moved;
    }
    return input;
}

// A preview pane that went away takes our child window with it.
void check_foreign_parents() {
    if (!host().x11Ready) return;
    std::vector<HWND> orphans;
    for (const auto& w : host().windows)
        if (w.foreignParent && !x11::window_alive(w.foreignParent)) orphans.push_back(w.handle);
    for (HWND h : orphans) pf::DestroyWindow(h);
}

// Blocks in SDL (a poll() on the display connection) until an event comes
// or the next timer is due: no wake-ups in between. Only while something
// outside must be looked at (a preview pane that may vanish, a daemon's
// window that may resize or go) is the wait cut into slices.
void wait_events(int timeoutMs) {
    constexpr int SLICE_MS = 100;
    const auto& windows = host().windows;
    const bool watching = host().daemon.mode == HackMode::Target ||
                          std::any_of(windows.begin(), windows.end(),
                                      [](const HostWindow& w) { return w.foreignParent != 0 || w.piece != 0; });
    Uint64 end = SDL_GetTicks64() + Uint64(std::max(timeoutMs, 0));
    for (;;) {
        check_foreign_parents();
        daemon_check_target();
        if (pieces_input()) return;
        SDL_Event e;
        Uint64 now = SDL_GetTicks64();
        int wait = timeoutMs < 0 ? (watching ? SLICE_MS : -1) : int(end > now ? end - now : 0);
        if (watching && wait > SLICE_MS) wait = SLICE_MS;
        int got = wait == 0 ? SDL_PollEvent(&e) : wait < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, wait);
        if (got) {
            do handle_event(e);
            while (SDL_PollEvent(&e));
            return;
        }
        if (timeoutMs >= 0 && SDL_GetTicks64() >= end) return;
    }
}

std::uint64_t now_ms() { return SDL_GetTicks64(); }

void show_cursor(bool visible) {
    // A window to try a scene out in keeps its cursor, as other windows do.
    if (host().daemon.mode == HackMode::OwnWindow) return;
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}


bool foreign_window(std::uintptr_t handle, RECT* rect) {
    return host().x11Ready && x11::window_rect(handle, rect);
}

std::uintptr_t find_foreign_window(const char* title) {
    return host().x11Ready && title ? x11::find_by_title(sjis_to_utf8(title)) : 0;
}

const headless::HostDriver DISPLAY_DRIVER{
    .name = "sdl",
    .screen_size = screen_size,
    .window_created = window_created,
    .window_destroyed = window_destroyed,
    .present = present,
    .wait_events = wait_events,
    .now_ms = now_ms,
    .show_cursor = show_cursor,
    .cursor_pos = cursor_pos,
    .sound = sound,
    .message_box = message_box,
    .run_dialog = run_dialog,
    .foreign_window = foreign_window,
    .find_foreign_window = find_foreign_window,
    .message_box_in_code_page = message_box_in_code_page,
};

// The monitors: X11's, else SDL's displays (one screen holding them all).
void find_desktop() {
    Host& h = host();
    if (h.x11Ready) {
        h.desktop = lay_out(x11::monitors(), x11::default_screen(), x11::screen_sizes());
        return;
    }
    std::vector<ScreenMonitor> displays;
    POINT size{0, 0};
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect b;
        if (SDL_GetDisplayBounds(i, &b) != 0) continue;
        displays.push_back(ScreenMonitor{0, RECT{b.x, b.y, b.x + b.w, b.y + b.h}, i == 0});
        size = POINT{std::max<LONG>(size.x, b.x + b.w), std::max<LONG>(size.y, b.y + b.h)};
    }
    h.desktop = displays.empty() ? Desktop{} : lay_out(displays, 0, {size});
}

}  // namespace

std::vector<RECT> desktop_monitors() { return host().desktop.rects; }

bool open_display(std::string* why) {
    Host& h = host();
    if (h.videoReady) return true;
    x11::install_quit_filter();
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // The engine draws in software and presents a few small rectangles per
    // tick: the native window framebuffer (MIT-SHM on X11) copies just those,
    // where an OpenGL-backed surface would upload and swap the whole window.
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    // A saver that loses the focus stays on the screen until it is closed.
    SDL_SetHintWithPriority(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0", SDL_HINT_DEFAULT);
    // Preview panes are X11 windows, so X11 comes first; Wayland only where
    // there is no X server. Not whatever else SDL would settle for: its
    // offscreen driver "succeeds" without any screen at all.
    std::string error;
    if (const char* chosen = SDL_getenv("SDL_VIDEODRIVER"); chosen && *chosen) {
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) error = SDL_GetError();
    } else {
        error = "DISPLAY is not set";
        for (const char* driver : {"x11", "wayland"}) {
            const char* env = std::strcmp(driver, "x11") == 0 ? "DISPLAY" : "WAYLAND_DISPLAY";
            const char* value = SDL_getenv(env);
            if (!value || !*value) continue;
            SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
            if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0) {
                error.clear();
                break;
            }
            error = std::string(driver) + ": " + SDL_GetError();
        }
    }
    if (!error.empty()) {
        if (why) *why = error;
        SDL_Quit();
        return false;
    }
    h.videoReady = true;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "x11") == 0 && x11::open()) {
        x11::install_error_filter();
        h.x11Ready = true;
    }
    find_desktop();
    return true;
}

void close_display() {
    Host& h = host();
    sound_shutdown();
    for (auto& w : h.windows) {
        if (w.sdl && w.sdl != h.daemon.ownWindow) destroy_sdl_window(w.sdl);
        if (w.piece) x11::destroy_window(w.piece);
    }
    h.windows.clear();
    if (h.daemon.ownWindow) destroy_sdl_window(h.daemon.ownWindow);
    h.daemon.ownWindow = nullptr;
    // SDL first: closing its connections reads what the server still had to
    // say, errors about windows already gone among it, which our error
    // filter is to see.
    if (h.videoReady) SDL_Quit();
    h.videoReady = false;
    if (h.x11Ready) x11::close();
    h.x11Ready = false;
    h.desktop = Desktop{};
}

const headless::HostDriver* display_driver() { return &DISPLAY_DRIVER; }

}  // namespace pf::sdl
