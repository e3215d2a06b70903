// The one interface between the engine and an operating system, in Win32
// vocabulary. The engine (shell, package, gfx, motion) calls only what is
// declared here, always qualified with pf::.
//
// Backends:
//   win32/     forwards every call to the real Windows API (the .scr)
//   soft/      the GDI part in software: DIB sections, memory DCs, raster ops
//   headless/  USER and KERNEL in memory: windows, messages, virtual timers,
//              resources, global memory, the named guard, message boxes, dialogs;
//              a HostDriver underneath decides what a window really is
//   sdl/       a HostDriver that puts top-level windows, input, presentation
//              and sound on SDL2 for the Linux program
//
// Types keep the Win32 names and layouts so the engine reads like a Win32
// program and the win32 backend can cast one to one. Handles are opaque.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pf {

using BOOL = int;
using UINT = unsigned int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;

struct HWND__;
using HWND = HWND__*;
struct HDC__;
using HDC = HDC__*;
struct HGDIOBJ__;
using HGDIOBJ = HGDIOBJ__*;
using HBITMAP = HGDIOBJ;
using HBRUSH = HGDIOBJ;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
struct HANDLE__;
using HANDLE = HANDLE__*;
struct HRSRC__;
using HRSRC = HRSRC__*;
struct HGLOBAL__;
using HGLOBAL = HGLOBAL__*;
struct HCURSOR__;
using HCURSOR = HCURSOR__*;
struct HIMC__;
using HIMC = HIMC__*;
struct HMONITOR__;
using HMONITOR = HMONITOR__*;

struct POINT {
    LONG x;
    LONG y;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

// A BITMAPINFOHEADER followed directly by its colour table, as CreateDIBSection reads it.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

// Window and dialog procedures use the engine's own calling convention; the
// win32 backend registers trampolines with the system's convention.
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

struct MONITORINFO {
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
};
constexpr DWORD MONITORINFOF_PRIMARY = 1;
using MONITORENUMPROC = BOOL (*)(HMONITOR, HDC, RECT*, LPARAM);

// What WM_CREATE's lParam points at; only the leading field is read here.
struct CREATESTRUCTA {
    void* lpCreateParams;
    HINSTANCE hInstance;
    void* hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    const char* lpszName;
    const char* lpszClass;
    DWORD exStyle;
};

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HCURSOR hIcon;  // the engine never sets an icon
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char* lpszMenuName;
    const char* lpszClassName;
};

// Messages.
// Per-window storage for the program's own pointer (SetWindowLongPtrA).
constexpr int GWLP_USERDATA = -21;

constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_MBUTTONDOWN = 0x0207;

// Raster operations (GDI ternary codes).
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// Styles and flags.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT MB_OK = 0x00000000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int LOGPIXELSX = 88;  // GetDeviceCaps: dots per inch across
constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 1;
constexpr int MDT_EFFECTIVE_DPI = 0;
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
// The virtual screen: the bounding box of every monitor (its left and top may
// be negative: a monitor left of or above the primary).
constexpr int SM_XVIRTUALSCREEN = 76;
constexpr int SM_YVIRTUALSCREEN = 77;
constexpr int SM_CXVIRTUALSCREEN = 78;
constexpr int SM_CYVIRTUALSCREEN = 79;
constexpr int SM_CMONITORS = 80;
constexpr int BLACK_BRUSH = 4;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD BI_RGB = 0;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr UINT SND_ASYNC = 0x0001;
constexpr UINT SND_NODEFAULT = 0x0002;
constexpr UINT SND_MEMORY = 0x0004;
constexpr UINT SND_LOOP = 0x0008;
constexpr UINT SND_NOSTOP = 0x0010;
// MAKEINTRESOURCE(IDC_ARROW)
inline const char* const IDC_ARROW = reinterpret_cast<const char*>(std::uintptr_t{32512});

inline const char* MAKEINTRESOURCEA(unsigned id) {
    return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(id));
}
inline WORD LOWORD(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }

// ---- KERNEL: resources, global memory, the named guard ----
HRSRC FindResourceA(HINSTANCE module, const char* name, const char* type);
HGLOBAL LoadResource(HINSTANCE module, HRSRC resource);
void* LockResource(HGLOBAL loaded);
DWORD SizeofResource(HINSTANCE module, HRSRC resource);
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
void* GlobalLock(HGLOBAL block);
HGLOBAL GlobalHandle(const void* pointer);
BOOL GlobalUnlock(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);  // null on success
HANDLE CreateSemaphoreA(void* security, LONG initial, LONG maximum, const char* name);
DWORD GetLastError();
BOOL CloseHandle(HANDLE handle);

// ---- GDI ----
HDC CreateICA(const char* driver, const char* device, const char* port, const void* devmode);
HBITMAP CreateDIBSection(HDC reference, const BITMAPINFO* info, UINT usage, void** bits,
                         HANDLE section, DWORD offset);
HDC CreateCompatibleDC(HDC reference);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteDC(HDC dc);
BOOL DeleteObject(HGDIOBJ object);
BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sx, int sy,
            DWORD rop);
BOOL StretchBlt(HDC target, int x, int y, int width, int height, HDC source, int sx, int sy,
                int sw, int sh, DWORD rop);
BOOL GdiFlush();
HGDIOBJ GetStockObject(int which);
HDC GetDC(HWND window);
int GetDeviceCaps(HDC dc, int index);
int ReleaseDC(HWND window, HDC dc);

// ---- USER: windows, messages, timers, input, dialogs ----
int GetSystemMetrics(int index);
BOOL IsWindow(HWND window);
HWND FindWindowA(const char* className, const char* title);
BOOL GetWindowRect(HWND window, RECT* rect);
HWND GetDesktopWindow();
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
// MessageBoxA with the text in a Windows code page of its own (the caption
// stays the program's Shift-JIS). Shown through the wide calls on Windows.
int MessageBoxInCodePage(HWND owner, const char* text, UINT textCodePage, const char* caption,
                         UINT type);
WORD RegisterClassA(const WNDCLASSA* windowClass);
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style,
                     int x, int y, int width, int height, HWND parent, void* menu,
                     HINSTANCE instance, void* param);
BOOL DestroyWindow(HWND window);
// Only GWLP_USERDATA is supported by every backend.
std::intptr_t SetWindowLongPtrA(HWND window, int index, std::intptr_t value);
std::intptr_t GetWindowLongPtrA(HWND window, int index);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL GetMessageA(MSG* msg, HWND window, UINT first, UINT last);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int code);
std::uintptr_t SetTimer(HWND window, std::uintptr_t id, UINT periodMs, void* callback);
BOOL KillTimer(HWND window, std::uintptr_t id);
int ShowCursor(BOOL show);
BOOL GetCursorPos(POINT* point);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
HIMC ImmAssociateContext(HWND window, HIMC context);
INT_PTR DialogBoxParamA(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                        LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
BOOL SetWindowTextA(HWND window, const char* text);
// SetWindowTextA with the text in the given Windows code page (932 is what
// SetWindowTextA takes).
BOOL SetWindowTextInCodePage(HWND window, const char* text, UINT codePage);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
HMONITOR MonitorFromPoint(POINT point, DWORD flags);
// Every monitor of the desktop (dc and clip must be null here).
BOOL EnumDisplayMonitors(HDC dc, const RECT* clip, MONITORENUMPROC proc, LPARAM data);
BOOL GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info);
// 0 (S_OK) with the monitor's dots per inch; not 0 where the system cannot
// tell (before Windows 8.1: then GetDeviceCaps(LOGPIXELSX) of the screen).
long GetDpiForMonitor(HMONITOR monitor, int type, UINT* dpiX, UINT* dpiY);

// ---- multimedia ----
BOOL sndPlaySoundA(const char* sound, UINT flags);

// ---- C runtime ----
// The Windows C runtime's rand(): seed 1, 15-bit values 41, 18467, 6334, ...
int rand();

}  // namespace pf
