// Modal dialogs from the one template the program carries (the about box,
// shell/resources/about_layout.h), laid out in pixels from its dialog units.
#include <string>

#include "platform/headless/state.h"
#include "shell/resources/about_layout.h"

namespace pf::headless {

using namespace detail;

namespace {

constexpr int ABOUT_TEMPLATE_ID = SG_ABOUT_TEMPLATE;

// Dialog base units of the template's 9-point font at 96 dpi: an average
// character 6 pixels wide and 12 pixels high. A dialog unit is a quarter of
// the width and an eighth of the height, so the 207 x 128 units of the
// about box give a client area of 311 x 192 pixels.
constexpr int BASE_UNIT_X = 6;
constexpr int BASE_UNIT_Y = 12;

// MulDiv rounding, for the non-negative values of the template.
int dlu_x(int units) { return (units * BASE_UNIT_X + 2) / 4; }
int dlu_y(int units) { return (units * BASE_UNIT_Y + 4) / 8; }

constexpr DWORD DIALOG_STYLE = SG_ABOUT_STYLE;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001;
constexpr DWORD ES_CENTER = 0x0001;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr DWORD ES_READONLY = 0x0800;
constexpr DWORD ERROR_CONTROL_ID_NOT_FOUND = 1421;

struct Control {
    int id;
    const char* className;
    const char* text;
    int x, y, width, height;
    DWORD style;
};

constexpr DWORD EDIT_STYLE = ES_READONLY | ES_CENTER | ES_AUTOHSCROLL | WS_VISIBLE | WS_TABSTOP;

const Control ABOUT_CONTROLS[] = {
    {1, "Button", "OK", SG_ABOUT_OK_X, SG_ABOUT_OK_Y, SG_ABOUT_OK_WIDTH, SG_ABOUT_OK_HEIGHT,
     BS_DEFPUSHBUTTON | WS_VISIBLE | WS_TABSTOP},
    {SG_ABOUT_FIRST_FIELD, "Edit", "", SG_ABOUT_FIELD_X, SG_ABOUT_FIELD_0_Y, SG_ABOUT_FIELD_WIDTH, SG_ABOUT_FIELD_HEIGHT, EDIT_STYLE},
    {SG_ABOUT_FIRST_FIELD + 1, "Edit", "", SG_ABOUT_FIELD_X, SG_ABOUT_FIELD_1_Y, SG_ABOUT_FIELD_WIDTH, SG_ABOUT_FIELD_HEIGHT, EDIT_STYLE},
    {SG_ABOUT_FIRST_FIELD + 2, "Edit", "", SG_ABOUT_FIELD_X, SG_ABOUT_FIELD_2_Y, SG_ABOUT_FIELD_WIDTH, SG_ABOUT_FIELD_HEIGHT, EDIT_STYLE},
    {SG_ABOUT_FIRST_FIELD + 3, "Edit", "", SG_ABOUT_FIELD_X, SG_ABOUT_FIELD_3_Y, SG_ABOUT_FIELD_WIDTH, SG_ABOUT_FIELD_HEIGHT, EDIT_STYLE},
    {SG_ABOUT_FIRST_FIELD + 4, "Edit", "", SG_ABOUT_FIELD_X, SG_ABOUT_FIELD_4_Y, SG_ABOUT_FIELD_WIDTH, SG_ABOUT_FIELD_HEIGHT, EDIT_STYLE},
};
static_assert(SG_ABOUT_FIELDS == 5, "the template above lists five fields");

bool is_dialog(const Window& w) { return w.className == "#32770"; }

// Hands the dialog and its controls the messages posted to them (a hook may
// post a command rather than send it), leaving every other window's alone.
void pump_dialog_messages(std::uintptr_t dialog) {
    State& s = state();
    for (;;) {
        Window* d = live_window(dialog);
        if (!d || d->dialogEnded) return;
        auto it = s.queue.begin();
        for (; it != s.queue.end(); ++it) {
            Window* target = live_window(raw(it->hwnd));
            if (target && (raw(target->handle) == dialog || target->parent == dialog)) break;
        }
        if (it == s.queue.end()) return;
        MSG msg = *it;
        s.queue.erase(it);
        pf::DispatchMessageA(&msg);
    }
}

}  // namespace

void dialog_command(HWND dialog, int id) {
    Window* d = live_window(raw(dialog));
    if (!d || !is_dialog(*d)) return;
    HWND control = pf::GetDlgItem(dialog, id);
    // BN_CLICKED is 0, so the high word stays clear.
    call_window(*d, WM_COMMAND, static_cast<WPARAM>(static_cast<WORD>(id)), reinterpret_cast<LPARAM>(control));
}

}  // namespace pf::headless

namespace pf {

using namespace headless;
using namespace headless::detail;

INT_PTR DialogBoxParamA(HINSTANCE, const char* templateName, HWND owner, DLGPROC proc, LPARAM param) {
    using namespace headless;
    State& s = state();
    if (s.dialogFails) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
    if (reinterpret_cast<std::uintptr_t>(templateName) != ABOUT_TEMPLATE_ID) {
        set_last_error(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    std::uintptr_t o = raw(owner);
    if (o == DESKTOP_HANDLE) o = 0;
    if (o && !IsWindow(owner)) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    // The template's position (0, 0) counts from the owner's client area.
    LONG x = 0, y = 0;
    if (o) client_origin(o, &x, &y);
    x += dlu_x(SG_ABOUT_X);
    y += dlu_y(SG_ABOUT_Y);
    int width = dlu_x(SG_ABOUT_WIDTH) + 2 * DIALOG_FRAME;
    int height = dlu_y(SG_ABOUT_HEIGHT) + 2 * DIALOG_FRAME + CAPTION_HEIGHT;
    Window* d = create_window("#32770", SG_ABOUT_CAPTION, DIALOG_STYLE, WS_EX_DLGMODALFRAME, x, y, width,
                              height, 0, o);
    d->dialogProc = proc;
    std::uintptr_t dialog = raw(d->handle);
    HWND firstControl = nullptr;
    for (const Control& c : ABOUT_CONTROLS) {
        Window* w = create_window(c.className, c.text, WS_CHILD | c.style, 0, dlu_x(c.x), dlu_y(c.y),
                                  dlu_x(c.width), dlu_y(c.height), dialog, 0);
        w->controlId = c.id;
        if (!firstControl) firstControl = w->handle;
    }

    ShownDialog shown{};
    shown.owner = owner;
    shown.templateId = ABOUT_TEMPLATE_ID;
    d = live_window(dialog);
    if (d) call_window(*d, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstControl), param);
    if ((d = live_window(dialog))) {
        shown.rect = window_rect(*d);
        d->style |= WS_VISIBLE;
        show_to_host(*d);
    }
    if ((d = live_window(dialog)) && !d->dialogEnded) {
        if (s.dialogHook)
            s.dialogHook(as_hwnd(dialog));
        else if (s.driver && s.driver->run_dialog)
            s.driver->run_dialog(as_hwnd(dialog));
        else
            dialog_command(as_hwnd(dialog), IDOK);
        pump_dialog_messages(dialog);
    }
    // A dialog that nobody ended is closed with 0 rather than waited for.
    Window* ended = any_window(dialog);
    shown.result = ended->dialogEnded ? ended->dialogResult : 0;
    for (int i = 0; i < SG_ABOUT_FIELDS; ++i) {
        HWND field = GetDlgItem(as_hwnd(dialog), SG_ABOUT_FIRST_FIELD + i);
        shown.fields[i] = window_text(field);
        shown.fieldCodePages[i] = window_text_code_page(field);
    }
    if (live_window(dialog)) DestroyWindow(as_hwnd(dialog));
    if (const Observer* o = observer(); o && o->dialog_ended) o->dialog_ended(shown);
    return shown.result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    Window* d = live_window(raw(dialog));
    if (!d || !headless::is_dialog(*d)) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    d->dialogEnded = true;
    d->dialogResult = result;
    return 1;
}

HWND GetDlgItem(HWND dialog, int id) {
    std::uintptr_t d = raw(dialog);
    if (live_window(d)) {
        for (const auto& w : state().windows)
            if (w->alive && (w->style & WS_CHILD) && w->parent == d && w->controlId == id) return w->handle;
    }
    set_last_error(live_window(d) ? headless::ERROR_CONTROL_ID_NOT_FOUND : ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
}

}  // namespace pf
