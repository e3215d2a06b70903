// Full screen on a desktop of several monitors: the saver window covers the
// primary monitor only, so every other monitor (but one that mirrors part of
// the primary) gets a plain black topmost window of its own. They draw nothing per tick (the class brush paints them),
// end the saver on the same input as its window, and, being owned by it, go
// away with it.
#include "shell/shell.h"

namespace sg {

namespace {

constexpr char COVER_CLASS_NAME[] = "snowglobe monitor cover";
constexpr pf::DWORD COVER_EX_STYLE = pf::WS_EX_TOOLWINDOW | pf::WS_EX_TOPMOST;
constexpr pf::DWORD COVER_STYLE = pf::WS_POPUP | pf::WS_VISIBLE;

pf::LRESULT cover_window_proc(pf::HWND window, pf::UINT message, pf::WPARAM wParam,
                              pf::LPARAM lParam) {
    SaverState* saver = saver_of_window(window, message, lParam);
    if (saver == nullptr) return pf::DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case pf::WM_KEYDOWN:
    case pf::WM_SYSKEYDOWN:
    case pf::WM_LBUTTONDOWN:
    case pf::WM_RBUTTONDOWN:
    case pf::WM_MBUTTONDOWN:
        pf::PostMessageA(saver->saverWindow, pf::WM_CLOSE, 0, 0);
        return 0;
    case pf::WM_MOUSEMOVE:
        // The cursor's step is measured in screen coordinates, wherever it is.
        saver_mouse_moved(*saver, saver->saverWindow);
        return 0;
    default:
        return pf::DefWindowProcA(window, message, wParam, lParam);
    }
}

pf::BOOL cover_monitor(pf::HMONITOR monitor, pf::HDC, pf::RECT*, pf::LPARAM data) {
    auto* saver = reinterpret_cast<SaverState*>(data);
    pf::MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!pf::GetMonitorInfoA(monitor, &info)) return 1;
    if (info.dwFlags & pf::MONITORINFOF_PRIMARY) return 1;  // the saver window's own
    const pf::RECT& r = info.rcMonitor;
    // A monitor that shows part of the primary's area (a mirrored projector,
    // say) already shows the saver: a cover there would hide it.
    if (r.left >= 0 && r.top >= 0 && r.right <= saver->windowWidth &&
        r.bottom <= saver->windowHeight)
        return 1;
    pf::CreateWindowExA(COVER_EX_STYLE, COVER_CLASS_NAME, "", COVER_STYLE, r.left, r.top,
                        r.right - r.left, r.bottom - r.top, saver->saverWindow, nullptr,
                        saver->programInstance, saver);
    return 1;
}

}  // namespace

void cover_other_monitors(SaverState& saver) {
    pf::WNDCLASSA coverClass{};
    coverClass.lpfnWndProc = cover_window_proc;
    coverClass.hInstance = saver.programInstance;
    coverClass.hbrBackground = pf::GetStockObject(pf::BLACK_BRUSH);
    coverClass.lpszClassName = COVER_CLASS_NAME;
    pf::RegisterClassA(&coverClass);  // a class left from an earlier run is fine
    pf::EnumDisplayMonitors(nullptr, nullptr, cover_monitor, reinterpret_cast<pf::LPARAM>(&saver));
}

}  // namespace sg
