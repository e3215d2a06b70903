// The Linux program's host: what a window, input, presentation and sound
// really are under SDL2, and other programs' windows through Xlib.
#pragma once

#include <cstdint>
#include <string>

#include "platform/headless/headless.h"

struct SDL_Window;

namespace pf::sdl {

// Connects to the display (SDL video, and an Xlib connection for other
// programs' windows). False, with the reason in *why, when there is none.
bool open_display(std::string* why);
void close_display();

// The host driver on the opened display.
const headless::HostDriver* display_driver();
// For running without a display: message boxes and the about box are printed
// (the about lines to standard output, anything else to standard error), and
// no window can be shown.
const headless::HostDriver* console_driver();

// Shift-JIS (code page 932) bytes as UTF-8 for showing; a byte that cannot be
// decoded becomes U+FFFD.
std::string sjis_to_utf8(const char* text);
// The same for a text in another Windows code page (a package's about lines).
std::string code_page_to_utf8(const char* text, UINT codePage);
// The code page the program's window titles are written in (the scene's
// title names the saver's window); 932 until the program says otherwise.
void set_title_code_page(UINT codePage);

// How a screen-saver daemon runs the program. The engine runs as the
// full-screen saver ("/s"); the host shows its top-level window in the target
// X window (Target: -root, -window-id N) or in an ordinary resizable window
// of its own (OwnWindow: -window), reports that window's size as the screen
// size, ignores input, and asks for a rebuild when the size changes.
enum class HackMode { Off, Target, OwnWindow };
// False when the target window does not exist.
bool set_hack_mode(HackMode mode, std::uintptr_t target);
// True once when the target's size changed and the engine's window has been
// asked to close so that the caller runs the engine again at the new size.
// False when a quit (SIGTERM, SIGINT, a closed window) came too.
bool take_rebuild_request();

// The looping sound (sound.cpp).
void sound(const void* wav, UINT flags);
void sound_shutdown();

// Presenting on X11 from the framebuffer without SDL's window surface
// (x11_present.cpp). x11_can_put: whether a window is drawn that way (an X11
// window of a 24- or 32-bit true-colour visual); x11_put_rects draws the
// rectangles (all of the framebuffer when rects is null) and is false when
// the window cannot be drawn that way. Forget a window before destroying it.
bool x11_can_put(SDL_Window* window);
bool x11_put_rects(SDL_Window* window, const soft::Framebuffer& fb, const RECT* rects, int count);
void x11_forget_window(SDL_Window* window);

// Other programs' X11 windows (x11_windows.cpp), on a connection of our own.
namespace x11 {
bool open();
void close();
// Sits in front of the X error handler SDL installed: errors on our own
// connection are recorded instead of ending the process, and so are errors
// about a watched window (a preview pane that went away under us).
void install_error_filter();
void watch(std::uintptr_t window);
void unwatch(std::uintptr_t window);
// Inner rectangle in root coordinates; false when there is no such window.
bool window_rect(std::uintptr_t window, RECT* rect);
bool window_alive(std::uintptr_t window);
std::uintptr_t root_window();
// The Xft.dpi resource of the display, rounded; 0 when it is not set.
int xft_dpi();
// Follows a window's ConfigureNotify and DestroyNotify; false when there is
// no such window. changes() gives what came since it was last asked, with
// the latest size.
enum class Change { Nothing, Configured, Gone };
bool follow(std::uintptr_t window);
Change changes(std::uintptr_t window, int* width, int* height);
// The pointer's position on the screen.
bool cursor_pos(POINT* point);
// A top-level window (or the client window a window manager framed) whose
// _NET_WM_NAME or WM_NAME is exactly this UTF-8 text; 0 when none.
std::uintptr_t find_by_title(const std::string& utf8);
// Black, topmost, cursor-less windows over every monitor of every screen
// that the saver's rectangle (on the default screen) does not touch; how
// many were made. uncover() takes them away; cover_input() tells what input
// reached them since it was last asked.
int cover_monitors(const RECT& saver);
void uncover();
bool covering();
struct CoverInput {
    int keys = 0;
    int buttons = 0;
    bool moved = false;
};
CoverInput cover_input();
}  // namespace x11

}  // namespace pf::sdl
