// Start-up: the package, the screen size, the single-instance guard, the
// screen-saver command line and what to do with it.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "shell/captions.h"
#include "shell/shell.h"

namespace sg {

namespace {

// "No Support CmdLine" with the caption "無効な引数" (see captions.h).
const char* const TEXT_BAD_COMMAND_LINE = "No Support CmdLine";

// The display settings window, searched when a settings handle is not a
// window: "画面 のプロパティ", then "画面 のﾌﾟﾛﾊﾟﾃｨ" (half-width katakana).
// The blank after 画面 is an ASCII space.
const char* const TITLE_DISPLAY_SETTINGS =
    "\x89\xe6\x96\xca \x82\xcc\x83\x76\x83\x8d\x83\x70\x83\x65\x83\x42";
const char* const TITLE_DISPLAY_SETTINGS_HALFWIDTH =
    "\x89\xe6\x96\xca \x82\xcc\xcc\xdf\xdb\xca\xdf\xc3\xa8";

constexpr pf::DWORD SAVER_EX_STYLE = pf::WS_EX_TOOLWINDOW | pf::WS_EX_TOPMOST;
constexpr pf::DWORD SAVER_STYLE_FULL_SCREEN =
    pf::WS_POPUP | pf::WS_VISIBLE | pf::WS_CLIPSIBLINGS | pf::WS_SYSMENU;
constexpr pf::DWORD SAVER_STYLE_CHILD =
    pf::WS_CHILD | pf::WS_VISIBLE | pf::WS_CLIPSIBLINGS | pf::WS_SYSMENU;

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// What sscanf("%d") does with a handle: optional white space and sign, then
// decimal digits; the value wraps at 32 bits instead of being undefined.
// Leaves the target alone when no digit follows.
void scan_decimal(const char* text, pf::HWND* target) {
    while (is_blank(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    if (*text < '0' || *text > '9') return;
    std::uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) value = value * 10u + unsigned(*text - '0');
    if (negative) value = 0u - value;
    const auto signedValue = static_cast<std::int32_t>(value);
    // Window handles are 32-bit values, sign-extended on 64-bit systems.
    *target = reinterpret_cast<pf::HWND>(static_cast<std::intptr_t>(signedValue));
}

// The handle after "/c" or "/p": the third character is a separator and is
// skipped whatever it is, so "/p123" reads 23.
int read_handle(const char* text, std::size_t length, pf::HWND* handle) {
    *handle = nullptr;
    if (length >= 4) scan_decimal(text + 3, handle);
    return *handle != nullptr && pf::IsWindow(*handle) ? 1 : 0;
}

void show_bad_command_line(std::uint32_t textCodePage) {
    pf::MessageBoxA(nullptr, TEXT_BAD_COMMAND_LINE, bad_argument_caption(textCodePage), pf::MB_OK);
}

void close_guard(SaverState& saver) {
    pf::CloseHandle(saver.instanceGuard);
    saver.instanceGuard = nullptr;
}

int run_saver(SaverState& saver, int width, int height) {
    if (create_saver_window(saver, 0, 0, width, height) == nullptr) {
        // No window, so no quit message would ever come: end here.
        close_guard(saver);
        return 0;
    }
    if (saver.runMode == RunMode::Saver) cover_other_monitors(saver);
    return run_message_loop();
}

}  // namespace

int display_scale(int screenWidth, int screenHeight) {
    pf::HMONITOR primary = pf::MonitorFromPoint(pf::POINT{0, 0}, pf::MONITOR_DEFAULTTOPRIMARY);
    return monitor_display_scale(primary, screenWidth, screenHeight);
}

int monitor_display_scale(pf::HMONITOR monitor, int screenWidth, int screenHeight) {
    pf::UINT dpi = 0;
    pf::UINT dpiY = 0;
    if (pf::GetDpiForMonitor(monitor, pf::MDT_EFFECTIVE_DPI, &dpi, &dpiY) != 0 || dpi == 0) {
        pf::HDC screen = pf::GetDC(nullptr);
        const int caps = pf::GetDeviceCaps(screen, pf::LOGPIXELSX);
        pf::ReleaseDC(nullptr, screen);
        dpi = caps > 0 ? static_cast<pf::UINT>(caps) : 0;
    }
    // 96 dpi is 1; halves round up: 120 stays 1, 144 is 2, 288 is 3.
    std::int64_t scale = (std::int64_t{dpi} + 48) / 96;
    // Never so large that the logical screen would be empty.
    scale = std::min<std::int64_t>({scale, screenWidth, screenHeight});
    return scale < 1 ? 1 : static_cast<int>(scale);
}

int parse_command_line(const char* text, RunMode* mode, pf::HWND* handle) {
    if (text == nullptr) text = "";
    const std::size_t length = std::strlen(text);
    if (length == 0) {
        *mode = RunMode::Configure;
        *handle = nullptr;
        return 1;
    }
    if (length == 1) return 0;

    const char first = text[0];
    const char second = text[1];
    if (first == '/' && (second == 's' || second == 'S')) {
        *mode = RunMode::Saver;
        *handle = nullptr;
        return 1;
    }
    if (first == '/' && (second == 'a' || second == 'A')) {
        *mode = RunMode::ChangePassword;
        *handle = nullptr;
        return 1;
    }
    if (first == '/' && (second == 'c' || second == 'C')) {
        *mode = RunMode::Configure;
        if (length == 2) {
            *handle = nullptr;
            return 1;
        }
        return read_handle(text, length, handle);
    }
    if (first == '/' && (second == 'p' || second == 'P')) {
        *mode = RunMode::Preview;
        return read_handle(text, length, handle);
    }
    // Any other pair, such as "-s" or "/x", runs the saver.
    *mode = RunMode::Saver;
    *handle = nullptr;
    return 1;
}

pf::HWND create_saver_window(SaverState& saver, int x, int y, int width, int height) {
    pf::WNDCLASSA windowClass{};
    windowClass.style = pf::CS_HREDRAW | pf::CS_VREDRAW | pf::CS_DBLCLKS;
    windowClass.lpfnWndProc = saver_window_proc;
    windowClass.hInstance = saver.programInstance;
    windowClass.hCursor = pf::LoadCursorA(nullptr, pf::IDC_ARROW);
    windowClass.hbrBackground = pf::GetStockObject(pf::BLACK_BRUSH);
    windowClass.lpszClassName = saver.windowClassName;
    pf::RegisterClassA(&windowClass);  // a class left from an earlier run is fine

    const bool fullScreen = saver.runMode == RunMode::Saver;
    // Another monitor's window is owned by the primary's, and goes with it.
    pf::HWND owner = saver.primarySaver != nullptr ? saver.primarySaver->saverWindow : nullptr;
    // The window finds its saver through its creation parameter (WM_CREATE).
    saver.saverWindow = pf::CreateWindowExA(
        SAVER_EX_STYLE, saver.windowClassName, saver.windowClassName,
        fullScreen ? SAVER_STYLE_FULL_SCREEN : SAVER_STYLE_CHILD, x, y, width, height,
        fullScreen ? owner : saver.hostWindow, nullptr, saver.programInstance, &saver);
    return saver.saverWindow;
}

int run_message_loop() {
    pf::MSG message{};
    int result = 0;
    // GetMessageA gives -1 on an error; that must not loop for ever.
    while ((result = pf::GetMessageA(&message, nullptr, 0, 0)) > 0) {
        pf::TranslateMessage(&message);
        pf::DispatchMessageA(&message);
    }
    return result == 0 ? static_cast<int>(message.wParam) : 0;
}

int WinMain(pf::HINSTANCE instance, const char* arguments) {
    // The engine does not throw: no memory for the saver means no saver.
    std::unique_ptr<SaverState> saver(new (std::nothrow) SaverState());
    if (saver == nullptr) return 0;
    return run_program(*saver, instance, arguments);
}

int run_program(SaverState& saver, pf::HINSTANCE instance, const char* arguments) {
    saver.programInstance = instance;
    if (!package_copy_out(saver.package, instance)) {
        pf::MessageBoxA(nullptr, "err", "hres", pf::MB_OK);
        return 0;
    }
    const SceneHeader& header = saver.package.sceneHeader;

    saver.world.screenWidth = pf::GetSystemMetrics(pf::SM_CXSCREEN);
    saver.world.screenHeight = pf::GetSystemMetrics(pf::SM_CYSCREEN);

    // The copy-out made sure the title ends inside its 300 bytes.
    std::memset(saver.windowClassName, 0, sizeof saver.windowClassName);
    std::memcpy(saver.windowClassName, header.title, std::strlen(header.title));

    // Only the guard's existence counts; it is never waited on. A second
    // instance leaves it to the process to drop.
    saver.instanceGuard = pf::CreateSemaphoreA(nullptr, 0, 1, header.title);
    if (pf::GetLastError() == pf::ERROR_ALREADY_EXISTS) return 1;

    const int accepted = parse_command_line(arguments, &saver.runMode, &saver.hostWindow);
    if (accepted) {
        switch (saver.runMode) {
        case RunMode::Saver: {
            int status = 0;
            if (play_on_monitors(saver, &status)) return status;
            // The window covers the whole screen; the world moves on the
            // screen's logical size, which is smaller on a scaled screen.
            const int width = saver.world.screenWidth;
            const int height = saver.world.screenHeight;
            saver.displayScale = display_scale(width, height);
            saver.windowWidth = width;
            saver.windowHeight = height;
            saver.world.screenWidth = width / saver.displayScale;
            saver.world.screenHeight = height / saver.displayScale;
            return run_saver(saver, width, height);
        }
        case RunMode::Configure:
            about_box_show(saver);
            close_guard(saver);
            return 0;
        case RunMode::ChangePassword:
            close_guard(saver);
            return 0;
        case RunMode::Preview: {
            pf::RECT host{};
            pf::GetWindowRect(saver.hostWindow, &host);
            saver.previewWidth = host.right - host.left;
            saver.previewHeight = host.bottom - host.top;
            return run_saver(saver, saver.previewWidth, saver.previewHeight);
        }
        case RunMode::Unset:
            break;
        }
        return 0;
    }

    if (saver.runMode == RunMode::Configure) {
        // A settings handle that is no window: look for the display settings.
        pf::HWND settings = pf::FindWindowA(nullptr, TITLE_DISPLAY_SETTINGS);
        if (settings == nullptr) {
            settings = pf::FindWindowA(nullptr, TITLE_DISPLAY_SETTINGS_HALFWIDTH);
        }
        if (settings == nullptr) return 0;
        saver.hostWindow = settings;
        about_box_show(saver);
        close_guard(saver);
        return 0;
    }
    show_bad_command_line(saver.package.textCodePage);
    return 0;
}

}  // namespace sg
