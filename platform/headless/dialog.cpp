// Modal dialogs from the templates the program handed over
// (set_dialog_templates), laid out in pixels from their dialog units.
#include <string>

#include "platform/headless/state.h"

namespace pf::headless {

using namespace detail;

namespace {

// Dialog base units of the template's 9-point font at 96 dpi: an average
// character 6 pixels wide and 12 pixels high. A dialog unit is a quarter of
// the width and an eighth of the height, so the 207 x 128 units of the
// about box give a client area of 311 x 192 pixels.
constexpr int BASE_UNIT_X = 6;
constexpr int BASE_UNIT_Y = 12;

// MulDiv rounding, for the non-negative values of the template.
int dlu_x(int units) { return (units * BASE_UNIT_X + 2) / 4; }
int dlu_y(int units) { return (units * BASE_UNIT_Y + 4) / 8; }

constexpr DWORD ERROR_CONTROL_ID_NOT_FOUND = 1421;

const DialogTemplate* find_template(const char* name) {
    // Only numbered templates (MAKEINTRESOURCE) exist here.
    const auto id = reinterpret_cast<std::uintptr_t>(name);
    if (id == 0 || id > 0xFFFF) return nullptr;
    for (const DialogTemplate& t : state().lasting.dialogTemplates)
        if (static_cast<std::uintptr_t>(t.id) == id) return &t;
    return nullptr;
}

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

void set_dialog_templates(std::vector<DialogTemplate> templates) {
    state().lasting.dialogTemplates = std::move(templates);
}

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
    const DialogTemplate* t = find_template(templateName);
    if (!t) {
        set_last_error(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    std::uintptr_t o = raw(owner);
    if (o == DESKTOP_HANDLE) o = 0;
    if (o && !IsWindow(owner)) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    // The template's position counts from the owner's client area.
    LONG x = 0, y = 0;
    if (o) client_origin(o, &x, &y);
    x += dlu_x(t->x);
    y += dlu_y(t->y);
    int width = dlu_x(t->width) + 2 * DIALOG_FRAME;
    int height = dlu_y(t->height) + 2 * DIALOG_FRAME + CAPTION_HEIGHT;
    Window* d = create_window("#32770", t->caption, t->style, WS_EX_DLGMODALFRAME, x, y, width, height, 0, o);
    d->dialogProc = proc;
    std::uintptr_t dialog = raw(d->handle);
    HWND firstControl = nullptr;
    std::vector<int> fields;  // the Edit controls' ids
    for (const DialogControl& c : t->controls) {
        Window* w = create_window(c.className, c.text, WS_CHILD | c.style, 0, dlu_x(c.x), dlu_y(c.y),
                                  dlu_x(c.width), dlu_y(c.height), dialog, 0);
        w->controlId = c.id;
        if (!firstControl) firstControl = w->handle;
        if (std::string(c.className) == "Edit") fields.push_back(c.id);
    }

    ShownDialog shown{};
    shown.owner = owner;
    shown.templateId = t->id;
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
    for (std::size_t i = 0; i < fields.size() && i < std::size(shown.fields); ++i) {
        HWND field = GetDlgItem(as_hwnd(dialog), fields[i]);
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
