// KERNEL on Windows, forwarded one to one: resources, movable global memory,
// the named semaphore. Also the C runtime's generator and the message box,
// which tests can capture instead of showing.
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

#include <cstdlib>
#include <vector>

namespace {

template <class To, class From>
To as(From handle) {
    return reinterpret_cast<To>(handle);
}

pf::diagnostics::MessageBoxCapture messageBoxCapture = nullptr;

// The program's texts are Shift-JIS whatever the system's ANSI code page is;
// a package's texts may name another code page.
std::vector<wchar_t> from_code_page(UINT codePage, const char* text) {
    if (text == nullptr) text = "";
    const int length = ::MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    std::vector<wchar_t> wide(length > 0 ? static_cast<std::size_t>(length) : 1, L'\0');
    if (length > 0) ::MultiByteToWideChar(codePage, 0, text, -1, wide.data(), length);
    return wide;
}

constexpr UINT SHIFT_JIS = 932;

}  // namespace

namespace pf {

HRSRC FindResourceA(HINSTANCE module, const char* name, const char* type) {
    return as<HRSRC>(::FindResourceA(as<::HMODULE>(module), name, type));
}

HGLOBAL LoadResource(HINSTANCE module, HRSRC resource) {
    return as<HGLOBAL>(::LoadResource(as<::HMODULE>(module), as<::HRSRC>(resource)));
}

void* LockResource(HGLOBAL loaded) { return ::LockResource(as<::HGLOBAL>(loaded)); }

DWORD SizeofResource(HINSTANCE module, HRSRC resource) {
    return ::SizeofResource(as<::HMODULE>(module), as<::HRSRC>(resource));
}

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
    return as<HGLOBAL>(::GlobalAlloc(flags, bytes));
}

void* GlobalLock(HGLOBAL block) { return ::GlobalLock(as<::HGLOBAL>(block)); }

HGLOBAL GlobalHandle(const void* pointer) { return as<HGLOBAL>(::GlobalHandle(pointer)); }

BOOL GlobalUnlock(HGLOBAL block) { return ::GlobalUnlock(as<::HGLOBAL>(block)); }

HGLOBAL GlobalFree(HGLOBAL block) { return as<HGLOBAL>(::GlobalFree(as<::HGLOBAL>(block))); }

HANDLE CreateSemaphoreA(void* security, LONG initial, LONG maximum, const char* name) {
    return as<HANDLE>(::CreateSemaphoreA(static_cast<::LPSECURITY_ATTRIBUTES>(security), initial,
                                         maximum, name));
}

DWORD GetLastError() { return ::GetLastError(); }

BOOL CloseHandle(HANDLE handle) { return ::CloseHandle(as<::HANDLE>(handle)); }

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    return MessageBoxInCodePage(owner, text, SHIFT_JIS, caption, type);
}

int MessageBoxInCodePage(HWND owner, const char* text, UINT textCodePage, const char* caption,
                         UINT type) {
    if (messageBoxCapture != nullptr) {
        messageBoxCapture(owner, text, caption, type);
        return IDOK;
    }
    const std::vector<wchar_t> wideText = from_code_page(textCodePage, text);
    const std::vector<wchar_t> wideCaption = from_code_page(SHIFT_JIS, caption);
    return ::MessageBoxW(as<::HWND>(owner), wideText.data(), wideCaption.data(), type);
}

void diagnostics::set_message_box_capture(diagnostics::MessageBoxCapture capture) { messageBoxCapture = capture; }

int rand() { return std::rand(); }

void diagnostics::rand_reset() { std::srand(1); }

}  // namespace pf
