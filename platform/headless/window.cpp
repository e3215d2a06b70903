// Windows in memory: classes, creation and destruction, rectangles, titles,
// window DCs over each window's framebuffer, painting, cursor, input method,
// sound and message boxes.
#include <algorithm>
#include <new>

#include "platform/headless/state.h"

namespace pf::headless {

using namespace detail;

namespace {

bool is_int_resource(const char* p) { return reinterpret_cast<std::uintptr_t>(p) < 0x10000; }

constexpr WORD FIRST_CLASS_ATOM = 0xC000;

// Class names compare without regard to ASCII case.
bool same_class_name(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// Classes the system provides without registration.
const char* const SYSTEM_CLASSES[] = {"Button", "Edit", "Static", "#32770"};

// The class a CreateWindowExA name or atom refers to; false when unknown.
bool find_class(const char* name, WindowClass* out) {
    State& s = state();
    if (!name) return false;
    if (is_int_resource(name)) {
        auto atom = static_cast<std::uintptr_t>(reinterpret_cast<std::uintptr_t>(name));
        if (atom < FIRST_CLASS_ATOM || atom - FIRST_CLASS_ATOM >= s.classes.size()) return false;
        *out = s.classes[atom - FIRST_CLASS_ATOM];
        return true;
    }
    std::string wanted(name);
    for (const auto& c : s.classes) {
        if (same_class_name(c.name, wanted)) {
            *out = c;
            return true;
        }
    }
    for (const char* system : SYSTEM_CLASSES) {
        if (same_class_name(system, wanted)) {
            *out = WindowClass{system, 0, nullptr, nullptr};
            return true;
        }
    }
    return false;
}

LONG clamp_coord(long long v) { return static_cast<LONG>(std::clamp<long long>(v, -MAX_COORD, MAX_COORD)); }
LONG clamp_size(long long v) { return static_cast<LONG>(std::clamp<long long>(v, 0, MAX_COORD)); }

struct Insets {
    LONG frame;
    LONG caption;
};

Insets insets_of(const Window& w) {
    Insets in{0, 0};
    if (w.style & WS_THICKFRAME)
        in.frame = 4;
    else if ((w.style & WS_DLGFRAME) || (w.exStyle & WS_EX_DLGMODALFRAME))
        in.frame = DIALOG_FRAME;
    else if (w.style & WS_BORDER)
        in.frame = 1;
    if ((w.style & WS_CAPTION) == WS_CAPTION) in.caption = CAPTION_HEIGHT;
    return in;
}

bool is_child(const Window& w) { return (w.style & WS_CHILD) && w.parent != 0; }

// Shown on the host when it is top-level or sits in another program's window.
bool host_shows(const Window& w) {
    if (w.foreign || !(w.style & WS_VISIBLE)) return false;
    if (!is_child(w)) return true;
    Window* parent = live_window(w.parent);
    return !parent || parent->foreign;
}

bool is_window_handle(std::uintptr_t handle) {
    if (handle == DESKTOP_HANDLE) return true;
    if (live_window(handle)) return true;
    RECT r;
    return host_window_rect(handle, &r);
}

}  // namespace

namespace detail {

Window* any_window(std::uintptr_t handle) {
    State& s = state();
    if (handle < FIRST_WINDOW_HANDLE || (handle - FIRST_WINDOW_HANDLE) % WINDOW_HANDLE_STEP) return nullptr;
    std::uintptr_t index = (handle - FIRST_WINDOW_HANDLE) / WINDOW_HANDLE_STEP;
    if (index >= s.windows.size()) return nullptr;
    return s.windows[index].get();
}

Window* live_window(std::uintptr_t handle) {
    Window* w = any_window(handle);
    return w && w->alive ? w : nullptr;
}

bool host_window_rect(std::uintptr_t handle, RECT* rect) {
    const HostDriver* d = state().driver;
    if (!handle || !d || !d->foreign_window) return false;
    if (any_window(handle) || handle == DESKTOP_HANDLE) return false;
    return d->foreign_window(handle, rect);
}

bool client_origin(std::uintptr_t handle, LONG* x, LONG* y) {
    if (handle == DESKTOP_HANDLE) {
        *x = *y = 0;
        return true;
    }
    if (Window* w = live_window(handle)) {
        RECT r = client_rect_on_screen(*w);
        *x = r.left;
        *y = r.top;
        return true;
    }
    RECT r;
    if (host_window_rect(handle, &r)) {
        *x = r.left;
        *y = r.top;
        return true;
    }
    return false;
}

RECT window_rect(const Window& w) {
    LONG ox = 0, oy = 0;
    // A child whose parent has gone keeps its last offsets from the origin.
    if (is_child(w) && !client_origin(w.parent, &ox, &oy)) ox = oy = 0;
    return RECT{ox + w.x, oy + w.y, ox + w.x + w.width, oy + w.y + w.height};
}

RECT client_rect_on_screen(const Window& w) {
    RECT r = window_rect(w);
    Insets in = insets_of(w);
    RECT c{r.left + in.frame, r.top + in.frame + in.caption, r.right - in.frame, r.bottom - in.frame};
    if (c.right < c.left) c.right = c.left;
    if (c.bottom < c.top) c.bottom = c.top;
    return c;
}

void set_window_size(Window& w, LONG width, LONG height) {
    w.width = clamp_size(width);
    w.height = clamp_size(height);
    RECT c = client_rect_on_screen(w);
    if (!w.pixels) w.pixels = std::make_unique<soft::Framebuffer>();
    if (w.pixels->width == c.right - c.left && w.pixels->height == c.bottom - c.top) return;
    try {
        w.pixels->resize(c.right - c.left, c.bottom - c.top);
    } catch (const std::bad_alloc&) {
        w.pixels->resize(0, 0);
    }
}

Window* create_window(const std::string& className, const std::string& title, DWORD style,
                      DWORD exStyle, int x, int y, int width, int height, std::uintptr_t parent,
                      std::uintptr_t owner) {
    State& s = state();
    auto w = std::make_unique<Window>();
    w->handle = as_hwnd(FIRST_WINDOW_HANDLE + s.windows.size() * WINDOW_HANDLE_STEP);
    w->className = className;
    w->title = title;
    w->style = style;
    w->exStyle = exStyle;
    w->parent = parent;
    w->owner = owner;
    w->x = clamp_coord(x);
    w->y = clamp_coord(y);
    s.windows.push_back(std::move(w));
    Window* made = s.windows.back().get();
    set_window_size(*made, width, height);
    return made;
}

LRESULT call_window(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (w.dialogProc || w.proc) {
        if (const Observer* o = observer(); o && o->dispatched) o->dispatched(w.handle, message);
        return w.dialogProc ? w.dialogProc(w.handle, message, wParam, lParam)
                            : w.proc(w.handle, message, wParam, lParam);
    }
    if (w.foreign) return 0;
    return pf::DefWindowProcA(w.handle, message, wParam, lParam);
}

void show_to_host(Window& w) {
    const HostDriver* d = state().driver;
    if (w.shownToHost || !host_shows(w) || !d || !d->window_created) return;
    w.shownToHost = true;
    d->window_created(w.handle);
}

void destroy_program_windows() {
    State& s = state();
    for (std::size_t i = 0; i < s.windows.size(); ++i) {
        Window& w = *s.windows[i];
        if (!w.alive || w.foreign) continue;
        Window* parent = is_child(w) ? live_window(w.parent) : nullptr;
        if (parent && !parent->foreign) continue;  // goes with its parent
        pf::DestroyWindow(w.handle);
    }
}

void release_window_dcs() {
    State& s = state();
    for (const auto& wdc : s.windowDCs) soft::window_dc_delete(wdc.dc);
    s.windowDCs.clear();
}

}  // namespace detail

HWND create_foreign_window(const char* title, int x, int y, int width, int height, HWND parent) {
    std::uintptr_t p = raw(parent);
    if (p == DESKTOP_HANDLE || !is_window_handle(p)) p = 0;
    DWORD style = WS_VISIBLE | (p ? WS_CHILD : WS_POPUP);
    Window* w = create_window("", title ? title : "", style, 0, x, y, width, height, p, 0);
    w->foreign = true;
    return w->handle;
}

void invalidate(HWND window) {
    Window* w = live_window(raw(window));
    if (w && !w->foreign) w->needsPaint = true;
}

}  // namespace pf::headless

namespace pf {

using namespace headless;
using namespace headless::detail;

namespace {

void destroy_tree(Window& w) {
    State& s = state();
    w.destroying = true;
    if (w.shownToHost) {
        w.shownToHost = false;
        if (s.driver && s.driver->window_destroyed) s.driver->window_destroyed(w.handle);
    }
    // Owned windows go first; then the window hears WM_DESTROY before its
    // children do.
    for (std::size_t i = 0; i < s.windows.size(); ++i) {
        Window& o = *s.windows[i];
        if (o.alive && !o.destroying && !(o.style & WS_CHILD) && o.owner == raw(w.handle)) destroy_tree(o);
    }
    call_window(w, WM_DESTROY, 0, 0);
    for (std::size_t i = 0; i < s.windows.size(); ++i) {
        Window& c = *s.windows[i];
        if (c.alive && !c.destroying && (c.style & WS_CHILD) && c.parent == raw(w.handle)) destroy_tree(c);
    }
    w.alive = false;
    w.needsPaint = false;
    std::erase_if(s.timers, [&](const Timer& t) { return t.window == raw(w.handle); });
}

}  // namespace

// Monitor handles are 1 (the primary: the whole screen) and 2, 3, ... for
// the others set by the host, in the order they were set; they are listed
// with the primary at its own place among them.
namespace {

constexpr std::uintptr_t PRIMARY_MONITOR = 1;

HMONITOR monitor_handle(std::uintptr_t value) { return reinterpret_cast<HMONITOR>(value); }

// The monitor listed at `position` (0 ... count - 1).
HMONITOR monitor_at(std::size_t position) {
    const std::size_t primary = state().primaryPosition;
    if (position == primary) return monitor_handle(PRIMARY_MONITOR);
    return monitor_handle(2 + (position < primary ? position : position - 1));
}

std::size_t monitor_count() { return 1 + state().otherMonitors.size(); }

const State::OtherMonitor* other_monitor(HMONITOR monitor) {
    const State& s = state();
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(monitor);
    if (value < 2 || value - 2 >= s.otherMonitors.size()) return nullptr;
    return &s.otherMonitors[value - 2];
}

bool monitor_rect(HMONITOR monitor, RECT* rect) {
    if (monitor == monitor_handle(PRIMARY_MONITOR)) {
        *rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        return true;
    }
    const State::OtherMonitor* other = other_monitor(monitor);
    if (other == nullptr) return false;
    *rect = other->rect;
    return true;
}

// The bounding box of every monitor.
RECT virtual_screen() {
    RECT box{};
    monitor_rect(monitor_handle(PRIMARY_MONITOR), &box);
    for (const State::OtherMonitor& m : state().otherMonitors) {
        box.left = std::min(box.left, m.rect.left);
        box.top = std::min(box.top, m.rect.top);
        box.right = std::max(box.right, m.rect.right);
        box.bottom = std::max(box.bottom, m.rect.bottom);
    }
    return box;
}

}  // namespace

HMONITOR MonitorFromPoint(POINT point, DWORD) {
    const State& s = state();
    if (point.x >= 0 && point.x < GetSystemMetrics(SM_CXSCREEN) && point.y >= 0 &&
        point.y < GetSystemMetrics(SM_CYSCREEN))
        return monitor_handle(PRIMARY_MONITOR);
    for (std::size_t i = 0; i < s.otherMonitors.size(); ++i) {
        const RECT& r = s.otherMonitors[i].rect;
        if (point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom)
            return monitor_handle(2 + i);
    }
    return monitor_handle(PRIMARY_MONITOR);
}

BOOL EnumDisplayMonitors(HDC dc, const RECT* clip, MONITORENUMPROC proc, LPARAM data) {
    if (dc != nullptr || clip != nullptr || proc == nullptr) return 0;
    const std::size_t count = monitor_count();
    for (std::size_t i = 0; i < count; ++i) {
        RECT rect{};
        if (!monitor_rect(monitor_at(i), &rect)) break;
        if (!proc(monitor_at(i), nullptr, &rect, data)) break;
    }
    return 1;
}

BOOL GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info) {
    RECT rect{};
    if (info == nullptr || !monitor_rect(monitor, &rect)) return 0;
    info->rcMonitor = rect;
    info->rcWork = rect;
    info->dwFlags = monitor == monitor_handle(PRIMARY_MONITOR) ? MONITORINFOF_PRIMARY : 0;
    return 1;
}

long GetDpiForMonitor(HMONITOR monitor, int, UINT* dpiX, UINT* dpiY) {
    constexpr long E_INVALIDARG = static_cast<long>(0x80070057);
    RECT rect{};
    if (dpiX == nullptr || dpiY == nullptr || !monitor_rect(monitor, &rect)) return E_INVALIDARG;
    const State::OtherMonitor* other = other_monitor(monitor);
    const int dpi = other != nullptr && other->dpi > 0 ? other->dpi : state().screenDpi;
    *dpiX = *dpiY = static_cast<UINT>(dpi);
    return 0;
}

int GetDeviceCaps(HDC, int index) { return index == LOGPIXELSX ? state().screenDpi : 0; }

int GetSystemMetrics(int index) {
    State& s = state();
    switch (index) {
        case SM_CXSCREEN:
        case SM_CYSCREEN: {
            int w = s.screenWidth, h = s.screenHeight;
            if (s.driver && s.driver->screen_size) s.driver->screen_size(&w, &h);
            return index == SM_CXSCREEN ? w : h;
        }
        case SM_XVIRTUALSCREEN:
            return virtual_screen().left;
        case SM_YVIRTUALSCREEN:
            return virtual_screen().top;
        case SM_CXVIRTUALSCREEN: {
            const RECT box = virtual_screen();
            return box.right - box.left;
        }
        case SM_CYVIRTUALSCREEN: {
            const RECT box = virtual_screen();
            return box.bottom - box.top;
        }
        case SM_CMONITORS:
            return static_cast<int>(monitor_count());
        case 4:  // SM_CYCAPTION
            return CAPTION_HEIGHT;
        case 7:  // SM_CXDLGFRAME
        case 8:  // SM_CYDLGFRAME
            return DIALOG_FRAME;
        default:
            return 0;
    }
}

BOOL IsWindow(HWND window) { return is_window_handle(raw(window)) ? 1 : 0; }

HWND FindWindowA(const char* className, const char* title) {
    State& s = state();
    // Newest first: the most recently created window is the topmost.
    for (std::size_t i = s.windows.size(); i-- > 0;) {
        const Window& w = *s.windows[i];
        if (!w.alive || is_child(w)) continue;
        if (title && w.title != title) continue;
        if (className && (is_int_resource(className) || !same_class_name(w.className, className)))
            continue;
        return w.handle;
    }
    if (title && s.driver && s.driver->find_foreign_window) {
        std::uintptr_t h = s.driver->find_foreign_window(title);
        if (h && !any_window(h)) return as_hwnd(h);
    }
    return nullptr;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    if (!rect) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::uintptr_t h = raw(window);
    if (h == DESKTOP_HANDLE) {
        *rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        return 1;
    }
    if (Window* w = live_window(h)) {
        *rect = window_rect(*w);
        return 1;
    }
    if (host_window_rect(h, rect)) return 1;
    set_last_error(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
}

HWND GetDesktopWindow() { return as_hwnd(DESKTOP_HANDLE); }

WORD RegisterClassA(const WNDCLASSA* windowClass) {
    State& s = state();
    // Windows refuses a class without a name (a scene with an empty title
    // then gets no window, and its saver ends at once).
    if (!windowClass || !windowClass->lpszClassName || is_int_resource(windowClass->lpszClassName) ||
        windowClass->lpszClassName[0] == '\0' || !windowClass->lpfnWndProc) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name(windowClass->lpszClassName);
    for (const auto& c : s.classes) {
        if (same_class_name(c.name, name)) {
            set_last_error(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    if (s.classes.size() >= 0x3FFF) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    s.classes.push_back(WindowClass{name, windowClass->style, windowClass->lpfnWndProc,
                                    windowClass->hbrBackground});
    return static_cast<WORD>(FIRST_CLASS_ATOM + s.classes.size() - 1);
}

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
    // Only the system's cursors exist here.
    if (instance || !name || !is_int_resource(name)) return nullptr;
    return reinterpret_cast<HCURSOR>(0x10000 + reinterpret_cast<std::uintptr_t>(name));
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, void* menu, HINSTANCE instance,
                     void* param) {
    WindowClass cls;
    if (!find_class(className, &cls)) {
        set_last_error(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    std::uintptr_t p = raw(parent);
    if (p == DESKTOP_HANDLE) p = 0;
    if ((style & WS_CHILD) && !p) {
        set_last_error(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    if (p && !is_window_handle(p)) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    bool child = style & WS_CHILD;
    Window* w = create_window(cls.name, title ? title : "", style, exStyle, x, y, width, height,
                              child ? p : 0, child ? 0 : p);
    w->classStyle = cls.style;
    w->proc = cls.proc;
    if (child) w->controlId = static_cast<int>(reinterpret_cast<std::uintptr_t>(menu));
    w->needsPaint = (style & WS_VISIBLE) && cls.proc;
    HWND handle = w->handle;
    CREATESTRUCTA create{};
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hMenu = menu;
    create.hwndParent = parent;
    create.cy = height;
    create.cx = width;
    create.y = y;
    create.x = x;
    create.style = static_cast<LONG>(style);
    create.lpszName = title;
    create.lpszClass = className;
    create.exStyle = exStyle;
    if (call_window(*w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    w = live_window(raw(handle));
    if (!w) return nullptr;
    show_to_host(*w);
    return handle;
}

BOOL DestroyWindow(HWND window) {
    Window* w = live_window(raw(window));
    if (!w) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (w->destroying) return 1;
    destroy_tree(*w);
    return 1;
}

std::intptr_t SetWindowLongPtrA(HWND window, int index, std::intptr_t value) {
    Window* w = live_window(raw(window));
    if (!w || index != GWLP_USERDATA) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const std::intptr_t previous = w->userData;
    w->userData = value;
    return previous;
}

std::intptr_t GetWindowLongPtrA(HWND window, int index) {
    Window* w = live_window(raw(window));
    if (!w || index != GWLP_USERDATA) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return w->userData;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags) {
    constexpr UINT SWP_NOMOVE = 0x0002;
    Window* w = live_window(raw(window));
    if (!w) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!(flags & SWP_NOMOVE)) {
        w->x = clamp_coord(x);
        w->y = clamp_coord(y);
    }
    if (!(flags & SWP_NOSIZE)) set_window_size(*w, cx, cy);
    return 1;
}

BOOL SetWindowTextA(HWND window, const char* text) { return SetWindowTextInCodePage(window, text, 932); }

BOOL SetWindowTextInCodePage(HWND window, const char* text, UINT codePage) {
    Window* w = live_window(raw(window));
    if (!w) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    w->title = text ? text : "";
    w->titleCodePage = codePage;
    return 1;
}

HDC GetDC(HWND window) {
    State& s = state();
    std::uintptr_t h = raw(window);
    soft::Framebuffer* fb = nullptr;
    if (!h || h == DESKTOP_HANDLE) {
        h = DESKTOP_HANDLE;
        fb = desktop_framebuffer();
    } else if (Window* w = live_window(h)) {
        fb = w->pixels.get();
    }
    if (!fb) return nullptr;
    HDC dc = soft::window_dc_create(fb);
    if (dc) s.windowDCs.push_back(WindowDC{dc, h});
    return dc;
}

int ReleaseDC(HWND, HDC dc) {
    State& s = state();
    auto it = std::find_if(s.windowDCs.begin(), s.windowDCs.end(),
                           [&](const WindowDC& w) { return w.dc == dc; });
    if (!dc || it == s.windowDCs.end()) return 0;
    std::uintptr_t h = it->window;
    s.windowDCs.erase(it);
    std::vector<RECT> drawn = soft::window_dc_take_drawn(dc);
    Window* w = live_window(h);
    if (w && w->shownToHost && !drawn.empty() && s.driver && s.driver->present)
        s.driver->present(w->handle, *w->pixels, drawn.data(), static_cast<int>(drawn.size()));
    soft::window_dc_delete(dc);
    return 1;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    Window* w = live_window(raw(window));
    if (!w || !paint) {
        set_last_error(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    *paint = PAINTSTRUCT{};
    // The framebuffer starts black, which is all the erase would draw.
    paint->fErase = 0;
    if (w->needsPaint) paint->rcPaint = RECT{0, 0, w->pixels->width, w->pixels->height};
    w->needsPaint = false;
    paint->hdc = GetDC(window);
    return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (paint && paint->hdc) ReleaseDC(window, paint->hdc);
    return 1;
}

int ShowCursor(BOOL show) {
    State& s = state();
    s.cursorCount += show ? 1 : -1;
    if (s.driver && s.driver->show_cursor) s.driver->show_cursor(s.cursorCount >= 0);
    return s.cursorCount;
}

BOOL GetCursorPos(POINT* point) {
    State& s = state();
    if (!point) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (s.driver && s.driver->cursor_pos && s.driver->cursor_pos(point)) return 1;
    *point = s.cursor;
    return 1;
}

HIMC ImmAssociateContext(HWND window, HIMC context) {
    if (const Observer* o = observer(); o && o->input_context) o->input_context(window, context);
    Window* w = live_window(raw(window));
    if (!w) return nullptr;
    HIMC previous = w->ime;
    w->ime = context;
    return previous;
}

BOOL sndPlaySoundA(const char* sound, UINT flags) {
    State& s = state();
    if (const Observer* o = observer(); o && o->sound) o->sound(sound, flags);
    if (!sound) {
        s.soundLooping = false;
    } else {
        // A looping sound plays until it is stopped; SND_NOSTOP leaves it alone.
        if ((flags & SND_NOSTOP) && s.soundLooping) return 0;
        s.soundLooping = (flags & SND_LOOP) != 0;
    }
    if (s.driver && s.driver->sound) s.driver->sound(sound, flags);
    return 1;
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    return MessageBoxInCodePage(owner, text, 932, caption, type);
}

int MessageBoxInCodePage(HWND owner, const char* text, UINT textCodePage, const char* caption,
                         UINT type) {
    State& s = state();
    if (!text) text = "";
    if (!caption) caption = "Error";
    // In memory a box has nowhere to show but the record the renderer reports;
    // a host driver shows it, and nothing is kept in a program that runs on.
    if (!s.driver)
        s.messageBoxes.push_back(headless::ShownMessageBox{owner, text, caption, textCodePage});
    if (s.capture)
        s.capture(owner, text, caption, type);
    else if (s.driver && s.driver->message_box_in_code_page)
        s.driver->message_box_in_code_page(owner, text, textCodePage, caption);
    else if (s.driver && s.driver->message_box)
        s.driver->message_box(owner, text, caption);
    return IDOK;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_PAINT:
            if (Window* w = live_window(raw(window))) w->needsPaint = false;
            return 0;
        default:
            return 0;
    }
}

}  // namespace pf
