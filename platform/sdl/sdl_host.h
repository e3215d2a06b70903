// The Linux program's host: what a window, input, presentation and sound
// really are under SDL2, and other programs' windows through Xlib.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/sdl/desktop.h"

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

// The display's monitors in the engine's desktop coordinates, the primary
// first at (0, 0): what EnumDisplayMonitors is to report while the engine
// runs full screen on the opened display.
std::vector<RECT> desktop_monitors();

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
// origin: where the window's (0, 0) is in the framebuffer (a window shown
// in pieces on several X screens).
bool x11_put_rects(SDL_Window* window, const soft::Framebuffer& fb, const RECT* rects, int count,
                   POINT origin = POINT{0, 0});
void x11_forget_window(SDL_Window* window);

// Other programs' X11 windows (x11_windows.cpp), on a connection of our own.
namespace x11 {
bool open();
void close();
// Sits in front of the X error handler SDL installed: errors on our own
// connection are recorded instead of ending the process, and so are errors
// about a watched window (a preview pane that went away under us).
void install_error_filter();
// Called before SDL starts, once: stays installed under SDL's own handlers.
void install_quit_filter();
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
// The pointer's position on the X screen it is on, and that screen.
bool cursor_pos(POINT* point, int* screen);
// A top-level window (or the client window a window manager framed) whose
// _NET_WM_NAME or WM_NAME is exactly this UTF-8 text; 0 when none.
std::uintptr_t find_by_title(const std::string& utf8);
// Every monitor of every X screen: RandR's monitors (1.5) with the primary
// marked, else Xinerama's heads, else nothing (lay_out counts each screen
// whole then). And the sizes of the screens, and the one SDL draws on.
std::vector<ScreenMonitor> monitors();
std::vector<POINT> screen_sizes();
int default_screen();
// A window of ours on any X screen, at a rectangle of its root window: black,
// topmost, cursor-less, taking keys, buttons, motion and exposure (what
// SDL's windows cannot do off their home screen); 0 when it cannot be made.
// window_input tells what reached it since it was last asked.
std::uintptr_t make_window(int screen, const RECT& root);
void destroy_window(std::uintptr_t window);
struct WindowInput {
    int keys = 0;
    int buttons = 0;
    bool moved = false;
    bool exposed = false;
};
WindowInput window_input(std::uintptr_t window);
}  // namespace x11

}  // namespace pf::sdl
