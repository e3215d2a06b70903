// The SDL host's state, one value, and what its files share (not part of the
// backend's interface: sdl_host.h is).
//
//   sdl_host.cpp  the display driver: windows, presenting, events, waiting
//   daemon.cpp    run by a screen-saver daemon (-root, -window-id, -window)
//   desktop.cpp   the monitors of the X screens as one desktop
//   boxes.cpp     message boxes and the about box, shown or printed
//   console.cpp   the driver without a display
//
// The pieces below the driver keep their own state, each in one value of
// its own file: presenting (x11_present.cpp), our X connection and the
// windows made on it (x11_windows.cpp), the sound (sound.cpp).
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "platform/sdl/sdl_host.h"

namespace pf::sdl::detail {

// A window of the engine as shown: one piece of it on each X screen it
// reaches (most windows have one), each piece a HostWindow of its own.
struct HostWindow {
    HWND handle = nullptr;
    SDL_Window* sdl = nullptr;
    std::uintptr_t foreignParent = 0;  // the X window we draw into (preview)
    std::uintptr_t piece = 0;          // our own X window off SDL's screen (x11::make_window)
    POINT origin{0, 0};                // where the piece's (0, 0) is in the engine's window
};

// How a daemon runs the program (set_hack_mode).
struct Daemon {
    HackMode mode = HackMode::Off;
    std::uintptr_t target = 0;          // Target: the X window we draw into
    SDL_Window* ownWindow = nullptr;    // OwnWindow: kept from one rebuild to the next
    int shownWidth = 0, shownHeight = 0;  // the size the running engine was given
    int seenWidth = 0, seenHeight = 0;    // the target's size when last looked at
    Uint64 sizeChangedAt = 0;           // 0: the target has the size shown
    bool rebuildRequested = false;
    bool quitRequested = false;
};

struct Host {
    std::vector<HostWindow> windows;
    Desktop desktop;  // the monitors, as open_display found them
    bool videoReady = false;
    bool x11Ready = false;
    bool closePending = false;  // a quit request that came before any window
    UINT titleCodePage = 932;   // of the window titles (set_title_code_page)
    Daemon daemon;
};

Host& host();

// sdl_host.cpp
HostWindow* by_handle(HWND handle);
bool find_info(HWND handle, headless::WindowInfo* out);
void destroy_sdl_window(SDL_Window* window);
// WM_CLOSE to the window the event names, else to our top-level window; kept
// for the first window when there is none yet.
void post_close(Uint32 sdlWindowId);

// daemon.cpp. The screen size when a daemon decides it (false otherwise);
// the window to show the full-screen saver window in; a new size of our own
// window; the target's changes, looked at while waiting.
bool daemon_screen_size(int* width, int* height);
SDL_Window* daemon_window(const headless::WindowInfo& info);
void daemon_note_size(int width, int height);
void daemon_check_target();

// boxes.cpp
void message_box(HWND owner, const char* text, const char* caption);
void message_box_in_code_page(HWND owner, const char* text, UINT textCodePage, const char* caption);
void print_message_in_code_page(const char* text, UINT textCodePage, const char* caption);
void run_dialog(HWND dialog);
void print_message(const char* text, const char* caption);
void print_about(HWND dialog);
// As a click on OK would; the modal loop ends even when the procedure does not end it.
void end_about(HWND dialog);

}  // namespace pf::sdl::detail
