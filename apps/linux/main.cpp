// snowglobe for Linux: the saver engine with SDL2 for the window, input and
// sound. The scene is the one appended to this executable, or that of the
// file given with --scene. The options are in options.cpp (USAGE lists them).
//
// On a high-DPI screen the scene runs at the screen's logical size and is
// shown enlarged by a whole factor: --scale N, else SNOWGLOBE_SCALE, else
// GDK_SCALE, else the Xft.dpi resource over 96. X11 has one such factor for
// the whole display, so every monitor has the same DPI.
//
// With several monitors, "/s" finds them on the display (RandR, Xinerama, X
// screens); --monitors says whether the scene plays on the primary one, on
// each, or across them all, whatever the scene itself asks.
//
// As a screen-saver daemon runs it (-root, -window-id N, -window), the engine
// runs as "/s" at the target window's size, and again from the start
// whenever that size changes, until SIGTERM (input does not end it).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "apps/linux/about_dialog.h"
#include "apps/linux/options.h"
#include "apps/linux/scene_file.h"
#include "format/package_format.h"
#include "platform/headless/headless.h"
#include "platform/sdl/sdl_host.h"
#include "shell/shell.h"

namespace {

using sg::app::DaemonMode;
using sg::app::Options;

// The screen's dots per inch as the engine is to see them: 96 times a
// factor given by the user or the desktop, or the display's Xft.dpi.
int screen_dpi(int scale) {
    if (scale > 0) return 96 * scale;
    auto factor = [](const char* text) -> int {
        if (text == nullptr || *text == '\0') return 0;
        char* end = nullptr;
        const long v = std::strtol(text, &end, 10);
        return *end == '\0' && v >= 1 && v <= 64 ? static_cast<int>(v) : 0;
    };
    for (const char* name : {"SNOWGLOBE_SCALE", "GDK_SCALE"}) {
        if (const int s = factor(std::getenv(name))) return 96 * s;
    }
    const int xft = pf::sdl::x11::xft_dpi();
    return xft > 0 ? xft : 96;
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

// The scene the engine is to find as its package resource: the file's, when
// one was given (handed over again after every reset of the backend).
struct Scene {
    sg::app::SceneFile file;
    bool given = false;
    void hand_over() const {
        if (given) pf::headless::set_package(file.package().data(), file.package().size());
    }
};

// The code page of the scene's title, which names the saver's window.
std::uint32_t title_code_page(const Scene& scene, pf::HINSTANCE instance) {
    if (scene.given) return sg::app::package_code_page(scene.file.package());
    pf::HRSRC resource = pf::FindResourceA(instance, pf::MAKEINTRESOURCEA(sg::format::PACKAGE_RESOURCE_ID),
                                           sg::format::PACKAGE_RESOURCE_TYPE);
    pf::HGLOBAL loaded = resource ? pf::LoadResource(instance, resource) : nullptr;
    const auto* bytes = static_cast<const std::uint8_t*>(loaded ? pf::LockResource(loaded) : nullptr);
    if (!bytes) return sg::format::textrecord::DEFAULT_CODE_PAGE;
    return sg::app::package_code_page({bytes, static_cast<std::size_t>(pf::SizeofResource(instance, resource))});
}

// The engine, as WinMain runs it, with the user's choice of monitor mode.
int run_engine(pf::HINSTANCE instance, const char* arguments, const Options& options) {
    std::unique_ptr<sg::SaverState> saver(new (std::nothrow) sg::SaverState());
    if (!saver) return 0;
    saver->monitorsOverride = options.monitors;
    return sg::run_program(*saver, instance, arguments);
}

int run_daemon(const Options& options, const Scene& scene, pf::HINSTANCE instance, int dpi) {
    const pf::sdl::HackMode mode =
        options.daemon == DaemonMode::OwnWindow ? pf::sdl::HackMode::OwnWindow : pf::sdl::HackMode::Target;
    std::uintptr_t window = options.window;
    if (mode == pf::sdl::HackMode::Target) {
        if (options.daemon == DaemonMode::Root && !window) window = pf::sdl::x11::root_window();
        if (!window) {
            std::fprintf(stderr, "snowglobe: -root and -window-id need an X11 display\n");
            return 1;
        }
    }
    if (!pf::sdl::set_hack_mode(mode, window)) {
        std::fprintf(stderr, "snowglobe: there is no window 0x%llx to draw into\n",
                     static_cast<unsigned long long>(window));
        return 1;
    }
    const std::string scope = guard_scope(mode, window);
    for (;;) {
        pf::headless::set_host_driver(pf::sdl::display_driver());
        pf::headless::set_guard_scope(scope);
        pf::headless::set_screen_dpi(dpi);
        scene.hand_over();
        int status = run_engine(instance, "/s", options);
        if (!pf::sdl::take_rebuild_request()) return status;
        // A new size: everything from the start, as a fresh process would
        // (WinMain begins with a fresh saver of its own).
        pf::headless::reset();
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Options options =
        sg::app::parse_options(std::vector<std::string>(argv + 1, argv + argc), std::getenv("XSCREENSAVER_WINDOW"));
    switch (options.action) {
    case Options::Action::Help:
        std::fputs(sg::app::USAGE, stdout);
        return 0;
    case Options::Action::Version:
        std::printf("snowglobe %s\n", SNOWGLOBE_VERSION);
        return 0;
    case Options::Action::Refuse:
        std::fprintf(stderr, "snowglobe: %s\n", options.refusal.c_str());
        return 1;
    case Options::Action::Run:
        break;
    }
    Scene scene;
    if (!options.scene.empty()) {
        scene.file = sg::app::read_scene_file(options.scene);
        if (!scene.file.ok) {
            std::fprintf(stderr, "snowglobe: %s\n", scene.file.refusal.c_str());
            return 1;
        }
        scene.given = true;
    }
    std::string why;
    const bool shown = pf::sdl::open_display(&why);
    if (!shown && (options.daemon != DaemonMode::Off || !sg::app::asks_for_about_box(options.saverArguments))) {
        std::fprintf(stderr,
                     "snowglobe: no display to run on: %s.\n"
                     "Start it inside an X11 session (DISPLAY set), or use \"snowglobe /c\" "
                     "to print the scene's about text.\n",
                     why.c_str());
        return 1;
    }
    sg::app::register_dialogs();
    // Any non-null token: the package is found through the executable itself.
    auto* instance = reinterpret_cast<pf::HINSTANCE>(std::uintptr_t{0x400000});
    const int dpi = screen_dpi(options.scale);
    scene.hand_over();
    pf::sdl::set_title_code_page(title_code_page(scene, instance));
    int status = 0;
    if (options.daemon != DaemonMode::Off) {
        status = run_daemon(options, scene, instance, dpi);
    } else {
        pf::headless::set_host_driver(shown ? pf::sdl::display_driver() : pf::sdl::console_driver());
        pf::headless::set_screen_dpi(dpi);
        // The monitors beside the primary one, as the engine is to see them.
        // Under a daemon there are none: its window is the saver's screen.
        if (shown) {
            const std::vector<pf::RECT> monitors = pf::sdl::desktop_monitors();
            if (monitors.size() > 1) pf::headless::set_other_monitors({monitors.begin() + 1, monitors.end()});
        }
        // The screen, as -root without a daemon's window names it.
        if (shown) pf::headless::set_guard_scope(guard_scope(pf::sdl::HackMode::Off, pf::sdl::x11::root_window()));
        status = run_engine(instance, options.saverArguments.c_str(), options);
    }
    pf::headless::set_host_driver(nullptr);
    pf::sdl::close_display();
    return status;
}
