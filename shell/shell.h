// The saver shell: start-up, command line, saver window, about box.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace sg {

enum RunMode : std::int32_t { Unset = 0, Saver = 1, Configure = 2, ChangePassword = 3, Preview = 4 };

constexpr pf::UINT TICK_TIMER_ID = 120;
constexpr pf::UINT TICK_PERIOD_MS = 33;
constexpr int MOUSE_MOVE_THRESHOLD = 4;
constexpr int ABOUT_DIALOG_ID = 104;
constexpr int ABOUT_FIRST_FIELD = 1000;

extern pf::HINSTANCE programInstance;
extern RunMode runMode;
extern pf::HWND hostWindow;
extern std::int32_t screenWidth;
extern std::int32_t screenHeight;
extern std::int32_t previewWidth;
extern std::int32_t previewHeight;
extern char windowClassName[300];
extern pf::HANDLE instanceGuard;
extern pf::HWND saverWindow;
extern int firstMouseMove;
extern pf::POINT lastCursorPos;

// The program: argument text after the program's name. Returns the exit status.
int WinMain(pf::HINSTANCE instance, const char* arguments);
int parse_command_line(const char* text, RunMode* mode, pf::HWND* handle);
pf::HWND create_saver_window(int x, int y, int width, int height);
int run_message_loop();
pf::LRESULT saver_window_proc(pf::HWND window, pf::UINT message, pf::WPARAM wParam,
                              pf::LPARAM lParam);
pf::INT_PTR about_box_proc(pf::HWND dialog, pf::UINT message, pf::WPARAM wParam,
                           pf::LPARAM lParam);
pf::INT_PTR about_box_proc_desktop(pf::HWND dialog, pf::UINT message, pf::WPARAM wParam,
                                   pf::LPARAM lParam);
// The about box for Configure: owned by and centred on hostWindow, or without
// owner and centred on the desktop when hostWindow is 0 (then the shown lines
// in a message box if the dialog cannot be created).
void about_box_show();

// Every engine global back to its start-of-process value, so that tests and
// the renderer can run the program more than once in one process.
void engine_reset();

}  // namespace sg
