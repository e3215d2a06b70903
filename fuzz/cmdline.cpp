// The command line: parse_command_line on the input (up to its first NUL),
// then the whole start-up with it on a small scene, with a window of another
// program present whose handle a command line may name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "apps/linux/about_dialog.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/seed_scenes.h"
#include "shell/shell.h"

namespace {

const sg::pack::Bytes& small_scene() {
    static const sg::pack::Bytes bytes = sg::pack::package_bytes(sg::fuzz::small_scene());
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace hl = pf::headless;
    std::string text(reinterpret_cast<const char*>(data), size);
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));

    // The about box, as the Linux program hands it over (it outlasts reset()).
    static const bool dialogs = (sg::app::register_dialogs(), true);
    (void)dialogs;
    hl::reset();
    pf::HWND pane = hl::create_foreign_window("pane", 0, 0, 200, 150);

    sg::RunMode mode = sg::RunMode::Unset;
    pf::HWND handle = pane;
    if (sg::parse_command_line(text.c_str(), &mode, &handle)) {
        sg::fuzz::check(mode >= sg::RunMode::Saver && mode <= sg::RunMode::Preview, "accepted with no run mode");
        sg::fuzz::check(mode != sg::RunMode::Preview || pf::IsWindow(handle), "preview accepted without a window");
    }

    // The same text through WinMain; the safety net ends a saver after 3 ticks.
    hl::reset();
    hl::create_foreign_window("pane", 0, 0, 200, 150);
    hl::set_package(small_scene().data(), small_scene().size());
    hl::set_screen_size(160, 120);
    hl::set_timer_limit(3);
    const int status = sg::WinMain(nullptr, text.c_str());
    sg::fuzz::check(status == 0 || status == 1, "exit status other than 0 or 1");
    sg::fuzz::check_nothing_alive("WinMain returned");
    return 0;
}
