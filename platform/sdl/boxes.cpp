// Message boxes and the about box as SDL message boxes, Shift-JIS shown as
// UTF-8; printed when SDL cannot show one. The about box's five fields are
// lines of one message box, centred by SDL on its owner rather than laid out
// as the dialog template places them.
#include <SDL.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/sdl/host_state.h"

namespace pf::sdl::detail {

namespace {

// Shows a box owned by owner: our own SDL window, or another program's X
// window borrowed for the occasion.
bool show_box(HWND owner, const std::string& text, const std::string& caption) {
    SDL_Window* parent = nullptr;
    SDL_Window* borrowed = nullptr;
    if (HostWindow* w = by_handle(owner)) {
        parent = w->sdl;
    } else if (owner && host().x11Ready && x11::window_alive(reinterpret_cast<std::uintptr_t>(owner))) {
        headless::WindowInfo info;
        if (!find_info(owner, &info)) {
            x11::watch(reinterpret_cast<std::uintptr_t>(owner));
            borrowed = SDL_CreateWindowFrom(owner);
            parent = borrowed;
        }
    }
    bool shown = SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), text.c_str(),
                                          parent) == 0;
    if (borrowed) {
        destroy_sdl_window(borrowed);
        x11::unwatch(reinterpret_cast<std::uintptr_t>(owner));
    }
    return shown;
}

// The dialog's fields (its Edit controls, in template order) as the dialog
// procedure filled them, as UTF-8, without the empty ones at the end.
std::vector<std::string> about_fields(HWND dialog) {
    std::vector<std::string> lines;
    for (const headless::WindowInfo& field : headless::windows()) {
        if (!field.alive || field.parent != dialog || field.className != "Edit") continue;
        lines.push_back(code_page_to_utf8(headless::window_text(field.handle).c_str(),
                                          headless::window_text_code_page(field.handle)));
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

}  // namespace

void print_message(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", sjis_to_utf8(caption).c_str(), sjis_to_utf8(text).c_str());
}

// Printed, as without a display, when SDL cannot show a box (an X server
// without the fonts its message boxes need, for one).
void message_box(HWND owner, const char* text, const char* caption) {
    message_box_in_code_page(owner, text, 932, caption);
}

void print_message_in_code_page(const char* text, UINT textCodePage, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", sjis_to_utf8(caption).c_str(),
                 code_page_to_utf8(text, textCodePage).c_str());
}

void message_box_in_code_page(HWND owner, const char* text, UINT textCodePage, const char* caption) {
    if (!show_box(owner, code_page_to_utf8(text, textCodePage), sjis_to_utf8(caption)))
        print_message_in_code_page(text, textCodePage, caption);
}

void print_about(HWND dialog) {
    for (const std::string& line : about_fields(dialog)) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void end_about(HWND dialog) {
    headless::dialog_command(dialog, IDOK);
    pf::EndDialog(dialog, IDOK);
}

void run_dialog(HWND dialog) {
    std::string text;
    for (const std::string& line : about_fields(dialog)) {
        if (!text.empty()) text += '\n';
        text += line;
    }
    const std::string caption = headless::window_text(dialog);
    headless::WindowInfo info;
    HWND owner = find_info(dialog, &info) ? info.parent : nullptr;
    if (!show_box(owner, text, sjis_to_utf8(caption.c_str()))) print_about(dialog);
    end_about(dialog);
}

}  // namespace pf::sdl::detail
