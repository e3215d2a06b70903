// USER and KERNEL in memory, for the renderer, (under an SDL host driver) the
// Linux program and tests: windows, a message queue, timers on a clock that
// the host drives, the named guard, resources, global memory, message boxes
// and dialogs. A HostDriver decides what a window really is; without one,
// everything stays in memory and the caller drives the program through the
// idle hook. This is what ships; what only tests use (scripted dialogs,
// records of what the program did) is in platform/headless/scripting.h and
// the sg_headless_scripting library.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/soft/soft.h"

namespace pf::headless {

// ---- what a real display does for the in-memory windowing ----
// Filled with designated initializers (several members share a type, so
// each is named where it is set); members left out stay null.
struct HostDriver {
    const char* name = nullptr;
    // Size of the primary screen.
    void (*screen_size)(int* width, int* height) = nullptr;
    // A window of ours became visible (top-level or child of a foreign window).
    void (*window_created)(HWND window) = nullptr;
    void (*window_destroyed)(HWND window) = nullptr;
    // A window DC was released after drawing: show these rectangles of the
    // window's framebuffer (top-down window coordinates, already clipped).
    void (*present)(HWND window, const soft::Framebuffer& pixels, const RECT* rects, int count) = nullptr;
    // Wait for host events for at most timeoutMs (0: just poll), turning them
    // into messages with the inject_* calls below. GetMessageA polls before it
    // hands out WM_PAINT or a due WM_TIMER, so that input comes first.
    void (*wait_events)(int timeoutMs) = nullptr;
    // Milliseconds on the host's clock (drives the timers).
    std::uint64_t (*now_ms)() = nullptr;
    void (*show_cursor)(bool visible) = nullptr;
    bool (*cursor_pos)(POINT* point) = nullptr;
    // Start (wav != null) or stop (wav == null) the looping sound.
    void (*sound)(const void* wav, UINT flags) = nullptr;
    // Show a message box; texts are the program's bytes (Shift-JIS).
    void (*message_box)(HWND owner, const char* text, const char* caption) = nullptr;
    // Run a modal dialog whose WM_INITDIALOG has been handled; returns when
    // the host has ended it (for example by sending WM_COMMAND IDOK to it).
    void (*run_dialog)(HWND dialog) = nullptr;
    // Windows of other programs, looked up by handle (IsWindow, GetWindowRect,
    // a preview pane's parent) and by exact title (FindWindowA). May be null.
    bool (*foreign_window)(std::uintptr_t handle, RECT* screenRect) = nullptr;
    std::uintptr_t (*find_foreign_window)(const char* title) = nullptr;
    // message_box with the text in another Windows code page (the caption is
    // still Shift-JIS). May be null: message_box then shows the bytes as 932.
    void (*message_box_in_code_page)(HWND owner, const char* text, UINT textCodePage,
                                     const char* caption) = nullptr;
};

// nullptr: the in-memory host (virtual clock, input from the idle hook).
void set_host_driver(const HostDriver* driver);

// ---- setting up the host ----
// Forget every window, message, timer, guard, message box, dialog and
// resource; the clock goes back to 0 and the generator to its first value.
// Hooks, settings, the message-box capture and the host driver go back to
// their defaults too; global memory blocks still allocated are freed. The
// observer stays, and is told (Observer::reset).
void reset();
void set_screen_size(int width, int height);
// Dots per inch of the screen, as GetDpiForMonitor and GetDeviceCaps report
// them (96 by default; 192 is a screen scaled 200 %).
void set_screen_dpi(int dpi);
// Monitors beside the primary one (the screen, at 0, 0), in desktop
// coordinates, as EnumDisplayMonitors and GetMonitorInfoA report them.
void set_other_monitors(const std::vector<RECT>& monitors);
// A monitor of the desktop, as a host or a test declares it.
struct Monitor {
    RECT rect{};           // desktop coordinates: the primary's top left is 0, 0
    bool primary = false;
    int dpi = 0;           // GetDpiForMonitor's answer; 0: the screen's
};
// Every monitor, in the order EnumDisplayMonitors lists them. The primary
// (the first marked, else the first) is the screen: its size becomes the
// screen size and its dpi, when it names one, the screen's (its left and
// top are taken as 0, 0 whatever they say). The virtual screen
// (GetSystemMetrics SM_*VIRTUALSCREEN) is the bounding box of them all. An
// empty list is one monitor, the screen.
void set_monitors(const std::vector<Monitor>& monitors);
// The bytes FindResourceA/LoadResource/LockResource give for "KAVREN"/103;
// null means the resource is missing. Not copied: the caller keeps the bytes
// alive. Never set (or after reset()): the package appended to the running
// executable (format/exe_package.h), missing when there is none.
void set_package(const void* data, std::size_t size);
// Another program's window (the display settings dialog, a preview pane).
HWND create_foreign_window(const char* title, int x, int y, int width, int height,
                           HWND parent = nullptr);
// Called whenever the message loop would wait (the queue is empty), with the
// number of timer messages delivered so far. The caller injects input, or
// destroys windows; the host then fires the next due timer.
void set_idle_hook(std::function<void(int timerMessages)> hook);
// Safety net: when this many timer messages have been delivered and the
// program is still running, its windows are destroyed (default 1,000,000).
// Only the in-memory host has it; a real display runs until it is closed.
// The in-memory host also ends a loop that could never receive anything
// again (no timer, empty queue after the idle hook): it destroys the
// program's windows and, if that posts nothing, returns WM_QUIT with code 0.
void set_timer_limit(int messages);
// Process-wide guards meet only those of other processes with the same scope
// (empty by default): a program that draws into a window it is given keeps
// out a second copy in that window only, not copies in other windows.
void set_guard_scope(const std::string& scope);

// ---- the dialogs the program carries, handed over as data ----
// A control of a dialog template, placed in dialog units.
struct DialogControl {
    int id;
    const char* className;  // "Button" or "Edit"
    const char* text;
    int x, y, width, height;
    DWORD style;  // WS_CHILD is added
};
// A dialog as the program's resource describes it: the frame in dialog units
// (counted from the owner's client area), the caption in the program's
// Shift-JIS, the controls in tab order.
struct DialogTemplate {
    int id = 0;
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    const char* caption = "";
    std::vector<DialogControl> controls;
};
// The templates DialogBoxParamA finds by number, as a program on Windows
// finds its dialog resources. Kept across reset(). None until the program
// hands them over: DialogBoxParamA then fails (ERROR_RESOURCE_NAME_NOT_FOUND).
void set_dialog_templates(std::vector<DialogTemplate> templates);

// ---- input, as the system gives it (for host drivers and the idle hook) ----
// Queue input for the window, as the system would.
void inject_key(HWND window, UINT message = WM_KEYDOWN, WPARAM key = 0x41);
void inject_button(HWND window, UINT message = WM_LBUTTONDOWN);
// Moves the cursor to (x, y) and queues WM_MOUSEMOVE for the window.
void inject_mouse_move(HWND window, int x, int y);
// The window's client area needs painting again (WM_PAINT when the queue is
// empty), as after the host uncovered it.
void invalidate(HWND window);
// A click on a dialog's button: WM_COMMAND (BN_CLICKED, id) to the dialog
// procedure. For dialog hooks and host drivers.
void dialog_command(HWND dialog, int id);
// A window's text (a control's contents, a window's title); empty when the
// handle is not a window of ours.
std::string window_text(HWND window);
// The code page that text is written in (932 unless SetWindowTextInCodePage
// said otherwise).
UINT window_text_code_page(HWND window);

// ---- what the program shows ----
struct ShownMessageBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT textCodePage = 932;  // caption is always the program's Shift-JIS
};
// Every message box shown since reset() while no host driver was set, for
// the renderer to report (a host driver shows them, and they are not kept).
const std::vector<ShownMessageBox>& message_boxes();

struct WindowInfo {
    HWND handle;
    HWND parent;
    std::string className;
    std::string title;
    DWORD style;
    DWORD exStyle;
    UINT classStyle;
    RECT rect;  // screen coordinates
    bool alive;
    bool foreign;
};
std::vector<WindowInfo> windows();
// The window's own pixels (what has been presented to it).
const soft::Framebuffer* window_pixels(HWND window);
// GlobalAlloc blocks not freed yet.
int live_global_blocks();

// The dialog is laid out from its template at base units 6 x 12 pixels (the
// 9-point font at 96 dpi) with a 3-pixel frame and a 19-pixel caption: the
// about box is 317 x 217 pixels outside, 311 x 192 inside.
struct ShownDialog {
    HWND owner;
    int templateId;
    RECT rect;                // after the dialog procedure moved it
    std::string fields[5];    // texts of the first five Edit controls, in template order
    UINT fieldCodePages[5];   // the code page each is written in
    INT_PTR result;
};

// ---- watching the program ----
// Told of what the program does, as it does it; any member may be null.
// None by default: the shipped host keeps no record of what it dispatches,
// plays or shows. The test library (scripting.h) installs one that records.
struct Observer {
    void (*reset)();                                  // reset() was called
    void (*dispatched)(HWND window, UINT message);    // a window procedure is called
    void (*input_context)(HWND window, HIMC context); // ImmAssociateContext
    void (*sound)(const void* wav, UINT flags);       // sndPlaySoundA (wav null: stop)
    void (*dialog_ended)(const ShownDialog& dialog);  // DialogBoxParamA returns
};
// Stays installed across reset(); nullptr removes it.
void set_observer(const Observer* observer);

}  // namespace pf::headless
