// With several displays, "/s" shows the saver window on one of them and
// covers each other one with a plain black, borderless, topmost window of its
// own. The engine never draws them, and input on them reaches the saver
// window, so a key, a click or a mouse step ends the saver there too; they go
// when the saver window goes.
//
// On X11 they are made with Xlib (x11_windows.cpp), one per monitor that the
// saver window does not touch, on every X screen: SDL can place a window only
// on the screen its first display belongs to. The server paints their black
// itself. Elsewhere they are SDL windows, one per other SDL display, their
// black in SDL's window surface; their input comes with SDL's events, which
// sdl_host.cpp sends to the top-level window when the window is not one of
// the engine's.
#include <SDL.h>

#include "platform/sdl/host_state.h"

namespace pf::sdl::detail {

namespace {

void fill_black(SDL_Window* window) {
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface) return;
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    SDL_UpdateWindowSurface(window);
}

SDL_Window* cover_by_id(Uint32 id) {
    for (SDL_Window* w : host().covers)
        if (SDL_GetWindowID(w) == id) return w;
    return nullptr;
}

}  // namespace

void cover_other_displays(SDL_Window* saver) {
    if (host().x11Ready) {
        int x = 0, y = 0, width = 0, height = 0;
        SDL_GetWindowPosition(saver, &x, &y);
        SDL_GetWindowSize(saver, &width, &height);
        x11::cover_monitors(RECT{x, y, x + width, y + height});
        SDL_RaiseWindow(saver);
        return;
    }
    const int shown = SDL_GetWindowDisplayIndex(saver);
    const int count = SDL_GetNumVideoDisplays();
    const char* title = SDL_GetWindowTitle(saver);
    for (int i = 0; i < count; ++i) {
        SDL_Rect bounds;
        if (i == shown || SDL_GetDisplayBounds(i, &bounds) != 0) continue;
        SDL_Window* w = SDL_CreateWindow(title ? title : "", bounds.x, bounds.y, bounds.w, bounds.h,
                                         SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP |
                                             SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_FULLSCREEN_DESKTOP);
        if (!w) continue;  // a display left uncovered is no reason to stop the saver
        fill_black(w);
        host().covers.push_back(w);
    }
    SDL_RaiseWindow(saver);
}

void remove_covers() {
    if (host().x11Ready) x11::uncover();
    for (SDL_Window* w : host().covers) SDL_DestroyWindow(w);
    host().covers.clear();
}

bool covered() { return !host().covers.empty() || (host().x11Ready && x11::covering()); }

bool is_cover(Uint32 sdlWindowId) { return cover_by_id(sdlWindowId) != nullptr; }

void cover_exposed(Uint32 sdlWindowId) {
    if (SDL_Window* w = cover_by_id(sdlWindowId)) SDL_UpdateWindowSurface(w);
}

}  // namespace pf::sdl::detail
