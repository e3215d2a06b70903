// Internal state of the in-memory USER/KERNEL shared by the headless sources
// (and the test library's scripting.cpp). All of it is one State; one UI
// thread uses it; nothing here is locked.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/headless/headless.h"

namespace pf::headless::detail {

// Window handles are small even numbers, so that they survive the "%d" of a
// command line; our own never collide with the desktop's.
constexpr std::uintptr_t DESKTOP_HANDLE = 0x10010;
constexpr std::uintptr_t FIRST_WINDOW_HANDLE = 0x20000;
constexpr std::uintptr_t WINDOW_HANDLE_STEP = 2;

// Classic non-client metrics: a dialog frame of 3 pixels and a caption of 19.
constexpr LONG DIALOG_FRAME = 3;
constexpr LONG CAPTION_HEIGHT = 19;

// Windows keeps every coordinate within 16 bits.
constexpr LONG MAX_COORD = 32767;

constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;

constexpr UINT WM_SYSCHAR = 0x0106;

constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_NOT_LOCKED = 158;
constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_TLW_WITH_WSCHILD = 1406;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_TIMER_NOT_FOUND = 1402;

struct Window {
    HWND handle = nullptr;
    std::uintptr_t parent = 0;  // children: ours, the desktop or a host window
    std::uintptr_t owner = 0;   // dialogs
    std::string className;
    std::string title;  // a control's text
    UINT titleCodePage = 932;  // the code page title is written in
    DWORD style = 0;
    DWORD exStyle = 0;
    UINT classStyle = 0;
    WNDPROC proc = nullptr;
    DLGPROC dialogProc = nullptr;
    int controlId = 0;
    // Relative to the parent's client area for children, screen coordinates
    // for top-level windows.
    LONG x = 0;
    LONG y = 0;
    LONG width = 0;
    LONG height = 0;
    bool alive = true;
    bool destroying = false;
    bool foreign = false;
    bool shownToHost = false;  // window_created was called
    bool needsPaint = false;
    bool dialogEnded = false;
    INT_PTR dialogResult = 0;
    HIMC ime = nullptr;
    std::intptr_t userData = 0;  // GWLP_USERDATA
    std::unique_ptr<soft::Framebuffer> pixels;
};

struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HBRUSH background = nullptr;
};

struct Timer {
    std::uintptr_t window = 0;
    std::uintptr_t id = 0;
    UINT period = 0;
    std::uint64_t due = 0;
    std::uint64_t serial = 0;  // creation order breaks ties between due timers
};

struct WindowDC {
    HDC dc = nullptr;
    std::uintptr_t window = 0;
};

struct GlobalBlock {
    std::uintptr_t handle = 0;
    void* memory = nullptr;
    std::size_t bytes = 0;
    bool moveable = false;
    int locks = 0;
};

struct Guard {
    std::string name;
    int handles = 0;       // open handles of this process
    bool foreign = false;  // another process holds it (simulated)
    int socket = -1;       // the process-wide claim, when one was made
};

struct SemaphoreHandle {
    std::uintptr_t handle = 0;
    std::string name;  // empty: unnamed
};

// What outlives reset(): set once for the process.
struct Lasting {
    const Observer* observer = nullptr;
    std::vector<DialogTemplate> dialogTemplates;
    // The package appended to the running executable, read on first use and
    // kept for the life of the process (the sound plays straight from it).
    bool executablePackageRead = false;
    std::span<const std::uint8_t> executablePackage;
};

struct State {
    Lasting lasting;
    const HostDriver* driver = nullptr;

    // host settings
    int screenWidth = 1024;
    int screenHeight = 768;
    int screenDpi = 96;
    // Monitors other than the primary (which is the screen at 0, 0), each
    // with its dots per inch (0: the screen's), and where the primary comes
    // among them when the monitors are listed.
    struct OtherMonitor {
        RECT rect;
        int dpi;
    };
    std::vector<OtherMonitor> otherMonitors;
    std::size_t primaryPosition = 0;
    POINT cursor{0, 0};
    int cursorCount = 0;
    std::uint64_t virtualClock = 0;
    std::function<void(int)> idleHook;
    std::function<void(HWND)> dialogHook;
    bool dialogFails = false;
    int timerLimit = 1000000;
    bool processWideGuards = false;
    std::string guardScope;
    diagnostics::MessageBoxCapture capture = nullptr;

    // resources: packageMode 0 = the executable's own, 1 = set_package
    int packageMode = 0;
    const void* packageData = nullptr;
    std::size_t packageSize = 0;

    // windows
    std::vector<WindowClass> classes;
    std::vector<std::unique_ptr<Window>> windows;
    std::unique_ptr<soft::Framebuffer> desktopPixels;
    std::vector<WindowDC> windowDCs;

    // messages and timers
    std::deque<MSG> queue;
    bool quitPending = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    std::uint64_t timerSerial = 0;
    std::uintptr_t nextThreadTimerId = 1;
    int timerMessages = 0;

    // kernel
    DWORD lastError = 0;
    std::vector<GlobalBlock> blocks;
    std::uintptr_t nextBlockHandle = 0;
    std::vector<Guard> guards;
    std::vector<SemaphoreHandle> semaphores;
    std::uintptr_t nextSemaphoreHandle = 0;
    bool soundLooping = false;
    std::uint32_t randState = 1;  // the C runtime's generator, seeded with 1

    // what the program showed (the renderer reports it)
    std::vector<ShownMessageBox> messageBoxes;
};

State& state();
// The observer, when one is installed (else null).
inline const Observer* observer() { return state().lasting.observer; }
void set_last_error(DWORD code);

// Clock and host.
std::uint64_t now();

// The desktop's pixels at the screen's size (host.cpp).
soft::Framebuffer* desktop_framebuffer();

// Windows (window.cpp).
Window* any_window(std::uintptr_t handle);  // ours, alive or not
Window* live_window(std::uintptr_t handle);
inline std::uintptr_t raw(HWND h) { return reinterpret_cast<std::uintptr_t>(h); }
inline HWND as_hwnd(std::uintptr_t v) { return reinterpret_cast<HWND>(v); }
bool host_window_rect(std::uintptr_t handle, RECT* rect);  // a driver's foreign window
RECT window_rect(const Window& w);
RECT client_rect_on_screen(const Window& w);
bool client_origin(std::uintptr_t handle, LONG* x, LONG* y);
Window* create_window(const std::string& className, const std::string& title, DWORD style,
                      DWORD exStyle, int x, int y, int width, int height,
                      std::uintptr_t parent, std::uintptr_t owner);
void set_window_size(Window& w, LONG width, LONG height);
LRESULT call_window(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
void show_to_host(Window& w);
// Destroys every window of ours that is not inside another of ours.
void destroy_program_windows();
void release_window_dcs();

// Guards (guard.cpp).
Guard* find_guard(const std::string& name);
void release_guards();

// Global memory (kernel.cpp).
void release_blocks();

}  // namespace pf::headless::detail
