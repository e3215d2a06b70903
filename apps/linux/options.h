// The Linux program's command line, read without touching the display, the
// environment or the files it names, so that every case can be tried alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/package_format.h"

namespace sg::app {

extern const char* const USAGE;

// How a screen-saver daemon runs the program (-root, -window-id, -window).
enum class DaemonMode { Off, Root, WindowId, OwnWindow };

struct Options {
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    std::string refusal;       // Refuse: the one line to print after "snowglobe: "
    int scale = 0;             // --scale N (1..64); 0 when not given
    std::string scene;         // --scene FILE; empty: the scene this program carries
    DaemonMode daemon = DaemonMode::Off;
    std::uintptr_t window = 0; // -window-id N, or XSCREENSAVER_WINDOW for -root
    // --monitors primary|each|span: wins over the scene's own choice.
    std::optional<format::MonitorMode> monitors;
    // Off: what the engine reads, the arguments joined by blanks ("/s",
    // "/p 1234", "/c", "" for the about box).
    std::string saverArguments;
};

// args: the arguments after the program's name. xscreensaverWindow: that
// variable of the environment (null when unset), which -root draws into.
Options parse_options(const std::vector<std::string>& args, const char* xscreensaverWindow);

// An X window id, as daemons write them: decimal or 0x-hexadecimal.
bool parse_window_id(const char* text, std::uintptr_t* id);

// Whether the engine, given these arguments, shows the about box (the only
// mode that needs no display: it is printed then).
bool asks_for_about_box(const std::string& saverArguments);

}  // namespace sg::app
