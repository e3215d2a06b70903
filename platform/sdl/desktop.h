// The desktop as the engine sees it, made of what the display has: monitors
// on one or more X screens. The engine's coordinates have the primary
// monitor's top left at (0, 0), others around it (perhaps at negative
// coordinates); each X screen has its own root window whose (0, 0) is its
// top left. Screens other than the home one (where SDL makes windows) are
// laid out to the right of it, one after the other, tops level with the
// home screen's top. Pure arithmetic: no display is needed.
#pragma once

#include <vector>

#include "platform/platform.h"

namespace pf::sdl {

struct ScreenMonitor {
    int screen = 0;  // the X screen (0 where there is only one)
    RECT root{};     // in that screen's root window
    bool primary = false;
};

struct Desktop {
    int home = 0;
    // Primary first, then the others in the display's order.
    std::vector<ScreenMonitor> monitors;
    std::vector<RECT> rects;  // each monitor in desktop coordinates
    // Per X screen: its size, and what is added to a root position to give
    // the desktop position.
    std::vector<POINT> screenSize;
    std::vector<POINT> screenOffset;
};

// screenSizes: width and height of every X screen, by number. Monitors on a
// screen that does not exist are left out; a screen with none counts whole.
Desktop lay_out(const std::vector<ScreenMonitor>& monitors, int home, const std::vector<POINT>& screenSizes);

// A window at a desktop rectangle is shown on each X screen it reaches: the
// piece on that screen, where it is in that screen's root window, and where
// the piece's top left is in the window. A window that reaches no screen is
// one piece on the home screen.
struct Piece {
    int screen = 0;
    RECT root{};
    POINT origin{};
};
std::vector<Piece> pieces_of(const Desktop& desktop, const RECT& window);

// A position on an X screen in desktop coordinates.
POINT to_desktop(const Desktop& desktop, int screen, POINT root);

}  // namespace pf::sdl
