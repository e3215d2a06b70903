#include "platform/sdl/desktop.h"

#include <algorithm>

namespace pf::sdl {

namespace {

RECT moved(RECT r, POINT by) { return RECT{r.left + by.x, r.top + by.y, r.right + by.x, r.bottom + by.y}; }

bool intersect(const RECT& a, const RECT& b, RECT* out) {
    *out = RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
    return out->right > out->left && out->bottom > out->top;
}

}  // namespace

Desktop lay_out(const std::vector<ScreenMonitor>& monitors, int home, const std::vector<POINT>& screenSizes) {
    Desktop d;
    const int screens = int(screenSizes.size());
    d.home = home >= 0 && home < screens ? home : 0;
    d.screenSize = screenSizes;
    d.screenOffset.assign(screenSizes.size(), POINT{0, 0});
    for (const ScreenMonitor& m : monitors)
        if (m.screen >= 0 && m.screen < screens && m.root.right > m.root.left && m.root.bottom > m.root.top)
            d.monitors.push_back(m);
    for (int s = 0; s < screens; ++s)
        if (std::none_of(d.monitors.begin(), d.monitors.end(), [&](const ScreenMonitor& m) { return m.screen == s; }))
            d.monitors.push_back(ScreenMonitor{s, RECT{0, 0, screenSizes[s].x, screenSizes[s].y}, false});
    if (d.monitors.empty()) return d;
    // The primary: the one marked so on the home screen, else the home
    // screen's first, else the first of all.
    auto on_home = [&](const ScreenMonitor& m) { return m.screen == d.home; };
    auto primary = std::find_if(d.monitors.begin(), d.monitors.end(),
                                [&](const ScreenMonitor& m) { return on_home(m) && m.primary; });
    if (primary == d.monitors.end()) primary = std::find_if(d.monitors.begin(), d.monitors.end(), on_home);
    if (primary == d.monitors.end()) primary = d.monitors.begin();
    std::rotate(d.monitors.begin(), primary, primary + 1);
    for (ScreenMonitor& m : d.monitors) m.primary = false;
    d.monitors.front().primary = true;
    const ScreenMonitor& p = d.monitors.front();
    const POINT homeOffset{-p.root.left, -p.root.top};
    d.screenOffset[p.screen] = homeOffset;
    LONG right = screenSizes[p.screen].x + homeOffset.x;
    for (int s = 0; s < screens; ++s) {
        if (s == p.screen) continue;
        d.screenOffset[s] = POINT{right, homeOffset.y};
        right += screenSizes[s].x;
    }
    for (const ScreenMonitor& m : d.monitors) d.rects.push_back(moved(m.root, d.screenOffset[m.screen]));
    return d;
}

std::vector<Piece> pieces_of(const Desktop& desktop, const RECT& window) {
    std::vector<Piece> out;
    for (int s = 0; s < int(desktop.screenSize.size()); ++s) {
        const POINT o = desktop.screenOffset[s];
        const RECT screen = moved(RECT{0, 0, desktop.screenSize[s].x, desktop.screenSize[s].y}, o);
        RECT shown;
        if (!intersect(screen, window, &shown)) continue;
        out.push_back(Piece{s, moved(shown, POINT{-o.x, -o.y}),
                            POINT{shown.left - window.left, shown.top - window.top}});
    }
    if (out.empty()) {
        const POINT o = desktop.screenOffset.empty() ? POINT{0, 0} : desktop.screenOffset[desktop.home];
        out.push_back(Piece{desktop.home, moved(window, POINT{-o.x, -o.y}), POINT{0, 0}});
    }
    return out;
}

POINT to_desktop(const Desktop& desktop, int screen, POINT root) {
    if (screen < 0 || screen >= int(desktop.screenOffset.size())) return root;
    return POINT{root.x + desktop.screenOffset[screen].x, root.y + desktop.screenOffset[screen].y};
}

}  // namespace pf::sdl
