// snowglobe for Linux: the saver engine with SDL2 for the window, input and
// sound. The scene package is the one appended to this executable.
//
//   snowglobe /s        full screen until a key, a click or a mouse step
//   snowglobe /p N      draw into the X11 window whose id is N (a preview pane)
//   snowglobe /c [N]    the about box (also without a display: printed)
#include <cstdio>
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

}  // namespace

int main(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    std::string why;
    if (pf::sdl::open_display(&why)) {
        pf::headless::set_host_driver(pf::sdl::display_driver());
    } else if (asks_for_about_box(text)) {
        pf::headless::set_host_driver(pf::sdl::console_driver());
    } else {
        std::fprintf(stderr,
                     "snowglobe: no display to run on: %s.\n"
                     "Start it inside an X11 session (DISPLAY set), or use \"snowglobe /c\" "
                     "to print the scene's about text.\n",
                     why.c_str());
        return 1;
    }
    // Any non-null token: the package is found through the executable itself.
    auto* instance = reinterpret_cast<pf::HINSTANCE>(std::uintptr_t{0x400000});
    int status = sg::WinMain(instance, text.c_str());
    pf::headless::set_host_driver(nullptr);
    pf::sdl::close_display();
    return status;
}
