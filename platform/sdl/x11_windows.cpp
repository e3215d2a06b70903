// Other programs' windows on X11: what IsWindow, GetWindowRect and
// FindWindowA see of them. The handle of such a window is its X window id.
// Runs on a connection of its own, so a window that vanishes halfway through
// a query costs an error event on that connection and nothing else.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <vector>

#include "platform/sdl/sdl_host.h"

namespace pf::sdl::x11 {

namespace {

// Our own connection, and what its error filter knows.
struct Connection {
    Display* display = nullptr;
    XErrorHandler previousHandler = nullptr;
    bool filterInstalled = false;
    bool trapped = false;
    std::vector<unsigned long> watched;
    std::vector<Window> covers;  // black windows over the other monitors
    Cursor blank = None;
};

Connection conn;

int on_error(Display* d, XErrorEvent* e) {
    if (d == conn.display) {
        conn.trapped = true;
        return 0;
    }
    if (std::find(conn.watched.begin(), conn.watched.end(), e->resourceid) != conn.watched.end()) return 0;
    return conn.previousHandler ? conn.previousHandler(d, e) : 0;
}

// X window ids are 29-bit; anything else cannot name a window.
bool plausible(std::uintptr_t id) { return id != 0 && id <= 0x1FFFFFFFu; }

std::string latin1_to_utf8(const unsigned char* s, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n && s[i]; ++i) {
        if (s[i] < 0x80) {
            out += static_cast<char>(s[i]);
        } else {
            out += static_cast<char>(0xC0 | (s[i] >> 6));
            out += static_cast<char>(0x80 | (s[i] & 0x3F));
        }
    }
    return out;
}

// _NET_WM_NAME (UTF-8) when set, else WM_NAME in whatever encoding it has.
bool window_name(Window w, std::string* name) {
    static Atom netWmName = XInternAtom(conn.display, "_NET_WM_NAME", False);
    static Atom utf8String = XInternAtom(conn.display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(conn.display, w, netWmName, 0, 4096, False, utf8String, &type, &format,
                           &items, &after, &data) == Success &&
        data && type == utf8String && format == 8) {
        name->assign(reinterpret_cast<const char*>(data), items);
        XFree(data);
        return true;
    }
    if (data) XFree(data);
    XTextProperty prop{};
    if (!XGetWMName(conn.display, w, &prop) || !prop.value) return false;
    bool ok = false;
    if (prop.encoding == XA_STRING) {
        *name = latin1_to_utf8(prop.value, prop.nitems);
        ok = true;
    } else if (prop.encoding == utf8String) {
        name->assign(reinterpret_cast<const char*>(prop.value), prop.nitems);
        ok = true;
    } else {
        char** list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(conn.display, &prop, &list, &count) >= Success && list) {
            if (count > 0 && list[0]) {
                *name = list[0];
                ok = true;
            }
            XFreeStringList(list);
        }
    }
    XFree(prop.value);
    return ok;
}

}  // namespace

bool open() {
    if (!conn.display) conn.display = XOpenDisplay(nullptr);
    return conn.display != nullptr;
}

void close() {
    uncover();
    if (conn.filterInstalled) {
        XSetErrorHandler(conn.previousHandler);
        conn.filterInstalled = false;
    }
    if (conn.display) XCloseDisplay(conn.display);
    conn.display = nullptr;
    conn.watched.clear();
}

void install_error_filter() {
    if (conn.filterInstalled) return;
    conn.previousHandler = XSetErrorHandler(on_error);
    conn.filterInstalled = true;
}

void watch(std::uintptr_t window) { conn.watched.push_back(static_cast<unsigned long>(window)); }

void unwatch(std::uintptr_t window) {
    auto it = std::find(conn.watched.begin(), conn.watched.end(), static_cast<unsigned long>(window));
    if (it != conn.watched.end()) conn.watched.erase(it);
}

bool window_rect(std::uintptr_t id, RECT* rect) {
    if (!conn.display || !plausible(id) || !conn.filterInstalled) return false;
    Window w = static_cast<Window>(id);
    XSync(conn.display, False);
    conn.trapped = false;
    XWindowAttributes a{};
    if (!XGetWindowAttributes(conn.display, w, &a) || conn.trapped) return false;
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(conn.display, w, a.root, 0, 0, &x, &y, &child) || conn.trapped) return false;
    if (rect) *rect = RECT{x, y, x + a.width, y + a.height};
    return true;
}

bool window_alive(std::uintptr_t id) { return window_rect(id, nullptr); }

bool follow(std::uintptr_t id) {
    if (!conn.display || !plausible(id) || !conn.filterInstalled) return false;
    XSync(conn.display, False);
    conn.trapped = false;
    // StructureNotify is not exclusive: the daemon and others may select it too.
    XSelectInput(conn.display, static_cast<Window>(id), StructureNotifyMask);
    XSync(conn.display, False);
    return !conn.trapped;
}

Change changes(std::uintptr_t id, int* width, int* height) {
    if (!conn.display) return Change::Nothing;
    Change change = Change::Nothing;
    XEvent e;
    // Reads what has arrived; never waits for the server.
    while (XCheckWindowEvent(conn.display, static_cast<Window>(id), StructureNotifyMask, &e)) {
        if (e.type == DestroyNotify) {
            change = Change::Gone;
        } else if (e.type == ConfigureNotify && change != Change::Gone) {
            *width = e.xconfigure.width;
            *height = e.xconfigure.height;
            change = Change::Configured;
        }
    }
    return change;
}

std::uintptr_t root_window() {
    return conn.display ? static_cast<std::uintptr_t>(DefaultRootWindow(conn.display)) : 0;
}

int xft_dpi() {
    if (!open()) return 0;
    const char* value = XGetDefault(conn.display, "Xft", "dpi");
    if (value == nullptr) return 0;
    const double dpi = std::strtod(value, nullptr);
    return dpi > 0 && dpi < 100000 ? static_cast<int>(dpi + 0.5) : 0;
}

bool cursor_pos(POINT* point) {
    if (!conn.display) return false;
    Window root = 0, child = 0;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    // On another X screen (a second monitor that is a screen of its own)
    // the answer is False, with the position on that screen's root.
    XQueryPointer(conn.display, DefaultRootWindow(conn.display), &root, &child, &x, &y, &wx, &wy, &mask);
    if (root == None) return false;
    *point = POINT{x, y};
    return true;
}

std::uintptr_t find_by_title(const std::string& utf8) {
    if (!conn.display || !conn.filterInstalled) return 0;
    XSync(conn.display, False);
    // Breadth first from the root: top-level windows before the client
    // windows that a window manager put inside its frames.
    std::vector<Window> level{DefaultRootWindow(conn.display)};
    for (int depth = 0; depth < 3 && !level.empty(); ++depth) {
        std::vector<Window> next;
        for (Window parent : level) {
            conn.trapped = false;
            Window root = 0, up = 0, *children = nullptr;
            unsigned int count = 0;
            if (!XQueryTree(conn.display, parent, &root, &up, &children, &count) || conn.trapped) continue;
            // Topmost first, as a search by title finds the window in front.
            for (unsigned int i = count; i-- > 0;) {
                std::string name;
                conn.trapped = false;
                if (window_name(children[i], &name) && !conn.trapped && name == utf8) {
                    Window found = children[i];
                    XFree(children);
                    return static_cast<std::uintptr_t>(found);
                }
                next.push_back(children[i]);
            }
            if (children) XFree(children);
        }
        level = std::move(next);
    }
    return 0;
}

namespace {

struct Monitor {
    int screen, x, y, width, height;
};

// Every monitor of every X screen: RandR's monitors where the server has
// them (several per screen on one big desktop), else each screen whole (the
// screens of one display, each with its own root window).
std::vector<Monitor> monitors() {
    std::vector<Monitor> out;
    Display* d = conn.display;
    int event = 0, error = 0, major = 0, minor = 0;
    const bool randr = XRRQueryExtension(d, &event, &error) && XRRQueryVersion(d, &major, &minor) &&
                       (major > 1 || (major == 1 && minor >= 5));
    for (int s = 0; s < ScreenCount(d); ++s) {
        int count = 0;
        XRRMonitorInfo* list = randr ? XRRGetMonitors(d, RootWindow(d, s), True, &count) : nullptr;
        for (int i = 0; list && i < count; ++i)
            out.push_back(Monitor{s, list[i].x, list[i].y, list[i].width, list[i].height});
        if (list) XRRFreeMonitors(list);
        if (count <= 0) out.push_back(Monitor{s, 0, 0, DisplayWidth(d, s), DisplayHeight(d, s)});
    }
    return out;
}

Cursor blank_cursor(Window w) {
    if (conn.blank != None) return conn.blank;
    static const char none[1] = {0};
    Pixmap empty = XCreateBitmapFromData(conn.display, w, none, 1, 1);
    XColor black{};
    conn.blank = XCreatePixmapCursor(conn.display, empty, empty, &black, &black, 0, 0);
    XFreePixmap(conn.display, empty);
    return conn.blank;
}

}  // namespace

int cover_monitors(const RECT& saver) {
    if (!conn.display || !conn.filterInstalled || !conn.covers.empty()) return 0;
    Display* d = conn.display;
    const int home = DefaultScreen(d);
    for (const Monitor& m : monitors()) {
        // Never over the saver, even in part: overlapping heads stay uncovered.
        if (m.screen == home && m.x < saver.right && saver.left < m.x + m.width && m.y < saver.bottom &&
            saver.top < m.y + m.height)
            continue;
        XSetWindowAttributes a{};
        a.background_pixel = BlackPixel(d, m.screen);
        a.override_redirect = True;  // above managed windows, as a screen saver's are
        a.event_mask = KeyPressMask | ButtonPressMask | PointerMotionMask;
        Window w = XCreateWindow(d, RootWindow(d, m.screen), m.x, m.y, unsigned(std::max(m.width, 1)),
                                 unsigned(std::max(m.height, 1)), 0, CopyFromParent, InputOutput, CopyFromParent,
                                 CWBackPixel | CWOverrideRedirect | CWEventMask, &a);
        XDefineCursor(d, w, blank_cursor(w));
        XMapRaised(d, w);
        conn.covers.push_back(w);
    }
    XSync(d, False);
    return int(conn.covers.size());
}

void uncover() {
    if (!conn.display) return;
    for (Window w : conn.covers) XDestroyWindow(conn.display, w);
    conn.covers.clear();
    if (conn.blank != None) XFreeCursor(conn.display, conn.blank);
    conn.blank = None;
    XFlush(conn.display);
}

CoverInput cover_input() {
    CoverInput in;
    if (!conn.display || conn.covers.empty()) return in;
    XEvent e;
    const long mask = KeyPressMask | ButtonPressMask | PointerMotionMask;
    for (Window w : conn.covers) {
        // Reads what has arrived; never waits for the server.
        while (XCheckWindowEvent(conn.display, w, mask, &e)) {
            if (e.type == KeyPress) ++in.keys;
            else if (e.type == ButtonPress) ++in.buttons;
            else if (e.type == MotionNotify) in.moved = true;
        }
    }
    return in;
}

bool covering() { return !conn.covers.empty(); }

}  // namespace pf::sdl::x11
