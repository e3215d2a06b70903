// The saver shell: start-up, command line, saver window, about box, and the
// one value that holds everything a running saver knows.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "frame/frame.h"
#include "platform/platform.h"
#include "scene/package.h"
#include "world/world.h"

namespace sg {

enum class RunMode : std::int32_t { Unset = 0, Saver = 1, Configure = 2, ChangePassword = 3, Preview = 4 };

constexpr pf::UINT TICK_TIMER_ID = 120;
constexpr pf::UINT TICK_PERIOD_MS = 33;
constexpr int MOUSE_MOVE_THRESHOLD = 4;
constexpr int ABOUT_DIALOG_ID = 104;
constexpr int ABOUT_FIRST_FIELD = 1000;
// The most monitors that each get a saver of their own; any beyond are left
// as they are.
constexpr int MAX_MONITOR_SAVERS = 16;

// A running saver: the package it plays, its world and frame, and the
// shell's own state. Some hundreds of kilobytes, with the frame sets and the
// rectangle lists: allocate it.
struct SaverState {
    Package package;
    World world;
    Frame frame;

    pf::HINSTANCE programInstance = nullptr;
    // The user's choice of monitor mode (the Linux program's --monitors),
    // set before run_program; it overrides the package's monitors record.
    std::optional<format::MonitorMode> monitorsOverride{};
    RunMode runMode = RunMode::Unset;
    pf::HWND hostWindow = nullptr;
    std::int32_t previewWidth = 0;
    std::int32_t previewHeight = 0;
    char windowClassName[format::TEXT_FIELD_BYTES]{};
    pf::HANDLE instanceGuard = nullptr;
    pf::HWND saverWindow = nullptr;
    // Full screen on a high-DPI screen: the screen is displayScale times the
    // world's logical screen (rounded down), and the window shows it enlarged.
    std::int32_t displayScale = 1;
    std::int32_t windowWidth = 0;
    std::int32_t windowHeight = 0;
    // Where the full-screen window's top left is on the desktop: 0, 0 on the
    // primary monitor, negative left of or above it.
    std::int32_t windowX = 0;
    std::int32_t windowY = 0;
    int firstMouseMove = 1;
    pf::POINT lastCursorPos{0, 0};

    // Every monitor its own saver (MonitorMode::Each). The primary monitor's
    // saver is the one run_program was given: it owns the others, its timer
    // ticks them all in monitor order (itself among them), and its window
    // owns theirs. Each other saver points back at it; it alone hides the
    // cursor, plays the sound, holds the guard and watches the mouse.
    SaverState* primarySaver = nullptr;
    std::int32_t monitorSaverCount = 0;  // 0: this saver alone
    SaverState* monitorSavers[MAX_MONITOR_SAVERS]{};
    std::unique_ptr<SaverState> otherSavers[MAX_MONITOR_SAVERS]{};
};

// The program: argument text after the program's name. Returns the exit
// status. WinMain allocates its own saver; run_program plays into the one
// given (fresh, as value-initialised), so a caller can look at it.
int WinMain(pf::HINSTANCE instance, const char* arguments);
int run_program(SaverState& saver, pf::HINSTANCE instance, const char* arguments);

int parse_command_line(const char* text, RunMode* mode, pf::HWND* handle);
// The whole-number factor of the primary screen's DPI over 96 (at least 1).
int display_scale(int screenWidth, int screenHeight);
// The same for a monitor of that size, from its own DPI.
int monitor_display_scale(pf::HMONITOR monitor, int width, int height);
pf::HWND create_saver_window(SaverState& saver, int x, int y, int width, int height);
int run_message_loop();
pf::LRESULT saver_window_proc(pf::HWND window, pf::UINT message, pf::WPARAM wParam,
                              pf::LPARAM lParam);
// The dialog procedures take their saver from WM_INITDIALOG's lParam.
pf::INT_PTR about_box_proc(pf::HWND dialog, pf::UINT message, pf::WPARAM wParam,
                           pf::LPARAM lParam);
pf::INT_PTR about_box_proc_desktop(pf::HWND dialog, pf::UINT message, pf::WPARAM wParam,
                                   pf::LPARAM lParam);
// The about box for Configure: owned by and centred on hostWindow, or without
// owner and centred on the desktop when hostWindow is 0 (then the shown lines
// in a message box if the dialog cannot be created).
void about_box_show(const SaverState& saver);

// Full screen: a black window on every monitor but the primary one.
void cover_other_monitors(SaverState& saver);

// The monitor mode full screen plays in: the user's override, else the
// package's.
format::MonitorMode monitor_mode(const SaverState& saver);
// Full screen in MonitorMode::Each or Span on a desktop where some monitor
// lies outside the primary's area: makes the windows and runs the message
// loop, and gives true with the program's exit status in *status. False
// (nothing done) for Primary or a desktop of one monitor: the caller plays
// on the primary monitor, the others covered.
bool play_on_monitors(SaverState& saver, int* status);
// The saver whose window the input of this saver's window ends, and whose
// timer ticks it: the primary's, or this one.
SaverState& lead_saver(SaverState& saver);
// A mouse move seen by the saver's window (or a cover): ends the saver when
// the cursor stepped more than MOUSE_MOVE_THRESHOLD pixels since the last.
void saver_mouse_moved(SaverState& saver, pf::HWND saverWindow);

// The saver of one of its windows (the saver window, a monitor cover), kept
// in the window's GWLP_USERDATA from its WM_CREATE on; null before that.
SaverState* saver_of_window(pf::HWND window, pf::UINT message, pf::LPARAM lParam);

// One timer tick of a created saver: the world moves, the frame is composed
// and presented.
void saver_tick(SaverState& saver);
// One timer tick of the lead saver: every monitor's saver in monitor order,
// or the saver alone.
void saver_tick_all(SaverState& saver);

}  // namespace sg
