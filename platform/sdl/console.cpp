// The host driver without a display: message boxes and the about box are
// printed (the about lines to standard output, anything else to standard
// error), no window is shown, and time is the steady clock's.
#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/sdl/host_state.h"

namespace pf::sdl {

namespace {

const auto consoleStart = std::chrono::steady_clock::now();

void console_screen_size(int* width, int* height) {
    *width = 640;
    *height = 480;
}
void console_window(HWND) {}
void console_present(HWND, const soft::Framebuffer&, const RECT*, int) {}
void console_wait(int timeoutMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp(timeoutMs, 0, 100)));
}
std::uint64_t console_now() {
    return std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - consoleStart)
                             .count());
}
void console_cursor(bool) {}
bool console_cursor_pos(POINT*) { return false; }
void console_sound(const void*, UINT) {}
void console_message_box(HWND, const char* text, const char* caption) { detail::print_message(text, caption); }
void console_message_box_in_code_page(HWND, const char* text, UINT textCodePage, const char* caption) {
    detail::print_message_in_code_page(text, textCodePage, caption);
}
void console_dialog(HWND dialog) {
    detail::print_about(dialog);
    detail::end_about(dialog);
}

const headless::HostDriver CONSOLE_DRIVER{
    .name = "console",
    .screen_size = console_screen_size,
    .window_created = console_window,
    .window_destroyed = console_window,
    .present = console_present,
    .wait_events = console_wait,
    .now_ms = console_now,
    .show_cursor = console_cursor,
    .cursor_pos = console_cursor_pos,
    .sound = console_sound,
    .message_box = console_message_box,
    .run_dialog = console_dialog,
    .foreign_window = nullptr,
    .find_foreign_window = nullptr,
    .message_box_in_code_page = console_message_box_in_code_page,
};

}  // namespace

const headless::HostDriver* console_driver() { return &CONSOLE_DRIVER; }

}  // namespace pf::sdl
