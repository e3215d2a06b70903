// Full screen on a desktop of several monitors, when the package (or the
// user) asks for more than the primary monitor:
//  - Each: every monitor gets a saver of its own, at the monitor's size and
//    scaled by the monitor's own DPI, in a window over the monitor. The
//    primary's saver owns the others; its one timer ticks them all in
//    monitor order. Each saver moves its own world with its own random
//    sequence, so a monitor shows what one monitor of its size would.
//  - Span: one saver whose screen is the bounding box of all monitors, in
//    one window over it, scaled by the primary's DPI.
// A monitor that lies within the primary's area (a mirror of it) shows the
// primary's saver already; a desktop with no other monitor plays as Primary.
#include <cstring>
#include <new>

#include "shell/shell.h"

namespace sg {

namespace {

struct MonitorPlace {
    pf::HMONITOR handle;
    pf::RECT rect;
    bool primary;
};

struct MonitorList {
    int count = 0;
    MonitorPlace places[MAX_MONITOR_SAVERS]{};
};

pf::BOOL list_monitor(pf::HMONITOR monitor, pf::HDC, pf::RECT*, pf::LPARAM data) {
    auto* list = reinterpret_cast<MonitorList*>(data);
    pf::MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!pf::GetMonitorInfoA(monitor, &info)) return 1;
    const pf::RECT& r = info.rcMonitor;
    if (r.right <= r.left || r.bottom <= r.top) return 1;
    if (list->count == MAX_MONITOR_SAVERS) return 0;
    list->places[list->count++] =
        MonitorPlace{monitor, r, (info.dwFlags & pf::MONITORINFOF_PRIMARY) != 0};
    return 1;
}

bool inside(const pf::RECT& r, const pf::RECT& area) {
    return r.left >= area.left && r.top >= area.top && r.right <= area.right &&
           r.bottom <= area.bottom;
}

// The saver's window over `area` of the desktop, its world at the area's
// size over `scale`.
void place(SaverState& saver, const pf::RECT& area, int scale) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    saver.displayScale = scale;
    saver.windowX = area.left;
    saver.windowY = area.top;
    saver.windowWidth = width;
    saver.windowHeight = height;
    saver.world.screenWidth = width / scale;
    saver.world.screenHeight = height / scale;
}

pf::HWND create_window(SaverState& saver) {
    return create_saver_window(saver, saver.windowX, saver.windowY, saver.windowWidth,
                               saver.windowHeight);
}

// No window, so no quit message would ever come: the program ends here.
int end_without_window(SaverState& saver) {
    pf::CloseHandle(saver.instanceGuard);
    saver.instanceGuard = nullptr;
    return 0;
}

int play_each(SaverState& saver, const MonitorList& list, int primary) {
    const MonitorPlace& home = list.places[primary];
    place(saver, home.rect,
          monitor_display_scale(home.handle, home.rect.right - home.rect.left,
                                home.rect.bottom - home.rect.top));
    if (create_window(saver) == nullptr) return end_without_window(saver);

    // The others in monitor order, each a copy of the primary's start.
    SaverState* inOrder[MAX_MONITOR_SAVERS]{};
    int owned = 0;
    for (int k = 0; k < list.count; ++k) {
        const MonitorPlace& m = list.places[k];
        if (k == primary) {
            inOrder[k] = &saver;
            continue;
        }
        if (inside(m.rect, home.rect)) continue;
        std::unique_ptr<SaverState> other(new (std::nothrow) SaverState());
        if (other == nullptr) continue;  // that monitor stays as it is
        other->package = saver.package;
        other->programInstance = saver.programInstance;
        other->runMode = saver.runMode;
        std::memcpy(other->windowClassName, saver.windowClassName, sizeof other->windowClassName);
        other->primarySaver = &saver;
        place(*other, m.rect,
              monitor_display_scale(m.handle, m.rect.right - m.rect.left, m.rect.bottom - m.rect.top));
        if (create_window(*other) == nullptr) continue;
        inOrder[k] = other.get();
        saver.otherSavers[owned++] = std::move(other);
    }
    for (SaverState* s : inOrder)
        if (s != nullptr) saver.monitorSavers[saver.monitorSaverCount++] = s;
    return run_message_loop();
}

int play_span(SaverState& saver) {
    const pf::RECT box{pf::GetSystemMetrics(pf::SM_XVIRTUALSCREEN),
                       pf::GetSystemMetrics(pf::SM_YVIRTUALSCREEN),
                       pf::GetSystemMetrics(pf::SM_XVIRTUALSCREEN) +
                           pf::GetSystemMetrics(pf::SM_CXVIRTUALSCREEN),
                       pf::GetSystemMetrics(pf::SM_YVIRTUALSCREEN) +
                           pf::GetSystemMetrics(pf::SM_CYVIRTUALSCREEN)};
    place(saver, box, display_scale(box.right - box.left, box.bottom - box.top));
    if (create_window(saver) == nullptr) return end_without_window(saver);
    return run_message_loop();
}

}  // namespace

format::MonitorMode monitor_mode(const SaverState& saver) {
    return saver.monitorsOverride.value_or(saver.package.monitorMode);
}

bool play_on_monitors(SaverState& saver, int* status) {
    const format::MonitorMode mode = monitor_mode(saver);
    if (mode != format::MonitorMode::Each && mode != format::MonitorMode::Span) return false;
    MonitorList list;
    pf::EnumDisplayMonitors(nullptr, nullptr, list_monitor, reinterpret_cast<pf::LPARAM>(&list));
    int primary = 0;
    while (primary < list.count && !list.places[primary].primary) ++primary;
    if (primary == list.count) return false;
    bool beyond = false;
    for (int k = 0; k < list.count; ++k)
        if (!inside(list.places[k].rect, list.places[primary].rect)) beyond = true;
    if (!beyond) return false;
    *status = mode == format::MonitorMode::Each ? play_each(saver, list, primary) : play_span(saver);
    return true;
}

}  // namespace sg
