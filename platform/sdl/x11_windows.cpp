// Other programs' windows on X11: what IsWindow, GetWindowRect and
// FindWindowA see of them. The handle of such a window is its X window id.
// Runs on a connection of its own, so a window that vanishes halfway through
// a query costs an error event on that connection and nothing else.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <vector>

#include "platform/sdl/sdl_host.h"

namespace pf::sdl::x11 {

namespace {

Display* display = nullptr;
XErrorHandler previousHandler = nullptr;
bool filterInstalled = false;
bool trapped = false;
std::vector<unsigned long> watched;

int on_error(Display* d, XErrorEvent* e) {
    if (d == display) {
        trapped = true;
        return 0;
    }
    if (std::find(watched.begin(), watched.end(), e->resourceid) != watched.end()) return 0;
    return previousHandler ? previousHandler(d, e) : 0;
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
    static Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    static Atom utf8String = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, w, netWmName, 0, 4096, False, utf8String, &type, &format,
                           &items, &after, &data) == Success &&
        data && type == utf8String && format == 8) {
        name->assign(reinterpret_cast<const char*>(data), items);
        XFree(data);
        return true;
    }
    if (data) XFree(data);
    XTextProperty prop{};
    if (!XGetWMName(display, w, &prop) || !prop.value) return false;
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
        if (Xutf8TextPropertyToTextList(display, &prop, &list, &count) >= Success && list) {
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
    if (!display) display = XOpenDisplay(nullptr);
    return display != nullptr;
}

void close() {
    if (filterInstalled) {
        XSetErrorHandler(previousHandler);
        filterInstalled = false;
    }
    if (display) XCloseDisplay(display);
    display = nullptr;
    watched.clear();
}

void install_error_filter() {
    if (filterInstalled) return;
    previousHandler = XSetErrorHandler(on_error);
    filterInstalled = true;
}

void watch(std::uintptr_t window) { watched.push_back(static_cast<unsigned long>(window)); }

void unwatch(std::uintptr_t window) {
    auto it = std::find(watched.begin(), watched.end(), static_cast<unsigned long>(window));
    if (it != watched.end()) watched.erase(it);
}

bool window_rect(std::uintptr_t id, RECT* rect) {
    if (!display || !plausible(id) || !filterInstalled) return false;
    Window w = static_cast<Window>(id);
    XSync(display, False);
    trapped = false;
    XWindowAttributes a{};
    if (!XGetWindowAttributes(display, w, &a) || trapped) return false;
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display, w, a.root, 0, 0, &x, &y, &child) || trapped) return false;
    if (rect) *rect = RECT{x, y, x + a.width, y + a.height};
    return true;
}

bool window_alive(std::uintptr_t id) { return window_rect(id, nullptr); }

bool follow(std::uintptr_t id) {
    if (!display || !plausible(id) || !filterInstalled) return false;
    XSync(display, False);
    trapped = false;
    // StructureNotify is not exclusive: the daemon and others may select it too.
    XSelectInput(display, static_cast<Window>(id), StructureNotifyMask);
    XSync(display, False);
    return !trapped;
}

Change changes(std::uintptr_t id, int* width, int* height) {
    if (!display) return Change::Nothing;
    Change change = Change::Nothing;
    XEvent e;
    // Reads what has arrived; never waits for the server.
    while (XCheckWindowEvent(display, static_cast<Window>(id), StructureNotifyMask, &e)) {
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
    return display ? static_cast<std::uintptr_t>(DefaultRootWindow(display)) : 0;
}

bool cursor_pos(POINT* point) {
    if (!display) return false;
    Window root = 0, child = 0;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &mask))
        return false;  // the pointer is on another screen
    *point = POINT{x, y};
    return true;
}

std::uintptr_t find_by_title(const std::string& utf8) {
    if (!display || !filterInstalled) return 0;
    XSync(display, False);
    // Breadth first from the root: top-level windows before the client
    // windows that a window manager put inside its frames.
    std::vector<Window> level{DefaultRootWindow(display)};
    for (int depth = 0; depth < 3 && !level.empty(); ++depth) {
        std::vector<Window> next;
        for (Window parent : level) {
            trapped = false;
            Window root = 0, up = 0, *children = nullptr;
            unsigned int count = 0;
            if (!XQueryTree(display, parent, &root, &up, &children, &count) || trapped) continue;
            // Topmost first, as a search by title finds the window in front.
            for (unsigned int i = count; i-- > 0;) {
                std::string name;
                trapped = false;
                if (window_name(children[i], &name) && !trapped && name == utf8) {
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

}  // namespace pf::sdl::x11
