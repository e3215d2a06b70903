#include "apps/linux/options.h"

#include <cerrno>
#include <cstdlib>

namespace sg::app {

const char* const USAGE =
    "usage: snowglobe [--scene FILE] [--scale N] [--monitors HOW] [MODE]\n"
    "\n"
    "Modes, as a screen saver is started:\n"
    "  /s                 full screen until a key, a click or a mouse step\n"
    "  /p WINDOW-ID       draw into that X11 window (a preview pane)\n"
    "  /c, or nothing     the scene's about box (printed when there is no display)\n"
    "and as a screen-saver daemon starts it, until SIGTERM:\n"
    "  -root              full screen in $XSCREENSAVER_WINDOW, or the root window\n"
    "  -window-id ID      full screen in that window (decimal or 0x-hex), at its size\n"
    "  -window            in a resizable window of its own, to try a scene out\n"
    "\n"
    "Options:\n"
    "  --scene FILE       play the scene of FILE: a scene package (.kavren), a\n"
    "                     Windows saver (.scr) or another bound snowglobe program\n"
    "  --scale N          show the scene enlarged N times (1 to 64; default:\n"
    "                     SNOWGLOBE_SCALE, GDK_SCALE, or the display's Xft.dpi / 96)\n"
    "  --monitors HOW     how /s uses several monitors, whatever the scene says:\n"
    "                     primary (the scene on the main one, the others black),\n"
    "                     each (every monitor plays it at its own size) or span\n"
    "                     (one scene across them all)\n"
    "  --version          print the version\n"
    "  --help             print this text\n";

namespace {

bool is_option(const std::string& arg, const char* name) {
    return arg == std::string("-") + name || arg == std::string("--") + name;
}

Options refuse(std::string why) {
    Options o;
    o.action = Options::Action::Refuse;
    o.refusal = std::move(why);
    return o;
}

// 1..64, written as plain decimal digits; 0 otherwise.
int scale_factor(const std::string& text) {
    if (text.empty() || text.size() > 2) return 0;
    for (char c : text)
        if (c < '0' || c > '9') return 0;
    const int v = std::atoi(text.c_str());
    return v >= 1 && v <= 64 ? v : 0;
}

// A window handle as the engine reads it after /p or /c: decimal digits with
// an optional sign.
bool is_handle(const std::string& arg) {
    std::size_t i = arg[0] == '+' || arg[0] == '-' ? 1 : 0;
    if (i == arg.size()) return false;
    for (; i < arg.size(); ++i)
        if (arg[i] < '0' || arg[i] > '9') return false;
    return true;
}

bool takes_handle(const std::string& mode) {
    return mode.size() == 2 && mode[0] == '/' &&
           (mode[1] == 'p' || mode[1] == 'P' || mode[1] == 'c' || mode[1] == 'C');
}

std::optional<format::MonitorMode> monitor_mode(const std::string& text) {
    if (text == "primary") return format::MonitorMode::Primary;
    if (text == "each") return format::MonitorMode::Each;
    if (text == "span") return format::MonitorMode::Span;
    return std::nullopt;
}

const char* const SCENE_HINT = " (to play the scene of a file: --scene FILE; --help for the rest)";

}  // namespace

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

bool asks_for_about_box(const std::string& text) {
    return text.empty() || (text.size() >= 2 && text[0] == '/' && (text[1] == 'c' || text[1] == 'C'));
}

Options parse_options(const std::vector<std::string>& args, const char* xscreensaverWindow) {
    Options o;
    // The program's own options may stand anywhere; what is left is the mode.
    std::vector<std::string> rest;
    bool sawScale = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (is_option(arg, "help") || arg == "-h") {
            o.action = Options::Action::Help;
            return o;
        }
        if (is_option(arg, "version")) {
            o.action = Options::Action::Version;
            return o;
        }
        if (is_option(arg, "scale") && !sawScale) {
            o.scale = i + 1 < args.size() ? scale_factor(args[i + 1]) : 0;
            if (o.scale == 0) return refuse("--scale needs a whole number from 1 to 64");
            sawScale = true;
            ++i;
            continue;
        }
        if (is_option(arg, "monitors") || arg.rfind("--monitors=", 0) == 0) {
            if (o.monitors) return refuse("--monitors is given twice");
            const bool joined = arg.rfind("--monitors=", 0) == 0;
            const std::string how = joined ? arg.substr(11) : i + 1 < args.size() ? args[++i] : "";
            o.monitors = monitor_mode(how);
            if (!o.monitors)
                return refuse((how.empty() ? std::string("--monitors needs") : "--monitors \"" + how + "\" is not") +
                              " one of primary, each, span");
            continue;
        }
        if (is_option(arg, "scene") || arg.rfind("--scene=", 0) == 0) {
            if (!o.scene.empty()) return refuse("--scene is given twice");
            const bool joined = arg.rfind("--scene=", 0) == 0;
            o.scene = joined ? arg.substr(8) : i + 1 < args.size() ? args[++i] : "";
            if (o.scene.empty()) return refuse("--scene needs a file: a scene package, a .scr or a bound snowglobe program");
            continue;
        }
        rest.push_back(arg);
    }

    if (!rest.empty()) {
        const std::string& first = rest[0];
        std::size_t used = 1;
        if (is_option(first, "root")) {
            o.daemon = DaemonMode::Root;
            if (xscreensaverWindow && *xscreensaverWindow) {
                if (!parse_window_id(xscreensaverWindow, &o.window))
                    return refuse("XSCREENSAVER_WINDOW=\"" + std::string(xscreensaverWindow) +
                                  "\" is not a window id (decimal, or 0x and hexadecimal digits)");
            }
        } else if (is_option(first, "window-id")) {
            o.daemon = DaemonMode::WindowId;
            if (rest.size() < 2 || !parse_window_id(rest[1].c_str(), &o.window))
                return refuse("-window-id needs a window id (decimal, or 0x and hexadecimal digits)");
            used = 2;
        } else if (is_option(first, "window")) {
            o.daemon = DaemonMode::OwnWindow;
        }
        if (o.daemon != DaemonMode::Off) {
            if (rest.size() > used)
                return refuse("unexpected \"" + rest[used] + "\" after " + first + SCENE_HINT);
            return o;
        }
    }

    // The engine's own modes: each word starts with '/' or '-', but for a
    // window handle right after /p or /c; a second '/' makes a word a path.
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        const bool word = !arg.empty() && (arg[0] == '/' || arg[0] == '-') &&
                          arg.find('/', 1) == std::string::npos;
        const bool handle = i == 1 && !arg.empty() && is_handle(arg) && takes_handle(rest[0]);
        if (!handle && !word)
            return refuse("unexpected \"" + arg + "\"" + SCENE_HINT);
        if (i > 0) o.saverArguments += ' ';
        o.saverArguments += arg;
    }
    return o;
}

}  // namespace sg::app
