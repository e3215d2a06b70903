// The message queue and timers. GetMessageA takes, in this order: posted
// messages (messages for windows that have gone are dropped), the quit
// message, WM_PAINT for a window that needs it, WM_TIMER for a due timer.
// As on Windows, WM_PAINT and WM_TIMER are made only when nothing else waits:
// under a host driver, the host's events are read (wait_events(0)) before
// either is handed out, so that input and quit requests come first however
// late the timer is. A late timer gives one WM_TIMER, and its next period
// counts from then. Only when nothing is ready does GetMessageA wait: on the
// host driver, or in memory by calling the idle hook and moving the virtual
// clock to the next due timer.
#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

#include "platform/headless/state.h"

namespace pf::headless {

using namespace detail;

namespace {

constexpr UINT TIMER_MINIMUM_MS = 10;
constexpr UINT TIMER_MAXIMUM_MS = 0x7FFFFFFF;
constexpr int HOST_WAIT_WITHOUT_TIMERS_MS = 1000;

LPARAM client_point_lparam(HWND window, POINT screen) {
    LONG ox = 0, oy = 0;
    client_origin(raw(window), &ox, &oy);
    auto x = static_cast<std::uint16_t>(screen.x - ox);
    auto y = static_cast<std::uint16_t>(screen.y - oy);
    return static_cast<LPARAM>((static_cast<std::uint32_t>(y) << 16) | x);
}

POINT cursor_now() {
    POINT p{0, 0};
    pf::GetCursorPos(&p);
    return p;
}

MSG make_msg(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return MSG{window, message, wParam, lParam, static_cast<DWORD>(now()), cursor_now()};
}

bool is_descendant(std::uintptr_t child, std::uintptr_t ancestor) {
    for (Window* w = live_window(child); w && (w->style & WS_CHILD); w = live_window(w->parent))
        if (w->parent == ancestor) return true;
    return false;
}

bool matches(std::uintptr_t target, UINT message, std::uintptr_t filter, UINT first, UINT last) {
    if (filter && target != filter && !is_descendant(target, filter)) return false;
    if (first == 0 && last == 0) return true;
    return message >= first && message <= last;
}

Timer* next_timer(std::uintptr_t filter) {
    Timer* best = nullptr;
    for (Timer& t : state().timers) {
        if (filter && t.window != filter && !is_descendant(t.window, filter)) continue;
        if (!best || t.due < best->due || (t.due == best->due && t.serial < best->serial)) best = &t;
    }
    return best;
}

// The character a key-down gives, without modifiers; 0 for none.
char key_char(WPARAM key) {
    if (key >= 'A' && key <= 'Z') return static_cast<char>(key - 'A' + 'a');
    if (key >= '0' && key <= '9') return static_cast<char>(key);
    if (key >= 0x60 && key <= 0x69) return static_cast<char>('0' + (key - 0x60));  // numeric pad
    switch (key) {
        case 0x08:  // backspace
        case 0x09:  // tab
        case 0x0D:  // return
        case 0x1B:  // escape
        case 0x20:  // space
            return static_cast<char>(key);
        default:
            return 0;
    }
}

}  // namespace

void inject_key(HWND window, UINT message, WPARAM key) {
    // Repeat count 1; a system key carries the context bit (Alt held).
    LPARAM flags = message == WM_SYSKEYDOWN ? 0x20000001 : 1;
    pf::PostMessageA(window, message, key, flags);
}

void inject_button(HWND window, UINT message) {
    WPARAM keys = message == WM_RBUTTONDOWN ? 0x0002 : message == WM_MBUTTONDOWN ? 0x0010 : 0x0001;
    pf::PostMessageA(window, message, keys, client_point_lparam(window, cursor_now()));
}

void inject_mouse_move(HWND window, int x, int y) {
    state().cursor = POINT{x, y};
    pf::PostMessageA(window, WM_MOUSEMOVE, 0, client_point_lparam(window, POINT{x, y}));
}

}  // namespace pf::headless

namespace pf {

using namespace headless;
using namespace headless::detail;

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::uintptr_t h = raw(window);
    if (h) {
        Window* w = live_window(h);
        RECT r;
        if (!w && h != DESKTOP_HANDLE && !host_window_rect(h, &r)) {
            set_last_error(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        // Another program's window takes it; nothing of ours hears of it.
        if (!w || w->foreign) return 1;
    }
    state().queue.push_back(make_msg(window, message, wParam, lParam));
    return 1;
}

void PostQuitMessage(int code) {
    State& s = state();
    s.quitPending = true;
    s.quitCode = code;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT first, UINT last) {
    State& s = state();
    std::uintptr_t filter = raw(window);
    if (!msg || (filter && !live_window(filter))) {
        set_last_error(msg ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return -1;
    }
    bool idleHookCalled = false;
    bool programEnded = false;
    bool hostRead = false;  // the host's events were read during this call
    for (;;) {
        for (auto it = s.queue.begin(); it != s.queue.end();) {
            std::uintptr_t target = raw(it->hwnd);
            if (target && !live_window(target)) {
                it = s.queue.erase(it);  // its window has gone
                continue;
            }
            if (it->message == WM_QUIT || matches(target, it->message, filter, first, last)) {
                *msg = *it;
                s.queue.erase(it);
                return msg->message == WM_QUIT ? 0 : 1;
            }
            ++it;
        }
        if (s.quitPending) {
            s.quitPending = false;
            *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0, static_cast<DWORD>(now()),
                       s.cursor};
            return 0;
        }
        Window* painted = nullptr;
        for (const auto& w : s.windows) {
            if (w->alive && w->needsPaint && !w->foreign &&
                matches(raw(w->handle), WM_PAINT, filter, first, last)) {
                painted = w.get();
                break;
            }
        }
        std::uint64_t t = now();
        Timer* timer = next_timer(filter);
        bool timerWanted = matches(timer ? timer->window : 0, WM_TIMER, 0, first, last);
        bool timerDue = timer && timerWanted && timer->due <= t;
        // A tick longer than the timer's period leaves the timer due at every
        // call: without this read, the host's input would never be looked at.
        if ((painted || timerDue) && s.driver && s.driver->wait_events && !hostRead) {
            hostRead = true;
            s.driver->wait_events(0);
            continue;
        }
        if (painted) {
            *msg = MSG{painted->handle, WM_PAINT, 0, 0, static_cast<DWORD>(t), s.cursor};
            return 1;
        }
        if (timerDue) {
            if (!s.driver && s.timerMessages >= s.timerLimit) {
                destroy_program_windows();
                s.timers.clear();
                continue;
            }
            *msg = MSG{as_hwnd(timer->window), WM_TIMER, timer->id, 0, static_cast<DWORD>(t), s.cursor};
            // The next period counts from now: a late timer does not catch up.
            timer->due = t + timer->period;
            ++s.timerMessages;
            return 1;
        }
        if (s.driver) {
            int wait = HOST_WAIT_WITHOUT_TIMERS_MS;
            if (timer && timerWanted)
                wait = static_cast<int>(std::min<std::uint64_t>(timer->due - t, INT_MAX));
            if (s.driver->wait_events) {
                s.driver->wait_events(wait);
                hostRead = true;
            } else
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(wait, 10)));
            continue;
        }
        if (!idleHookCalled) {
            idleHookCalled = true;
            if (s.idleHook) s.idleHook(s.timerMessages);
            continue;
        }
        idleHookCalled = false;
        if (timer && timerWanted) {
            s.virtualClock = std::max(s.virtualClock, timer->due);
            continue;
        }
        // Nothing can ever arrive: end the program rather than wait forever.
        if (!programEnded) {
            programEnded = true;
            destroy_program_windows();
            continue;
        }
        *msg = MSG{nullptr, WM_QUIT, 0, 0, static_cast<DWORD>(now()), s.cursor};
        return 0;
    }
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg) return 0;
    switch (msg->message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (char c = headless::key_char(msg->wParam)) {
                // Read by the very next GetMessageA, before anything queued later.
                state().queue.push_front(make_msg(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR,
                                                  static_cast<unsigned char>(c), msg->lParam));
            }
            return 1;
        case WM_KEYUP:
        case 0x0105:  // WM_SYSKEYUP
            return 1;
        default:
            return 0;
    }
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    Window* w = live_window(raw(msg->hwnd));
    if (!w) return 0;
    LRESULT result = call_window(*w, msg->message, msg->wParam, msg->lParam);
    // A procedure that leaves WM_PAINT unhandled would otherwise be asked again forever.
    if (msg->message == WM_PAINT)
        if (Window* still = live_window(raw(msg->hwnd))) still->needsPaint = false;
    return result;
}

std::uintptr_t SetTimer(HWND window, std::uintptr_t id, UINT periodMs, void*) {
    State& s = state();
    std::uintptr_t h = raw(window);
    if (h && !live_window(h)) {
        set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    UINT period = std::clamp(periodMs, TIMER_MINIMUM_MS, TIMER_MAXIMUM_MS);
    if (!h) {
        // A thread timer: its id is the system's choice unless it names one of ours.
        bool known = std::any_of(s.timers.begin(), s.timers.end(),
                                 [&](const Timer& t) { return !t.window && t.id == id; });
        if (!known) id = s.nextThreadTimerId++;
    }
    std::uint64_t due = now() + period;
    for (Timer& t : s.timers) {
        if (t.window == h && t.id == id) {
            t.period = period;
            t.due = due;
            return id ? id : 1;
        }
    }
    s.timers.push_back(Timer{h, id, period, due, s.timerSerial++});
    return id ? id : 1;
}

BOOL KillTimer(HWND window, std::uintptr_t id) {
    State& s = state();
    auto removed = std::erase_if(s.timers, [&](const Timer& t) { return t.window == raw(window) && t.id == id; });
    if (!removed) set_last_error(ERROR_INVALID_PARAMETER);
    return removed ? 1 : 0;
}

}  // namespace pf
