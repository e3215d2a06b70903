// Start-up: the package, the screen size, the single-instance guard, the
// screen-saver command line and what to do with it.
#include <cstring>

#include "gfx/background.h"
#include "gfx/compose.h"
#include "motion/layers.h"
#include "package/animset.h"
#include "package/package.h"
#include "shell/shell.h"

namespace sg {

pf::HINSTANCE programInstance = nullptr;
RunMode runMode = Unset;
pf::HWND hostWindow = nullptr;
std::int32_t screenWidth = 0;
std::int32_t screenHeight = 0;
std::int32_t previewWidth = 0;
std::int32_t previewHeight = 0;
char windowClassName[300];
pf::HANDLE instanceGuard = nullptr;
pf::HWND saverWindow = nullptr;
int firstMouseMove = 1;
pf::POINT lastCursorPos = {0, 0};

namespace {

// "No Support CmdLine" with the caption "無効な引数".
const char* const TEXT_BAD_COMMAND_LINE = "No Support CmdLine";
const char* const CAPTION_BAD_ARGUMENT = "\x96\xb3\x8c\xf8\x82\xc8\x88\xf8\x90\x94";

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

void show_bad_command_line() {
    pf::MessageBoxA(nullptr, TEXT_BAD_COMMAND_LINE, CAPTION_BAD_ARGUMENT, pf::MB_OK);
}

void close_guard() {
    pf::CloseHandle(instanceGuard);
    instanceGuard = nullptr;
}

int run_saver(int width, int height) {
    if (create_saver_window(0, 0, width, height) == nullptr) {
        // No window, so no quit message would ever come: end here.
        close_guard();
        return 0;
    }
    return run_message_loop();
}

}  // namespace

int parse_command_line(const char* text, RunMode* mode, pf::HWND* handle) {
    if (text == nullptr) text = "";
    const std::size_t length = std::strlen(text);
    if (length == 0) {
        *mode = Configure;
        *handle = nullptr;
        return 1;
    }
    if (length == 1) return 0;

    const char first = text[0];
    const char second = text[1];
    if (first == '/' && (second == 's' || second == 'S')) {
        *mode = Saver;
        *handle = nullptr;
        return 1;
    }
    if (first == '/' && (second == 'a' || second == 'A')) {
        *mode = ChangePassword;
        *handle = nullptr;
        return 1;
    }
    if (first == '/' && (second == 'c' || second == 'C')) {
        *mode = Configure;
        if (length == 2) {
            *handle = nullptr;
            return 1;
        }
        return read_handle(text, length, handle);
    }
    if (first == '/' && (second == 'p' || second == 'P')) {
        *mode = Preview;
        return read_handle(text, length, handle);
    }
    // Any other pair, such as "-s" or "/x", runs the saver.
    *mode = Saver;
    *handle = nullptr;
    return 1;
}

pf::HWND create_saver_window(int x, int y, int width, int height) {
    pf::WNDCLASSA windowClass{};
    windowClass.style = pf::CS_HREDRAW | pf::CS_VREDRAW | pf::CS_DBLCLKS;
    windowClass.lpfnWndProc = saver_window_proc;
    windowClass.hInstance = programInstance;
    windowClass.hCursor = pf::LoadCursorA(nullptr, pf::IDC_ARROW);
    windowClass.hbrBackground = pf::GetStockObject(pf::BLACK_BRUSH);
    windowClass.lpszClassName = windowClassName;
    pf::RegisterClassA(&windowClass);  // a class left from an earlier run is fine

    const bool fullScreen = runMode == Saver;
    saverWindow = pf::CreateWindowExA(
        SAVER_EX_STYLE, windowClassName, windowClassName,
        fullScreen ? SAVER_STYLE_FULL_SCREEN : SAVER_STYLE_CHILD, x, y, width, height,
        fullScreen ? nullptr : hostWindow, nullptr, programInstance, nullptr);
    return saverWindow;
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
    programInstance = instance;
    if (!package_copy_out(instance)) return 0;  // "err"/"hres" has been shown

    screenWidth = pf::GetSystemMetrics(pf::SM_CXSCREEN);
    screenHeight = pf::GetSystemMetrics(pf::SM_CYSCREEN);

    // The copy-out made sure the title ends inside its 300 bytes.
    std::memset(windowClassName, 0, sizeof windowClassName);
    std::memcpy(windowClassName, sceneHeader.title, std::strlen(sceneHeader.title));

    // Only the guard's existence counts; it is never waited on. A second
    // instance leaves it to the process to drop.
    instanceGuard = pf::CreateSemaphoreA(nullptr, 0, 1, sceneHeader.title);
    if (pf::GetLastError() == pf::ERROR_ALREADY_EXISTS) return 1;

    const int accepted = parse_command_line(arguments, &runMode, &hostWindow);
    if (accepted) {
        switch (runMode) {
        case Saver:
            return run_saver(screenWidth, screenHeight);
        case Configure:
            about_box_show();
            close_guard();
            return 0;
        case ChangePassword:
            close_guard();
            return 0;
        case Preview: {
            pf::RECT host{};
            pf::GetWindowRect(hostWindow, &host);
            previewWidth = host.right - host.left;
            previewHeight = host.bottom - host.top;
            return run_saver(previewWidth, previewHeight);
        }
        case Unset:
            break;
        }
        return 0;
    }

    if (runMode == Configure) {
        // A settings handle that is no window: look for the display settings.
        pf::HWND settings = pf::FindWindowA(nullptr, TITLE_DISPLAY_SETTINGS);
        if (settings == nullptr) {
            settings = pf::FindWindowA(nullptr, TITLE_DISPLAY_SETTINGS_HALFWIDTH);
        }
        if (settings == nullptr) return 0;
        hostWindow = settings;
        about_box_show();
        close_guard();
        return 0;
    }
    show_bad_command_line();
    return 0;
}

void engine_reset() {
    package_globals_reset();

    // Shell.
    programInstance = nullptr;
    runMode = Unset;
    hostWindow = nullptr;
    screenWidth = 0;
    screenHeight = 0;
    previewWidth = 0;
    previewHeight = 0;
    std::memset(windowClassName, 0, sizeof windowClassName);
    instanceGuard = nullptr;
    saverWindow = nullptr;
    firstMouseMove = 1;
    lastCursorPos = pf::POINT{0, 0};

    // Surfaces back to fresh storage. Teardown has released them already; a
    // run that never got that far never built them.
    std::memset(&backgroundSurface, 0, sizeof backgroundSurface);
    std::memset(&workSurface, 0, sizeof workSurface);
    std::memset(&tileSurface, 0, sizeof tileSurface);
    std::memset(&pictureSurface, 0, sizeof pictureSurface);

    layers_clear();
    slots_clear();
    compose_reset();
}

}  // namespace sg
