// snowglobe for Linux: the saver engine with SDL2 for the window, input and
// sound. The scene package is the one appended to this executable.
//
//   snowglobe /s        full screen until a key, a click or a mouse step
//   snowglobe /p N      draw into the X11 window whose id is N (a preview pane)
//   snowglobe /c [N]    the about box (also without a display: printed)
//   snowglobe --version the program's version
//
// On a high-DPI screen the scene runs at the screen's logical size and is
// shown enlarged by a whole factor: --scale N (anywhere on the command line),
// else SNOWGLOBE_SCALE, else GDK_SCALE, else the Xft.dpi resource over 96.
//
// and as a screen-saver daemon runs it, until SIGTERM (input does not end it):
//
//   snowglobe -root          full screen in $XSCREENSAVER_WINDOW, or the root window
//   snowglobe -window-id N   full screen in window N (decimal or 0x-hex), at its size
//   snowglobe -window        in a resizable window of its own, to try a scene out
//
// In those modes the engine runs as "/s" at the target window's size, and
// again from the start whenever that size changes.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/headless/headless.h"
#include "platform/sdl/sdl_host.h"
#include "shell/shell.h"

namespace {

// The Configure texts of the command line: empty, or "/c" and "/C" with
// anything behind them.
bool asks_for_about_box(const std::string& text) {
    return text.empty() || (text.size() >= 2 && text[0] == '/' && (text[1] == 'c' || text[1] == 'C'));
}

// An X window id, as daemons write them: decimal or 0x-hexadecimal.
bool parse_window_id(const char* text, std::uintptr_t* id) {
    if (!text || !*text || *text == '-' || *text == '+') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text, &end, 0);
    // strtoull's base 0 reads a leading 0 as octal; daemons never write that.
    if (text[0] == '0' && text[1] >= '0' && text[1] <= '9') return false;
    if (errno || *end || v == 0 || v > 0x1FFFFFFFull) return false;
    *id = static_cast<std::uintptr_t>(v);
    return true;
}

// The screen's dots per inch as the engine is to see them: 96 times a
// factor given by the user or the desktop, or the display's Xft.dpi.
// -1 when --scale is malformed.
int screen_dpi(int* argc, char** argv) {
    auto factor = [](const char* text) -> int {
        if (text == nullptr || *text == '\0') return 0;
        char* end = nullptr;
        const long v = std::strtol(text, &end, 10);
        return *end == '\0' && v >= 1 && v <= 64 ? static_cast<int>(v) : 0;
    };
    for (int i = 1; i < *argc; ++i) {
        if (std::strcmp(argv[i], "--scale") != 0 && std::strcmp(argv[i], "-scale") != 0) continue;
        const int s = i + 1 < *argc ? factor(argv[i + 1]) : 0;
        if (s == 0) return -1;
        for (int j = i; j + 2 <= *argc; ++j) argv[j] = argv[j + 2];  // take both out
        *argc -= 2;
        return 96 * s;
    }
    for (const char* name : {"SNOWGLOBE_SCALE", "GDK_SCALE"}) {
        if (const int s = factor(std::getenv(name))) return 96 * s;
    }
    const int xft = pf::sdl::x11::xft_dpi();
    return xft > 0 ? xft : 96;
}

bool is_option(const std::string& arg, const char* name) { return arg == std::string("-") + name || arg == std::string("--") + name; }

struct Hack {
    pf::sdl::HackMode mode = pf::sdl::HackMode::Off;
    std::uintptr_t window = 0;  // -window-id N, or XSCREENSAVER_WINDOW for -root
    bool root = false;          // -root without XSCREENSAVER_WINDOW
};

// The daemon's options, when argv[1] is one of them. False, with the reason
// printed, when they are malformed.
bool parse_hack(int argc, char** argv, Hack* hack) {
    if (argc < 2) return true;
    std::string first = argv[1];
    int used = 2;
    if (is_option(first, "root")) {
        hack->mode = pf::sdl::HackMode::Target;
        const char* env = std::getenv("XSCREENSAVER_WINDOW");
        if (env && *env) {
            if (!parse_window_id(env, &hack->window)) {
                std::fprintf(stderr, "snowglobe: XSCREENSAVER_WINDOW=\"%s\" is not a window id "
                             "(decimal, or 0x and hexadecimal digits)\n", env);
                return false;
            }
        } else {
            hack->root = true;
        }
    } else if (is_option(first, "window-id")) {
        hack->mode = pf::sdl::HackMode::Target;
        if (argc < 3 || !parse_window_id(argv[2], &hack->window)) {
            std::fprintf(stderr, "snowglobe: -window-id needs a window id (decimal, or 0x and hexadecimal digits)\n");
            return false;
        }
        used = 3;
    } else if (is_option(first, "window")) {
        hack->mode = pf::sdl::HackMode::OwnWindow;
    } else {
        return true;
    }
    if (argc > used) {
        std::fprintf(stderr, "snowglobe: unexpected \"%s\" after %s\n", argv[used], argv[1]);
        return false;
    }
    return true;
}

// "host:N.S" without ".S" (the root window names the screen), and the
// local forms ":N" and "unix:N" alike.
std::string display_name() {
    std::string name = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    const std::size_t colon = name.rfind(':');
    if (colon == std::string::npos) return name;
    const std::size_t dot = name.find('.', colon);
    if (dot != std::string::npos) name.erase(dot);
    if (name.compare(0, colon, "unix") == 0) name.erase(0, colon);
    return name;
}

// The guard keeps a second copy of a scene out of the place the first one
// draws in: a window of the display. "/s" and -root without a daemon's
// window draw into the same place, the screen, whose root window stands for
// it; -window-id and a daemon's window are their own places, so that a
// daemon can run one copy per monitor. X window ids are per display. Empty
// (the process's session) where there is no X11.
std::string guard_scope(pf::sdl::HackMode mode, std::uintptr_t window) {
    if (mode == pf::sdl::HackMode::OwnWindow)  // a window of our own: nobody else's
        return "window of process " + std::to_string(static_cast<long>(getpid()));
    if (!window) return {};
    char scope[128];
    std::snprintf(scope, sizeof scope, "%s window 0x%llx", display_name().c_str(),
                  static_cast<unsigned long long>(window));
    return scope;
}

int run_hack(Hack hack, pf::HINSTANCE instance, int dpi) {
    if (hack.mode == pf::sdl::HackMode::Target) {
        if (hack.root) hack.window = pf::sdl::x11::root_window();
        if (!hack.window) {
            std::fprintf(stderr, "snowglobe: -root and -window-id need an X11 display\n");
            return 1;
        }
    }
    if (!pf::sdl::set_hack_mode(hack.mode, hack.window)) {
        std::fprintf(stderr, "snowglobe: there is no window 0x%llx to draw into\n",
                     static_cast<unsigned long long>(hack.window));
        return 1;
    }
    const std::string scope = guard_scope(hack.mode, hack.window);
    for (;;) {
        pf::headless::set_host_driver(pf::sdl::display_driver());
        pf::headless::set_guard_scope(scope);
        pf::headless::set_screen_dpi(dpi);
        int status = sg::WinMain(instance, "/s");
        if (!pf::sdl::take_rebuild_request()) return status;
        // A new size: everything from the start, as a fresh process would
        // (WinMain begins with a fresh saver of its own).
        pf::headless::reset();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-version") == 0)) {
        std::printf("snowglobe %s\n", SNOWGLOBE_VERSION);
        return 0;
    }
    // --scale comes out of the arguments first; the Xft.dpi fallback is read
    // once the display is open.
    int dpi = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scale") == 0 || std::strcmp(argv[i], "-scale") == 0) {
            dpi = screen_dpi(&argc, argv);
            if (dpi < 0) {
                std::fprintf(stderr, "snowglobe: --scale needs a whole number from 1 to 64\n");
                return 1;
            }
            break;
        }
    }
    Hack hack;
    if (!parse_hack(argc, argv, &hack)) return 1;
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    std::string why;
    const bool shown = pf::sdl::open_display(&why);
    if (!shown && (hack.mode != pf::sdl::HackMode::Off || !asks_for_about_box(text))) {
        std::fprintf(stderr,
                     "snowglobe: no display to run on: %s.\n"
                     "Start it inside an X11 session (DISPLAY set), or use \"snowglobe /c\" "
                     "to print the scene's about text.\n",
                     why.c_str());
        return 1;
    }
    // Any non-null token: the package is found through the executable itself.
    auto* instance = reinterpret_cast<pf::HINSTANCE>(std::uintptr_t{0x400000});
    if (dpi == 0) dpi = screen_dpi(&argc, argv);
    int status = 0;
    if (hack.mode != pf::sdl::HackMode::Off) {
        status = run_hack(hack, instance, dpi);
    } else {
        pf::headless::set_host_driver(shown ? pf::sdl::display_driver() : pf::sdl::console_driver());
        pf::headless::set_screen_dpi(dpi);
        // The screen, as -root without a daemon's window names it.
        if (shown) pf::headless::set_guard_scope(guard_scope(hack.mode, pf::sdl::x11::root_window()));
        status = sg::WinMain(instance, text.c_str());
    }
    pf::headless::set_host_driver(nullptr);
    pf::sdl::close_display();
    return status;
}
