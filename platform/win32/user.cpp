// USER, IMM and multimedia calls of the platform interface, forwarded to the
// real Windows API one to one.
//
// Two things are not plain casts:
//  - Window and dialog procedures of the engine use its own calling
//    convention, so the system gets trampolines that look the engine's
//    procedure up (by class atom for windows, by a window property for
//    dialogs) and call it.
//  - Texts shown to a person (the about box's fields) are Shift-JIS bytes.
//    They are converted from code page 932 explicitly and set with the wide
//    call, and the about box runs as a wide dialog, so they read right
//    whatever the system's ANSI code page is. Names (class, window title,
//    the title search) stay byte strings.
// The interface first: <windows.h> defines many of its names (WM_CREATE,
// LOWORD, IDC_ARROW, ...) as macros. Below, inside namespace pf, unqualified
// names are the interface's; the system's are written with a leading ::.
#include "platform/platform.h"

#include <windows.h>
#include <imm.h>
#include <mmsystem.h>

#include <cstddef>
#include <string>

// The engine's records are passed through unchanged where the layouts agree.
static_assert(sizeof(pf::RECT) == sizeof(::RECT));
static_assert(sizeof(pf::POINT) == sizeof(::POINT));
static_assert(sizeof(pf::PAINTSTRUCT) == sizeof(::PAINTSTRUCT));
static_assert(offsetof(pf::PAINTSTRUCT, rcPaint) == offsetof(::PAINTSTRUCT, rcPaint));
static_assert(offsetof(pf::PAINTSTRUCT, fRestore) == offsetof(::PAINTSTRUCT, fRestore));
static_assert(sizeof(pf::MSG) == sizeof(::MSG));

namespace {

template <class To, class From>
To as(From from) {
    return reinterpret_cast<To>(from);
}

// ---- window procedures: one entry per class the engine registers ----
struct ClassProc {
    ATOM atom;
    pf::WNDPROC proc;
};
constexpr int MAX_CLASSES = 8;
ClassProc classProcs[MAX_CLASSES];

pf::WNDPROC proc_of_class(ATOM atom) {
    for (const ClassProc& entry : classProcs)
        if (entry.atom != 0 && entry.atom == atom) return entry.proc;
    return nullptr;
}

LRESULT CALLBACK window_trampoline(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const pf::WNDPROC proc = proc_of_class(static_cast<ATOM>(GetClassWord(window, GCW_ATOM)));
    if (!proc) return ::DefWindowProcA(window, message, wParam, lParam);
    return proc(as<pf::HWND>(window), message, wParam, lParam);
}

// ---- dialog procedures: kept on the dialog window itself ----
// The first messages (WM_SETFONT, WM_INITDIALOG) reach the trampoline inside
// DialogBoxParamA, before anything could be attached to the dialog, so the
// procedure waits in `startingDialogProc` until the dialog claims it.
const wchar_t DIALOG_PROC_PROPERTY[] = L"snowglobe.dialogproc";
pf::DLGPROC startingDialogProc = nullptr;

INT_PTR CALLBACK dialog_trampoline(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto proc = as<pf::DLGPROC>(GetPropW(dialog, DIALOG_PROC_PROPERTY));
    if (!proc && startingDialogProc) {
        proc = startingDialogProc;
        startingDialogProc = nullptr;
        SetPropW(dialog, DIALOG_PROC_PROPERTY, as<HANDLE>(proc));
    }
    if (message == WM_NCDESTROY) RemovePropW(dialog, DIALOG_PROC_PROPERTY);
    if (!proc) return FALSE;
    return proc(as<pf::HWND>(dialog), message, wParam, lParam);
}

std::wstring from_code_page(UINT codePage, const char* text) {
    if (!text || !*text) return {};
    const int length = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

constexpr UINT SHIFT_JIS = 932;

::MSG to_system(const pf::MSG& m) {
    ::MSG out{};
    out.hwnd = as<HWND>(m.hwnd);
    out.message = m.message;
    out.wParam = m.wParam;
    out.lParam = m.lParam;
    out.time = m.time;
    out.pt.x = m.pt.x;
    out.pt.y = m.pt.y;
    return out;
}

}  // namespace

namespace pf {

int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

BOOL IsWindow(HWND window) { return ::IsWindow(as<::HWND>(window)); }

HWND FindWindowA(const char* className, const char* title) {
    return as<HWND>(::FindWindowA(className, title));
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    return ::GetWindowRect(as<::HWND>(window), as<::RECT*>(rect));
}

HWND GetDesktopWindow() { return as<HWND>(::GetDesktopWindow()); }

WORD RegisterClassA(const WNDCLASSA* windowClass) {
    ::WNDCLASSA system{};
    system.style = windowClass->style;
    system.lpfnWndProc = window_trampoline;
    system.cbClsExtra = windowClass->cbClsExtra;
    system.cbWndExtra = windowClass->cbWndExtra;
    system.hInstance = as<::HINSTANCE>(windowClass->hInstance);
    system.hIcon = as<::HICON>(windowClass->hIcon);
    system.hCursor = as<::HCURSOR>(windowClass->hCursor);
    system.hbrBackground = as<::HBRUSH>(windowClass->hbrBackground);
    system.lpszMenuName = windowClass->lpszMenuName;
    system.lpszClassName = windowClass->lpszClassName;
    const ATOM atom = ::RegisterClassA(&system);
    if (atom == 0) return 0;
    for (ClassProc& entry : classProcs)
        if (entry.atom == 0 || entry.atom == atom) {
            entry.atom = atom;
            entry.proc = windowClass->lpfnWndProc;
            break;
        }
    return atom;
}

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
    return as<HCURSOR>(::LoadCursorA(as<::HINSTANCE>(instance), name));
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style,
                     int x, int y, int width, int height, HWND parent, void* menu,
                     HINSTANCE instance, void* param) {
    return as<HWND>(::CreateWindowExA(exStyle, className, title, style, x, y, width, height,
                                      as<::HWND>(parent), as<::HMENU>(menu),
                                      as<::HINSTANCE>(instance), param));
}

BOOL DestroyWindow(HWND window) { return ::DestroyWindow(as<::HWND>(window)); }

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(as<::HWND>(window), message, wParam, lParam);
}

BOOL GetMessageA(MSG* msg, HWND window, UINT first, UINT last) {
    ::MSG system{};
    const BOOL result = ::GetMessageA(&system, as<::HWND>(window), first, last);
    msg->hwnd = as<HWND>(system.hwnd);
    msg->message = system.message;
    msg->wParam = system.wParam;
    msg->lParam = system.lParam;
    msg->time = system.time;
    msg->pt = POINT{system.pt.x, system.pt.y};
    return result;
}

BOOL TranslateMessage(const MSG* msg) {
    const ::MSG system = to_system(*msg);
    return ::TranslateMessage(&system);
}

LRESULT DispatchMessageA(const MSG* msg) {
    const ::MSG system = to_system(*msg);
    return ::DispatchMessageA(&system);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(as<::HWND>(window), message, wParam, lParam);
}

void PostQuitMessage(int code) { ::PostQuitMessage(code); }

std::uintptr_t SetTimer(HWND window, std::uintptr_t id, UINT periodMs, void* callback) {
    return ::SetTimer(as<::HWND>(window), id, periodMs, as<::TIMERPROC>(callback));
}

BOOL KillTimer(HWND window, std::uintptr_t id) { return ::KillTimer(as<::HWND>(window), id); }

int ShowCursor(BOOL show) { return ::ShowCursor(show); }

BOOL GetCursorPos(POINT* point) { return ::GetCursorPos(as<::POINT*>(point)); }

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    return as<HDC>(::BeginPaint(as<::HWND>(window), as<::PAINTSTRUCT*>(paint)));
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    return ::EndPaint(as<::HWND>(window), as<const ::PAINTSTRUCT*>(paint));
}

HIMC ImmAssociateContext(HWND window, HIMC context) {
    return as<HIMC>(::ImmAssociateContext(as<::HWND>(window), as<::HIMC>(context)));
}

// Run as a wide dialog: an ANSI one would take its caption from the
// (UTF-16) template through the system's code page, and show "?" for every
// Japanese character on a system whose code page is not 932.
INT_PTR DialogBoxParamA(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                        LPARAM param) {
    std::wstring name;
    const wchar_t* wideName;
    if (IS_INTRESOURCE(templateName)) {
        wideName = MAKEINTRESOURCEW(reinterpret_cast<std::uintptr_t>(templateName));
    } else {
        name = from_code_page(CP_ACP, templateName);  // a name: the program's own bytes
        wideName = name.c_str();
    }
    const DLGPROC outer = startingDialogProc;
    startingDialogProc = proc;
    const INT_PTR result = ::DialogBoxParamW(as<::HINSTANCE>(instance), wideName,
                                             as<::HWND>(owner), dialog_trampoline, param);
    // A dialog that was never created leaves its procedure unclaimed.
    startingDialogProc = outer;
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) { return ::EndDialog(as<::HWND>(dialog), result); }

HWND GetDlgItem(HWND dialog, int id) { return as<HWND>(::GetDlgItem(as<::HWND>(dialog), id)); }

BOOL SetWindowTextA(HWND window, const char* text) {
    return ::SetWindowTextW(as<::HWND>(window), from_code_page(SHIFT_JIS, text).c_str());
}

BOOL SetWindowTextInCodePage(HWND window, const char* text, UINT codePage) {
    return ::SetWindowTextW(as<::HWND>(window), from_code_page(codePage, text).c_str());
}

namespace {

struct MonitorVisit {
    pf::MONITORENUMPROC proc;
    pf::LPARAM data;
};

::BOOL CALLBACK monitor_trampoline(::HMONITOR monitor, ::HDC dc, ::RECT* rect, ::LPARAM visit) {
    const auto* v = reinterpret_cast<const MonitorVisit*>(visit);
    pf::RECT r{rect->left, rect->top, rect->right, rect->bottom};
    return v->proc(as<HMONITOR>(monitor), as<HDC>(dc), &r, v->data);
}

}  // namespace

BOOL EnumDisplayMonitors(HDC dc, const RECT* clip, MONITORENUMPROC proc, LPARAM data) {
    MonitorVisit visit{proc, data};
    return ::EnumDisplayMonitors(as<::HDC>(dc), as<const ::RECT*>(clip), monitor_trampoline,
                                 reinterpret_cast<::LPARAM>(&visit));
}

BOOL GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info) {
    ::MONITORINFO system{};
    system.cbSize = sizeof system;
    if (!::GetMonitorInfoA(as<::HMONITOR>(monitor), &system)) return 0;
    info->rcMonitor = pf::RECT{system.rcMonitor.left, system.rcMonitor.top, system.rcMonitor.right,
                               system.rcMonitor.bottom};
    info->rcWork = pf::RECT{system.rcWork.left, system.rcWork.top, system.rcWork.right,
                            system.rcWork.bottom};
    info->dwFlags = system.dwFlags;
    return 1;
}

HMONITOR MonitorFromPoint(POINT point, DWORD flags) {
    return as<HMONITOR>(::MonitorFromPoint(::POINT{point.x, point.y}, flags));
}

// shcore.dll's GetDpiForMonitor exists from Windows 8.1 on; looked up at run
// time so that the saver still starts (and imports only system DLLs) before.
long GetDpiForMonitor(HMONITOR monitor, int type, UINT* dpiX, UINT* dpiY) {
    using Function = HRESULT(WINAPI*)(::HMONITOR, int, UINT*, UINT*);
    HMODULE shcore = ::LoadLibraryW(L"shcore.dll");
    if (shcore == nullptr) return static_cast<long>(E_NOTIMPL);
    const auto function = reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(shcore, "GetDpiForMonitor")));
    const long result = function != nullptr
                            ? function(as<::HMONITOR>(monitor), type, dpiX, dpiY)
                            : static_cast<long>(E_NOTIMPL);
    ::FreeLibrary(shcore);
    return result;
}

// 32-bit Windows has no ...LongPtr functions: the headers map the names to
// the ...Long ones with a macro, which would rename these definitions too.
#undef SetWindowLongPtrA
#undef GetWindowLongPtrA

std::intptr_t SetWindowLongPtrA(HWND window, int index, std::intptr_t value) {
#ifdef _WIN64
    return ::SetWindowLongPtrA(as<::HWND>(window), index, value);
#else
    return ::SetWindowLongA(as<::HWND>(window), index, value);
#endif
}

std::intptr_t GetWindowLongPtrA(HWND window, int index) {
#ifdef _WIN64
    return ::GetWindowLongPtrA(as<::HWND>(window), index);
#else
    return ::GetWindowLongA(as<::HWND>(window), index);
#endif
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(as<::HWND>(window), as<::HWND>(insertAfter), x, y, cx, cy, flags);
}

BOOL sndPlaySoundA(const char* sound, UINT flags) { return ::sndPlaySoundA(sound, flags); }

}  // namespace pf
