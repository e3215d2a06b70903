// The in-memory host: its settings, what the program did, and reset().
#include <algorithm>
#include <new>

#include "platform/headless/state.h"

namespace pf::headless {

namespace detail {

State& state() {
    // The backend's one mutable object. Never destroyed: a sound thread or a
    // static destructor of another module may still look at it while the
    // process ends.
    static State* s = new State;
    return *s;
}

void set_last_error(DWORD code) { state().lastError = code; }

std::uint64_t now() {
    State& s = state();
    if (s.driver && s.driver->now_ms) return s.driver->now_ms();
    return s.virtualClock;
}

}  // namespace detail

using namespace detail;

void set_host_driver(const HostDriver* driver) { state().driver = driver; }

void reset() {
    State& s = state();
    release_window_dcs();
    release_guards();
    release_blocks();
    const Lasting lasting = s.lasting;
    s = State{};
    s.lasting = lasting;
    if (const Observer* o = observer(); o && o->reset) o->reset();
}

void set_observer(const Observer* observer) { state().lasting.observer = observer; }

void set_screen_size(int width, int height) {
    State& s = state();
    s.screenWidth = std::clamp(width, 0, static_cast<int>(MAX_COORD));
    s.screenHeight = std::clamp(height, 0, static_cast<int>(MAX_COORD));
}

void set_other_monitors(const std::vector<RECT>& monitors) {
    State& s = state();
    s.otherMonitors.clear();
    for (const RECT& r : monitors) s.otherMonitors.push_back(State::OtherMonitor{r, 0});
    s.primaryPosition = 0;
}

void set_monitors(const std::vector<Monitor>& monitors) {
    State& s = state();
    s.otherMonitors.clear();
    s.primaryPosition = 0;
    if (monitors.empty()) return;
    std::size_t primary = 0;
    while (primary < monitors.size() && !monitors[primary].primary) ++primary;
    if (primary == monitors.size()) primary = 0;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const Monitor& m = monitors[i];
        if (i != primary) {
            s.otherMonitors.push_back(State::OtherMonitor{m.rect, std::clamp(m.dpi, 0, 96 * 64)});
            continue;
        }
        s.primaryPosition = i;
        set_screen_size(m.rect.right - m.rect.left, m.rect.bottom - m.rect.top);
        if (m.dpi > 0) set_screen_dpi(m.dpi);
    }
}

void set_screen_dpi(int dpi) { state().screenDpi = std::clamp(dpi, 1, 96 * 64); }

void set_package(const void* data, std::size_t size) {
    State& s = state();
    s.packageMode = 1;
    s.packageData = data;
    s.packageSize = data ? size : 0;
}

void set_idle_hook(std::function<void(int timerMessages)> hook) { state().idleHook = std::move(hook); }
void set_timer_limit(int messages) { state().timerLimit = std::max(messages, 0); }
void set_guard_scope(const std::string& scope) { state().guardScope = scope; }

soft::Framebuffer* detail::desktop_framebuffer() {
    State& s = state();
    if (!s.desktopPixels) s.desktopPixels = std::make_unique<soft::Framebuffer>();
    soft::Framebuffer& fb = *s.desktopPixels;
    int w = GetSystemMetrics(SM_CXSCREEN);
    int h = GetSystemMetrics(SM_CYSCREEN);
    if (fb.width != w || fb.height != h) {
        try {
            fb.resize(w, h);
        } catch (const std::bad_alloc&) {
            fb.resize(0, 0);
        }
    }
    return &fb;
}

const std::vector<ShownMessageBox>& message_boxes() { return state().messageBoxes; }
int live_global_blocks() { return static_cast<int>(state().blocks.size()); }

std::vector<WindowInfo> windows() {
    std::vector<WindowInfo> out;
    for (const auto& w : state().windows) {
        WindowInfo info{};
        info.handle = w->handle;
        info.parent = as_hwnd(w->parent ? w->parent : w->owner);
        info.className = w->className;
        info.title = w->title;
        info.style = w->style;
        info.exStyle = w->exStyle;
        info.classStyle = w->classStyle;
        info.rect = window_rect(*w);
        info.alive = w->alive;
        info.foreign = w->foreign;
        out.push_back(std::move(info));
    }
    return out;
}

const soft::Framebuffer* window_pixels(HWND window) {
    if (raw(window) == DESKTOP_HANDLE) return desktop_framebuffer();
    Window* w = any_window(raw(window));
    return w ? w->pixels.get() : nullptr;
}

std::string window_text(HWND window) {
    Window* w = live_window(raw(window));
    return w ? w->title : std::string();
}

UINT window_text_code_page(HWND window) {
    Window* w = live_window(raw(window));
    return w ? w->titleCodePage : 932;
}

}  // namespace pf::headless

namespace pf {

void diagnostics::set_message_box_capture(diagnostics::MessageBoxCapture capture) {
    headless::detail::state().capture = capture;
}

}  // namespace pf
