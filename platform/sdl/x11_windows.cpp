// Other programs' windows on X11: what IsWindow, GetWindowRect and
// FindWindowA see of them. The handle of such a window is its X window id.
// Runs on a connection of its own, so a window that vanishes halfway through
// a query costs an error event on that connection and nothing else.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
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
    std::vector<Window> pieces;   // windows of ours on other X screens (make_window)
    std::vector<Window> retired;  // pieces taken down, destroyed when the connection closes
    Cursor blank = None;
};

Connection conn;

// Before SDL: what SDL keeps as the handler to put back when it quits. A
// wake-up SDL sends to a window of its own that is already gone (BadWindow
// on SendEvent, read only when SDL closes its connections) is no reason to
// end the program; anything else goes on to Xlib's handler.
XErrorHandler beforeSdl = nullptr;
constexpr unsigned char X_SEND_EVENT = 25;
int on_error_at_quit(Display* d, XErrorEvent* e) {
    if (e->error_code == BadWindow && e->request_code == X_SEND_EVENT) return 0;
    return beforeSdl ? beforeSdl(d, e) : 0;
}

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
    while (!conn.pieces.empty()) destroy_window(conn.pieces.back());
    if (conn.display) {
        for (Window w : conn.retired) XDestroyWindow(conn.display, w);
        if (conn.blank != None) XFreeCursor(conn.display, conn.blank);
    }
    conn.retired.clear();
    conn.blank = None;
    if (conn.filterInstalled) {
        XSetErrorHandler(conn.previousHandler);
        conn.filterInstalled = false;
    }
    if (conn.display) XCloseDisplay(conn.display);
    conn.display = nullptr;
    conn.watched.clear();
}

void install_quit_filter() {
    static bool installed = false;
    if (installed) return;
    beforeSdl = XSetErrorHandler(on_error_at_quit);
    installed = true;
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

bool cursor_pos(POINT* point, int* screen) {
    if (!conn.display) return false;
    Window root = 0, child = 0;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    // On another X screen (a second monitor that is a screen of its own)
    // the answer is False, with the position on that screen's root.
    XQueryPointer(conn.display, DefaultRootWindow(conn.display), &root, &child, &x, &y, &wx, &wy, &mask);
    if (root == None) return false;
    *point = POINT{x, y};
    *screen = DefaultScreen(conn.display);
    for (int s = 0; s < ScreenCount(conn.display); ++s)
        if (RootWindow(conn.display, s) == root) *screen = s;
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

std::vector<ScreenMonitor> monitors() {
    std::vector<ScreenMonitor> out;
    Display* d = conn.display;
    if (!d) return out;
    int opcode = 0, event = 0, error = 0, major = 0, minor = 0;
    // Asked by name first: Xlib's own query prints a warning where it is missing.
    const bool randr = XQueryExtension(d, "RANDR", &opcode, &event, &error) && XRRQueryExtension(d, &event, &error) && XRRQueryVersion(d, &major, &minor) &&
                       (major > 1 || (major == 1 && minor >= 5));
    for (int s = 0; s < ScreenCount(d); ++s) {
        int count = 0;
        XRRMonitorInfo* list = randr ? XRRGetMonitors(d, RootWindow(d, s), True, &count) : nullptr;
        for (int i = 0; list && i < count; ++i)
            out.push_back(ScreenMonitor{s, RECT{list[i].x, list[i].y, list[i].x + list[i].width, list[i].y + list[i].height},
                                        list[i].primary != 0});
        if (list) XRRFreeMonitors(list);
    }
    // Xinerama's heads: one screen made of several (the server has no RandR then).
    if (out.empty() && ScreenCount(d) == 1 && XQueryExtension(d, "XINERAMA", &opcode, &event, &error) &&
        XineramaQueryExtension(d, &event, &error) && XineramaIsActive(d)) {
        int count = 0;
        XineramaScreenInfo* heads = XineramaQueryScreens(d, &count);
        for (int i = 0; heads && i < count; ++i)
            out.push_back(ScreenMonitor{0, RECT{heads[i].x_org, heads[i].y_org, heads[i].x_org + heads[i].width,
                                                heads[i].y_org + heads[i].height},
                                        i == 0});
        if (heads) XFree(heads);
    }
    return out;
}

std::vector<POINT> screen_sizes() {
    std::vector<POINT> out;
    for (int s = 0; conn.display && s < ScreenCount(conn.display); ++s)
        out.push_back(POINT{DisplayWidth(conn.display, s), DisplayHeight(conn.display, s)});
    return out;
}

int default_screen() { return conn.display ? DefaultScreen(conn.display) : 0; }

namespace {

Cursor blank_cursor(Window w) {
    if (conn.blank != None) return conn.blank;
    static const char none[1] = {0};
    Pixmap empty = XCreateBitmapFromData(conn.display, w, none, 1, 1);
    XColor black{};
    conn.blank = XCreatePixmapCursor(conn.display, empty, empty, &black, &black, 0, 0);
    XFreePixmap(conn.display, empty);
    return conn.blank;
}

constexpr long PIECE_EVENTS = KeyPressMask | ButtonPressMask | PointerMotionMask | ExposureMask;

}  // namespace

std::uintptr_t make_window(int screen, const RECT& r) {
    Display* d = conn.display;
    if (!d || !conn.filterInstalled || screen < 0 || screen >= ScreenCount(d)) return 0;
    XSetWindowAttributes a{};
    a.background_pixel = BlackPixel(d, screen);
    a.override_redirect = True;  // above managed windows, as a screen saver's are
    a.event_mask = PIECE_EVENTS;
    // The screen's default visual: what presenting draws in (x11_present.cpp).
    Window w = XCreateWindow(d, RootWindow(d, screen), r.left, r.top, unsigned(std::max<LONG>(r.right - r.left, 1)),
                             unsigned(std::max<LONG>(r.bottom - r.top, 1)), 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWBackPixel | CWOverrideRedirect | CWEventMask, &a);
    XDefineCursor(d, w, blank_cursor(w));
    XMapRaised(d, w);
    XSync(d, False);
    conn.pieces.push_back(w);
    // SDL draws into it on a connection of its own: errors about it there
    // are not worth ending for. It stays watched, as a pane does.
    watch(static_cast<std::uintptr_t>(w));
    return static_cast<std::uintptr_t>(w);
}

void destroy_window(std::uintptr_t id) {
    auto it = std::find(conn.pieces.begin(), conn.pieces.end(), static_cast<Window>(id));
    if (!conn.display || it == conn.pieces.end()) return;
    conn.pieces.erase(it);
    // Taken off the screen now, destroyed only when the connection closes:
    // SDL may still send to it (a wake-up of its event loop, on a connection
    // of its own) until SDL has quit, and an error there would end the process.
    XUnmapWindow(conn.display, static_cast<Window>(id));
    conn.retired.push_back(static_cast<Window>(id));
    XFlush(conn.display);
}

WindowInput window_input(std::uintptr_t id) {
    WindowInput in;
    if (!conn.display) return in;
    XEvent e;
    // Reads what has arrived; never waits for the server.
    while (XCheckWindowEvent(conn.display, static_cast<Window>(id), PIECE_EVENTS, &e)) {
        if (e.type == KeyPress) ++in.keys;
        else if (e.type == ButtonPress) ++in.buttons;
        else if (e.type == MotionNotify) in.moved = true;
        else if (e.type == Expose) in.exposed = true;
    }
    return in;
}

}  // namespace pf::sdl::x11
