// The Win32 side of the end-to-end tests. It stands in for the display
// settings dialog: it owns the window whose handle goes to "/p" and "/c", or
// a window titled like the display settings, starts the saver, and reports
// what the saver did, one "key=value" line each (texts in UTF-8), for the
// test script to check.
//
//   testhost preview SCR WIDTH HEIGHT
//       host window of that outer size; runs SCR "/p HANDLE"; reports the
//       child window and the exit status once the host is destroyed
//   testhost dialog SCR ARGUMENTS [--host-title TEXT | --no-host]
//       host window (titled TEXT, UTF-8, when given); runs SCR with ARGUMENTS
//       in which %h stands for the host's decimal handle; reports the first
//       dialog or message box the saver shows (owner, caption, position,
//       fields 1000..1004, message text), answers it with OK, and reports
//       the exit status
//   testhost window TITLE
//       the top-level window with that title: rectangle, styles, topmost
//   testhost resources FILE
//       the about box template, the icon group, the scene package and the
//       manifest among the resources of FILE
//   testhost measure FILE
//       creates (hidden) the about box from FILE's template and measures
//       field 1000 with its font: the width text may take, and how many of a
//       half-width and of a full-width character fit in it
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::wstring from_utf8(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// Unix paths (from the test script) name the same file on wine's Z: drive.
std::wstring windows_path(const std::string& path) {
    std::string p = path;
    if (!p.empty() && p[0] == '/') p = "Z:" + p;
    for (char& c : p)
        if (c == '/') c = '\\';
    return from_utf8(p);
}

std::wstring window_text(HWND window) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return buffer;
}

std::wstring class_name(HWND window) {
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, 256);
    return buffer;
}

void report(const char* key, const std::string& value) {
    std::printf("%s=%s\n", key, value.c_str());
    std::fflush(stdout);
}

void report(const char* key, long long value) {
    std::printf("%s=%lld\n", key, value);
    std::fflush(stdout);
}

void report_rect(const char* key, const RECT& r) {
    std::printf("%s=%ld,%ld,%ld,%ld\n", key, r.left, r.top, r.right, r.bottom);
    std::fflush(stdout);
}

// Keeps our own windows answering (the saver's child window and its dialog
// send messages to their host) until done() or the time is up.
template <class Done>
bool pump_until(Done done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)),
                                  QS_ALLINPUT);
    }
}

LRESULT CALLBACK host_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND make_host(const std::wstring& title, int x, int y, int width, int height) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = host_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = L"snowglobe-test-host";
    RegisterClassW(&wc);
    HWND host = CreateWindowExW(0, wc.lpszClassName, title.c_str(),
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, x, y, width,
                                height, nullptr, nullptr, wc.hInstance, nullptr);
    pump_until([] { return false; }, 200);
    return host;
}

struct Child {
    PROCESS_INFORMATION info{};
    bool started = false;
};

Child start(const std::string& scr, const std::string& arguments) {
    Child child;
    std::wstring line = L"\"" + windows_path(scr) + L"\" " + from_utf8(arguments);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    child.started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &si, &child.info) != 0;
    if (!child.started) report("error", "cannot start " + scr);
    return child;
}

// Waits (answering our windows) for the saver to end; -1 when it did not.
long long finish(Child& child, DWORD timeoutMs) {
    if (!child.started) return -1;
    const bool ended = pump_until(
        [&] { return WaitForSingleObject(child.info.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs);
    DWORD code = 0;
    if (!ended) {
        TerminateProcess(child.info.hProcess, 99);
        WaitForSingleObject(child.info.hProcess, 5000);
        return -1;
    }
    GetExitCodeProcess(child.info.hProcess, &code);
    CloseHandle(child.info.hProcess);
    CloseHandle(child.info.hThread);
    return code;
}

struct Search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK find_dialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window) && class_name(window) == L"#32770") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

std::string handle_text(HWND window) {
    return std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(window)));
}

std::string replace_host(const std::string& arguments, HWND host) {
    std::string out;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments.compare(i, 2, "%h") == 0) {
            out += handle_text(host);
            ++i;
        } else {
            out += arguments[i];
        }
    }
    return out;
}

// Whether (x, y) is where a window of the dialog's size, centred on `on` by
// halving with truncation, would stand.
bool centred(const RECT& dialog, const RECT& on) {
    const long x = on.left + (on.right - on.left) / 2 - (dialog.right - dialog.left) / 2;
    const long y = on.top + (on.bottom - on.top) / 2 - (dialog.bottom - dialog.top) / 2;
    return dialog.left == x && dialog.top == y;
}

int cmd_preview(const std::string& scr, int width, int height) {
    HWND host = make_host(L"snowglobe preview host", 40, 30, width, height);
    RECT hostRect{};
    GetWindowRect(host, &hostRect);
    report_rect("host_rect", hostRect);
    Child child = start(scr, "/p " + handle_text(host));

    HWND saver = nullptr;
    pump_until([&] { return (saver = GetWindow(host, GW_CHILD)) != nullptr; }, 20000);
    report("child", saver ? 1 : 0);
    if (saver) {
        // The window is listed while its creation message (which builds the
        // whole scene) still runs; it shows itself afterwards.
        pump_until([&] { return (GetWindowLongW(saver, GWL_STYLE) & WS_VISIBLE) != 0; }, 20000);
        DWORD pid = 0;
        GetWindowThreadProcessId(saver, &pid);
        report("child_of_saver", child.started && pid == child.info.dwProcessId ? 1 : 0);
        report("child_parent_is_host", GetAncestor(saver, GA_PARENT) == host ? 1 : 0);
        RECT r{};
        GetWindowRect(saver, &r);
        report("child_size", std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
        char style[32];
        std::snprintf(style, sizeof style, "0x%08lx", GetWindowLongW(saver, GWL_STYLE));
        report("child_style", style);

        // Some ticks later it is still there. (What it draws cannot be
        // looked at here: wine does not show another process's child
        // window on the X screen.)
        pump_until([] { return false; }, 1500);
        report("child_alive_after_ticks",
               IsWindow(saver) && WaitForSingleObject(child.info.hProcess, 0) == WAIT_TIMEOUT ? 1 : 0);
    }
    DestroyWindow(host);
    report("host_destroyed", 1);
    report("exit", finish(child, 15000));
    return 0;
}

int cmd_dialog(const std::string& scr, const std::string& arguments, const std::wstring* title) {
    HWND host = nullptr;
    if (title) host = make_host(*title, 140, 90, 420, 320);
    if (host) {
        RECT hostRect{};
        GetWindowRect(host, &hostRect);
        report_rect("host_rect", hostRect);
    }
    Child child = start(scr, replace_host(arguments, host));
    Search search{child.info.dwProcessId, nullptr};
    const bool shown = child.started && pump_until(
        [&] {
            if (WaitForSingleObject(child.info.hProcess, 0) == WAIT_OBJECT_0) return true;
            EnumWindows(find_dialog, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        20000);
    HWND dialog = search.found;
    report("dialog", dialog ? 1 : 0);
    if (shown && dialog) {
        pump_until([] { return false; }, 300);  // let it finish its WM_INITDIALOG
        const HWND owner = GetWindow(dialog, GW_OWNER);
        report("owner", !owner ? "none" : owner == host ? "host" : "other");
        report("caption", utf8(window_text(dialog)));
        RECT r{};
        GetWindowRect(dialog, &r);
        report_rect("dialog_rect", r);
        RECT desktop{};
        GetWindowRect(GetDesktopWindow(), &desktop);
        RECT hostRect{};
        if (host) GetWindowRect(host, &hostRect);
        report("centred_on_host", host && centred(r, hostRect) ? 1 : 0);
        report("centred_on_desktop", centred(r, desktop) ? 1 : 0);
        for (int id = 1000; id <= 1004; ++id) {
            // GetDlgItemTextW asks the control itself (WM_GETTEXT); the
            // window text of another process's edit control would be empty.
            wchar_t text[1024] = {};
            const std::string key = "field" + std::to_string(id);
            if (GetDlgItem(dialog, id)) {
                GetDlgItemTextW(dialog, id, text, 1024);
                report(key.c_str(), utf8(text));
            } else {
                report(key.c_str(), "<missing>");
            }
        }
        // A message box's text is its static control 0xFFFF.
        if (GetDlgItem(dialog, 0xFFFF)) {
            wchar_t text[1024] = {};
            GetDlgItemTextW(dialog, 0xFFFF, text, 1024);
            report("text", utf8(text));
        }
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    report("exit", finish(child, 15000));
    if (host) DestroyWindow(host);
    return 0;
}

BOOL CALLBACK report_monitor(HMONITOR, HDC, LPRECT rect, LPARAM) {
    report_rect("monitor", *rect);
    return TRUE;
}

int cmd_window(const std::string& title) {
    HWND window = FindWindowW(nullptr, from_utf8(title).c_str());
    report("found", window ? 1 : 0);
    if (!window) return 0;
    RECT r{};
    GetWindowRect(window, &r);
    report_rect("rect", r);
    report("screen", std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" +
                         std::to_string(GetSystemMetrics(SM_CYSCREEN)));
    char text[32];
    std::snprintf(text, sizeof text, "0x%08lx", GetWindowLongW(window, GWL_STYLE));
    report("style", text);
    const LONG ex = GetWindowLongW(window, GWL_EXSTYLE);
    std::snprintf(text, sizeof text, "0x%08lx", ex);
    report("exstyle", text);
    report("topmost", (ex & WS_EX_TOPMOST) ? 1 : 0);
    report("parent", GetAncestor(window, GA_PARENT) == GetDesktopWindow() ? "desktop" : "other");
    // The monitors the system sees, and the saver's black covers on them.
    report("monitors", GetSystemMetrics(SM_CMONITORS));
    EnumDisplayMonitors(nullptr, nullptr, report_monitor, 0);
    int covers = 0;
    for (HWND cover = nullptr;
         (cover = FindWindowExW(nullptr, cover, L"snowglobe monitor cover", nullptr)) != nullptr;) {
        RECT c{};
        GetWindowRect(cover, &c);
        report_rect("cover", c);
        ++covers;
    }
    report("covers", covers);
    // Every window of that title (one per monitor when each plays).
    int savers = 0;
    for (HWND saver = nullptr;
         (saver = FindWindowExW(nullptr, saver, nullptr, from_utf8(title).c_str())) != nullptr;) {
        RECT s{};
        GetWindowRect(saver, &s);
        report_rect("saver", s);
        ++savers;
    }
    report("savers", savers);
    return 0;
}

// ---- resources ----

struct Reader {
    const BYTE* p;
    const BYTE* end;
    bool ok = true;
    WORD word() {
        if (p + 2 > end) {
            ok = false;
            return 0;
        }
        WORD v;
        std::memcpy(&v, p, 2);
        p += 2;
        return v;
    }
    DWORD dword() {
        const DWORD lo = word();
        return lo | static_cast<DWORD>(word()) << 16;
    }
    // A name or ordinal: 0xFFFF then a number, or a NUL-terminated string.
    std::string sz_or_ord() {
        const WORD first = word();
        if (first == 0xFFFF) {
            std::string ordinal = "#";
            ordinal += std::to_string(word());
            return ordinal;
        }
        std::wstring s;
        for (WORD c = first; ok && c != 0; c = word()) s.push_back(static_cast<wchar_t>(c));
        return utf8(s);
    }
    void align4(const BYTE* base) {
        while (ok && (p - base) % 4) ++p;
    }
};

void dump_dialog(HMODULE module) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(104), MAKEINTRESOURCEW(5));
    report("dialog104", found ? 1 : 0);
    if (!found) return;
    const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    Reader r{base, base + SizeofResource(module, found)};
    char text[160];
    const DWORD style = r.dword();
    const DWORD exStyle = r.dword();
    const WORD count = r.word();
    const short x = static_cast<short>(r.word()), y = static_cast<short>(r.word());
    const short cx = static_cast<short>(r.word()), cy = static_cast<short>(r.word());
    std::snprintf(text, sizeof text, "style=0x%08lx ex=0x%08lx items=%u at=%d,%d size=%dx%d", style,
                  exStyle, count, x, y, cx, cy);
    report("dialog_header", text);
    report("dialog_menu", r.sz_or_ord());
    report("dialog_class", r.sz_or_ord());
    report("dialog_caption", r.sz_or_ord());
    if (style & DS_SETFONT) {
        const WORD points = r.word();
        report("dialog_font", std::to_string(points) + "pt " + r.sz_or_ord());
    }
    for (int i = 0; i < count && r.ok; ++i) {
        r.align4(base);
        const DWORD itemStyle = r.dword();
        const DWORD itemEx = r.dword();
        const short ix = static_cast<short>(r.word()), iy = static_cast<short>(r.word());
        const short iw = static_cast<short>(r.word()), ih = static_cast<short>(r.word());
        const WORD id = r.word();
        const std::string cls = r.sz_or_ord();
        const std::string title = r.sz_or_ord();
        const WORD extra = r.word();
        r.p += extra;
        std::snprintf(text, sizeof text,
                      "id=%u class=%s text=\"%s\" at=%d,%d size=%dx%d style=0x%08lx ex=0x%08lx", id,
                      cls.c_str(), title.c_str(), ix, iy, iw, ih, itemStyle, itemEx);
        report("dialog_item", text);
    }
    if (!r.ok) report("dialog_truncated", 1);
}

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

void dump_icon(HMODULE module) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(14));
    report("icon101", found ? 1 : 0);
    if (!found) return;
    const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    const DWORD size = SizeofResource(module, found);
    if (size < 6) return;
    WORD count;
    std::memcpy(&count, base + 4, 2);
    report("icon_images", count);
    for (WORD i = 0; i < count && 6 + (i + 1) * sizeof(GroupEntry) <= size; ++i) {
        GroupEntry e;
        std::memcpy(&e, base + 6 + i * sizeof(GroupEntry), sizeof e);
        char text[96];
        std::snprintf(text, sizeof text, "%ux%u colours=%u bits=%u", e.width ? e.width : 256u,
                      e.height ? e.height : 256u, e.colours, e.bitCount);
        report("icon_image", text);
    }
}

BOOL CALLBACK each_language(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

void dump_package(HMODULE module) {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module, L"KAVREN", MAKEINTRESOURCEW(103), each_language,
                           reinterpret_cast<LONG_PTR>(&languages));
    std::string list;
    for (WORD l : languages) {
        if (!list.empty()) list += ',';
        list += std::to_string(l);
    }
    report("package_languages", list);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(103), L"KAVREN");
    const DWORD size = found ? SizeofResource(module, found) : 0;
    report("package_bytes", found ? static_cast<long long>(size) : -1);
    if (!found || size < 8) return;
    // The scene title: at the offset of directory entry 0, Shift-JIS, ending
    // within its 300 bytes.
    const char* package = static_cast<const char*>(LockResource(LoadResource(module, found)));
    std::uint32_t scene = 0;
    std::memcpy(&scene, package, 4);
    if (scene > size || size - scene < 300) return;
    const char* title = package + scene;
    const std::size_t length = strnlen(title, 300);
    if (length == 300) return;
    const int n = MultiByteToWideChar(932, 0, title, static_cast<int>(length), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(932, 0, title, static_cast<int>(length), wide.data(), n);
    report("package_title", utf8(wide));
}

void dump_manifest(HMODULE module) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    report("manifest", found ? 1 : 0);
    if (!found) return;
    const char* text = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::string manifest(text, SizeofResource(module, found));
    const bool systemAware = manifest.find("<dpiAware") != std::string::npos &&
                             manifest.find("true/pm</dpiAware>") != std::string::npos;
    const bool perMonitor = manifest.find("PerMonitorV2, PerMonitor</dpiAwareness>") != std::string::npos;
    report("manifest_dpi_aware", systemAware && perMonitor ? 1 : 0);
}

int cmd_resources(const std::string& file) {
    HMODULE module = LoadLibraryExW(windows_path(file).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    report("loaded", module ? 1 : 0);
    if (!module) return 1;
    dump_dialog(module);
    dump_icon(module);
    dump_package(module);
    dump_manifest(module);
    FreeLibrary(module);
    return 0;
}

INT_PTR CALLBACK quiet_dialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// How many copies of `c` fit in `width` pixels on dc.
int fitting(HDC dc, wchar_t c, int width) {
    std::wstring text;
    for (;;) {
        text += c;
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        if (size.cx > width || text.size() > 1000) return static_cast<int>(text.size()) - 1;
    }
}

int cmd_measure(const std::string& file) {
    HMODULE module = LoadLibraryExW(windows_path(file).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(104), MAKEINTRESOURCEW(5)) : nullptr;
    report("template", found ? 1 : 0);
    if (!found) return 1;
    const auto* dialogTemplate =
        static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, found)));
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate, nullptr,
                                             quiet_dialog, 0);
    HWND field = dialog ? GetDlgItem(dialog, 1000) : nullptr;
    report("dialog", field ? 1 : 0);
    if (!field) return 1;
    // The edit control's formatting rectangle: its client area less margins.
    RECT r{};
    SendMessageW(field, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
    const int width = r.right - r.left;
    HDC dc = GetDC(field);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(field, WM_GETFONT, 0, 0)));
    wchar_t face[64] = {};
    GetTextFaceW(dc, 64, face);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    report("field_width", width);
    report("font_face", utf8(face));
    report("font_height", metrics.tmHeight);
    report("average_char_width", metrics.tmAveCharWidth);
    report("fit_digit_0", fitting(dc, L'0', width));
    report("fit_a", fitting(dc, L'a', width));
    report("fit_M", fitting(dc, L'M', width));
    report("fit_W", fitting(dc, L'W', width));
    report("fit_half_katakana", fitting(dc, L'\uFF76', width));  // ｶ
    report("fit_hiragana_a", fitting(dc, L'\u3042', width));     // あ
    report("fit_kanji_snow", fitting(dc, L'\u96EA', width));     // 雪
    SelectObject(dc, old);
    ReleaseDC(field, dc);
    DestroyWindow(dialog);
    FreeLibrary(module);
    return 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: testhost preview SCR WIDTH HEIGHT\n"
                 "       testhost dialog SCR ARGUMENTS [--host-title TEXT | --no-host]\n"
                 "       testhost window TITLE\n"
                 "       testhost resources FILE\n"
                 "       testhost measure FILE\n");
    return 2;
}

}  // namespace

int main() {
    // Arguments are taken wide (the narrow ones are in the ANSI code page) and
    // handled as UTF-8, like everything written out.
    _setmode(_fileno(stdout), _O_BINARY);  // "\n", not "\r\n"
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(utf8(argv[i]));
    if (args.size() == 4 && args[0] == "preview")
        return cmd_preview(args[1], std::atoi(args[2].c_str()), std::atoi(args[3].c_str()));
    if (args.size() >= 3 && args[0] == "dialog") {
        std::wstring title = L"snowglobe test host";
        bool host = true;
        for (std::size_t i = 3; i < args.size(); ++i) {
            if (args[i] == "--no-host") host = false;
            else if (args[i] == "--host-title" && i + 1 < args.size()) title = from_utf8(args[++i]);
            else return usage();
        }
        return cmd_dialog(args[1], args[2], host ? &title : nullptr);
    }
    if (args.size() == 2 && args[0] == "window") return cmd_window(args[1]);
    if (args.size() == 2 && args[0] == "resources") return cmd_resources(args[1]);
    if (args.size() == 2 && args[0] == "measure") return cmd_measure(args[1]);
    return usage();
}
