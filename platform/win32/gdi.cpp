// GDI on Windows: each pf:: call forwards to the real one. The only addition
// is the count of DCs and DIB sections this process made and has not deleted
// yet, which tests use to prove that teardown leaves nothing behind.
//
// platform.h comes first: windows.h defines many of its names as macros.
#include "platform/diagnostics.h"
#include "platform/platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstddef>
#include <unordered_set>

static_assert(sizeof(pf::BITMAPINFOHEADER) == sizeof(::BITMAPINFOHEADER));
static_assert(sizeof(pf::RGBQUAD) == sizeof(::RGBQUAD));
static_assert(offsetof(pf::BITMAPINFO, bmiColors) == offsetof(::BITMAPINFO, bmiColors));

namespace {

template <class To, class From>
To as(From handle) {
    return reinterpret_cast<To>(handle);
}

// Only objects made through pf:: are counted, so deleting anything else
// (a stock object, a DC from GetDC) cannot drive the count down.
std::unordered_set<const void*>& created() {
    static std::unordered_set<const void*> handles;
    return handles;
}

template <class Handle>
Handle track(Handle handle) {
    if (handle != nullptr) created().insert(handle);
    return handle;
}

void untrack(const void* handle) { created().erase(handle); }

}  // namespace

namespace pf {

HDC CreateICA(const char* driver, const char* device, const char* port, const void* devmode) {
    return as<HDC>(track(::CreateICA(driver, device, port, static_cast<const ::DEVMODEA*>(devmode))));
}

HBITMAP CreateDIBSection(HDC reference, const BITMAPINFO* info, UINT usage, void** bits,
                         HANDLE section, DWORD offset) {
    return as<HBITMAP>(track(::CreateDIBSection(as<::HDC>(reference),
                                                reinterpret_cast<const ::BITMAPINFO*>(info), usage,
                                                bits, as<::HANDLE>(section), offset)));
}

HDC CreateCompatibleDC(HDC reference) {
    return as<HDC>(track(::CreateCompatibleDC(as<::HDC>(reference))));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    return as<HGDIOBJ>(::SelectObject(as<::HDC>(dc), as<::HGDIOBJ>(object)));
}

BOOL DeleteDC(HDC dc) {
    const BOOL done = ::DeleteDC(as<::HDC>(dc));
    if (done) untrack(dc);
    return done;
}

BOOL DeleteObject(HGDIOBJ object) {
    const BOOL done = ::DeleteObject(as<::HGDIOBJ>(object));
    if (done) untrack(object);
    return done;
}

namespace {
std::uint64_t blitCalls = 0;
}

std::uint64_t diagnostics::gdi_blit_calls() { return blitCalls; }

BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sx, int sy,
            DWORD rop) {
    ++blitCalls;
    return ::BitBlt(as<::HDC>(target), x, y, width, height, as<::HDC>(source), sx, sy, rop);
}

BOOL StretchBlt(HDC target, int x, int y, int width, int height, HDC source, int sx, int sy,
                int sw, int sh, DWORD rop) {
    ++blitCalls;
    return ::StretchBlt(as<::HDC>(target), x, y, width, height, as<::HDC>(source), sx, sy, sw, sh,
                        rop);
}

BOOL GdiFlush() { return ::GdiFlush(); }

HGDIOBJ GetStockObject(int which) { return as<HGDIOBJ>(::GetStockObject(which)); }

HDC GetDC(HWND window) { return as<HDC>(::GetDC(as<::HWND>(window))); }

int GetDeviceCaps(HDC dc, int index) { return ::GetDeviceCaps(as<::HDC>(dc), index); }

int ReleaseDC(HWND window, HDC dc) { return ::ReleaseDC(as<::HWND>(window), as<::HDC>(dc)); }

int diagnostics::gdi_objects_alive() { return static_cast<int>(created().size()); }

}  // namespace pf
