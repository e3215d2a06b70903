// The in-memory USER/KERNEL: generator reset, message order, timers, the named
// guard across processes, global memory,
// dialogs, resources and the host driver.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/headless/headless.h"
#include "platform/headless/scripting.h"
#include "platform/platform.h"

namespace {

namespace hl = pf::headless;
using Bytes = std::vector<std::uint8_t>;

class Headless : public ::testing::Test {
protected:
    void SetUp() override { hl::reset(); }
    void TearDown() override { hl::reset(); }
};

// ---- a window procedure the tests steer ----

struct Script {
    bool timerOnCreate = true;
    int quitCode = 7;
    std::vector<pf::HWND> createdDuringCreate;  // windows() seen inside WM_CREATE
    bool sawCreateBeforeReturn = false;
};
Script script;

pf::LRESULT test_proc(pf::HWND w, pf::UINT msg, pf::WPARAM wp, pf::LPARAM lp) {
    switch (msg) {
        case pf::WM_CREATE:
            script.sawCreateBeforeReturn = true;
            if (script.timerOnCreate) pf::SetTimer(w, 120, 33, nullptr);
            return 0;
        case pf::WM_PAINT: {
            pf::PAINTSTRUCT ps;
            pf::BeginPaint(w, &ps);
            pf::EndPaint(w, &ps);
            return 0;
        }
        case pf::WM_CLOSE:
            pf::DestroyWindow(w);
            return 1;
        case pf::WM_DESTROY:
            pf::PostQuitMessage(script.quitCode);
            return 1;
        default:
            return pf::DefWindowProcA(w, msg, wp, lp);
    }
}

pf::HWND make_window(const char* title = "scene", pf::DWORD style = pf::WS_POPUP | pf::WS_VISIBLE,
                     pf::HWND parent = nullptr, int x = 0, int y = 0, int w = 64, int h = 48) {
    pf::WNDCLASSA wc{};
    wc.style = pf::CS_HREDRAW | pf::CS_VREDRAW;
    wc.lpfnWndProc = test_proc;
    wc.lpszClassName = title;
    pf::RegisterClassA(&wc);
    return pf::CreateWindowExA(0, title, title, style, x, y, w, h, parent, nullptr, nullptr, nullptr);
}

// What GetMessageA handed the loop, which may differ from what reached a procedure.
std::vector<pf::UINT> retrieved;

int run_loop() {
    retrieved.clear();
    pf::MSG msg;
    while (pf::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        retrieved.push_back(msg.message);
        pf::TranslateMessage(&msg);
        pf::DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// ---- the C runtime's generator ----

// The sequence itself is checked on every backend (tests/platform); here only
// that resetting the in-memory host starts it again.
TEST_F(Headless, ResetStartsTheGeneratorAgain) {
    for (int i = 0; i < 1000; ++i) pf::rand();
    hl::reset();
    EXPECT_EQ(pf::rand(), 41);
    EXPECT_EQ(pf::rand(), 18467);
}

// ---- messages and timers ----

TEST_F(Headless, MessageOrderCreatePaintTimersCloseDestroyAndLateClosesDropped) {
    script = Script{};
    pf::HWND w = make_window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(script.sawCreateBeforeReturn) << "WM_CREATE arrives before CreateWindowExA returns";
    ASSERT_EQ(hl::dispatched_messages(), std::vector<pf::UINT>{pf::WM_CREATE});

    std::vector<int> hookCalls;
    hl::set_idle_hook([&](int timers) {
        hookCalls.push_back(timers);
        if (timers == 2) {
            // Three requests in a row: the first destroys, the rest find no window.
            EXPECT_TRUE(pf::PostMessageA(w, pf::WM_CLOSE, 0, 0));
            EXPECT_TRUE(pf::PostMessageA(w, pf::WM_CLOSE, 0, 0));
            hl::inject_key(w);
        }
    });
    EXPECT_EQ(run_loop(), 7);
    const std::vector<pf::UINT> expected{pf::WM_CREATE, pf::WM_PAINT, pf::WM_TIMER, pf::WM_TIMER,
                                         pf::WM_CLOSE, pf::WM_DESTROY};
    EXPECT_EQ(hl::dispatched_messages(), expected);
    EXPECT_EQ(retrieved, (std::vector<pf::UINT>(expected.begin() + 1, expected.end() - 1)))
        << "messages for the destroyed window never leave the queue";
    EXPECT_EQ(hookCalls, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(hl::clock_ms(), 66u) << "the virtual clock jumps from one due timer to the next";
    EXPECT_FALSE(pf::IsWindow(w));
    EXPECT_EQ(hl::live_timers(), 0) << "a window's timers go with it";
    EXPECT_FALSE(pf::PostMessageA(w, pf::WM_CLOSE, 0, 0));
}

// What the program does reaches the installed observer only: without one
// (a shipped program) nothing is kept. reset() leaves the observer in place.
struct Watched {
    int resets = 0;
    std::vector<pf::UINT> dispatched;
    int sounds = 0;
};
Watched watched;
const hl::Observer WATCHER = {
    [] { ++watched.resets; },
    [](pf::HWND, pf::UINT message) { watched.dispatched.push_back(message); },
    nullptr,
    [](const void*, pf::UINT) { ++watched.sounds; },
    nullptr,
};

TEST_F(Headless, OnlyTheInstalledObserverHearsOfWhatTheProgramDoes) {
    struct PutBack {
        ~PutBack() { hl::set_observer(hl::recorder()); }
    } putBack;
    watched = Watched{};
    hl::set_observer(&WATCHER);
    hl::reset();
    EXPECT_EQ(watched.resets, 1) << "the observer stays across reset() and is told of it";
    script = Script{};
    script.timerOnCreate = false;
    pf::HWND w = make_window();
    pf::sndPlaySoundA(nullptr, 0);
    pf::ImmAssociateContext(w, nullptr);  // a member left null is not called
    pf::PostMessageA(w, pf::WM_CLOSE, 0, 0);
    EXPECT_EQ(run_loop(), 7);
    EXPECT_EQ(watched.dispatched, (std::vector<pf::UINT>{pf::WM_CREATE, pf::WM_CLOSE, pf::WM_DESTROY}));
    EXPECT_EQ(watched.sounds, 1);
    EXPECT_TRUE(hl::dispatched_messages().empty()) << "the recorder was not installed";

    hl::set_observer(nullptr);
    hl::reset();
    script = Script{};
    w = make_window();
    pf::PostMessageA(w, pf::WM_CLOSE, 0, 0);
    EXPECT_EQ(run_loop(), 7);
    EXPECT_EQ(watched.dispatched.size(), 3u);
    EXPECT_TRUE(hl::dispatched_messages().empty());
    EXPECT_TRUE(hl::sound_calls().empty());
}

TEST_F(Headless, KeyDownIsTranslatedIntoACharacterReadNext) {
    script = Script{};
    script.timerOnCreate = false;
    pf::HWND w = make_window();
    hl::inject_key(w, pf::WM_KEYDOWN, 'Q');
    hl::inject_key(w, pf::WM_KEYUP, 'Q');
    pf::PostMessageA(w, pf::WM_CLOSE, 0, 0);
    EXPECT_EQ(run_loop(), 7);
    // The character comes before the key-up queued earlier; WM_PAINT would
    // only come once the queue is empty, and by then the window has gone.
    EXPECT_EQ(hl::dispatched_messages(),
              (std::vector<pf::UINT>{pf::WM_CREATE, pf::WM_KEYDOWN, pf::WM_CHAR, pf::WM_KEYUP, pf::WM_CLOSE,
                                     pf::WM_DESTROY}));
}

TEST_F(Headless, SetTimerWithTheSameIdReplacesAndKillTimerStops) {
    script = Script{};
    script.timerOnCreate = false;
    pf::HWND w = make_window();
    EXPECT_EQ(pf::SetTimer(w, 5, 500, nullptr), 5u);
    EXPECT_EQ(pf::SetTimer(w, 5, 40, nullptr), 5u);
    EXPECT_EQ(pf::SetTimer(w, 6, 100, nullptr), 6u);
    EXPECT_EQ(hl::live_timers(), 2);
    EXPECT_EQ(pf::SetTimer(reinterpret_cast<pf::HWND>(0x7654), 1, 10, nullptr), 0u) << "not a window";

    std::vector<std::pair<pf::WPARAM, std::uint64_t>> ticks;
    pf::MSG msg;
    while (ticks.size() < 4 && pf::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == pf::WM_TIMER) ticks.emplace_back(msg.wParam, hl::clock_ms());
        pf::DispatchMessageA(&msg);
    }
    using Tick = std::pair<pf::WPARAM, std::uint64_t>;
    EXPECT_EQ(ticks, (std::vector<Tick>{{5, 40}, {5, 80}, {6, 100}, {5, 120}}));
    EXPECT_TRUE(pf::KillTimer(w, 5));
    EXPECT_FALSE(pf::KillTimer(w, 5));
    EXPECT_EQ(hl::live_timers(), 1);
}

TEST_F(Headless, TimerLimitAndSilentLoopEndTheProgram) {
    script = Script{};
    make_window();
    hl::set_timer_limit(10);
    EXPECT_EQ(run_loop(), 7) << "the windows are destroyed, which posts the quit";
    EXPECT_EQ(hl::timer_messages_delivered(), 10);

    // No timer and nothing posted by the hook: the loop ends instead of waiting forever.
    hl::reset();
    script = Script{};
    script.timerOnCreate = false;
    pf::HWND w = make_window();
    EXPECT_EQ(run_loop(), 7);
    EXPECT_FALSE(pf::IsWindow(w));
    hl::reset();
    EXPECT_EQ(run_loop(), 0) << "no window at all: WM_QUIT with 0";
}

// ---- windows ----

TEST_F(Headless, ChildrenOfForeignWindowsAndFindWindowByExactTitle) {
    script = Script{};
    script.timerOnCreate = false;
    pf::HWND settings = hl::create_foreign_window("Settings", 100, 50, 400, 300);
    pf::HWND pane = hl::create_foreign_window("pane", 20, 30, 152, 112, settings);
    pf::RECT r{};
    ASSERT_TRUE(pf::GetWindowRect(pane, &r));
    EXPECT_EQ(r.left, 120);
    EXPECT_EQ(r.top, 80);
    EXPECT_EQ(r.right, 272);
    EXPECT_EQ(r.bottom, 192);

    pf::HWND child = make_window("child", pf::WS_CHILD | pf::WS_VISIBLE, pane, 5, 6, 10, 10);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(pf::GetWindowRect(child, &r));
    EXPECT_EQ(r.left, 125);
    EXPECT_EQ(r.top, 86);
    EXPECT_EQ(hl::window_pixels(child)->width, 10);

    EXPECT_EQ(pf::FindWindowA(nullptr, "Settings"), settings);
    EXPECT_EQ(pf::FindWindowA(nullptr, "Setting"), nullptr);
    EXPECT_EQ(pf::FindWindowA(nullptr, "pane"), nullptr) << "only top-level windows";
    EXPECT_EQ(pf::FindWindowA(nullptr, "Settings "), nullptr);
    EXPECT_EQ(make_window("child2", pf::WS_CHILD, nullptr), nullptr) << "a child needs a parent";
    EXPECT_EQ(make_window("child3", pf::WS_CHILD, reinterpret_cast<pf::HWND>(0x12346)), nullptr);

    // The host's pane goes: our child hears WM_DESTROY, with no WM_CLOSE.
    EXPECT_TRUE(pf::DestroyWindow(settings));
    EXPECT_FALSE(pf::IsWindow(pane));
    EXPECT_FALSE(pf::IsWindow(child));
    EXPECT_EQ(hl::dispatched_messages(), (std::vector<pf::UINT>{pf::WM_CREATE, pf::WM_DESTROY}));
    EXPECT_TRUE(pf::IsWindow(pf::GetDesktopWindow()));
    ASSERT_TRUE(pf::GetWindowRect(pf::GetDesktopWindow(), &r));
    EXPECT_EQ(r.right, 1024);
    EXPECT_EQ(r.bottom, 768);
    EXPECT_FALSE(pf::GetWindowRect(reinterpret_cast<pf::HWND>(12345), &r));
    EXPECT_FALSE(pf::IsWindow(reinterpret_cast<pf::HWND>(12345)));
}

TEST_F(Headless, CursorCounterInputMethodAndSoundAreRecorded) {
    EXPECT_EQ(pf::ShowCursor(0), -1);
    EXPECT_EQ(pf::ShowCursor(1), 0);
    EXPECT_EQ(hl::cursor_show_count(), 0);
    hl::set_cursor_pos(12, -3);
    pf::POINT p{};
    ASSERT_TRUE(pf::GetCursorPos(&p));
    EXPECT_EQ(p.x, 12);
    EXPECT_EQ(p.y, -3);

    script = Script{};
    pf::HWND w = make_window();
    EXPECT_EQ(pf::ImmAssociateContext(w, nullptr), nullptr);
    ASSERT_EQ(hl::ime_calls().size(), 1u);
    EXPECT_EQ(hl::ime_calls()[0].window, w);

    const char wav[] = "RIFF";
    constexpr pf::UINT loop = pf::SND_ASYNC | pf::SND_NODEFAULT | pf::SND_MEMORY | pf::SND_LOOP | pf::SND_NOSTOP;
    EXPECT_TRUE(pf::sndPlaySoundA(wav, loop));
    EXPECT_FALSE(pf::sndPlaySoundA(wav, loop)) << "SND_NOSTOP leaves the running loop alone";
    EXPECT_TRUE(pf::sndPlaySoundA(nullptr, 0));
    ASSERT_EQ(hl::sound_calls().size(), 3u);
    EXPECT_TRUE(hl::sound_calls()[0].play);
    EXPECT_EQ(hl::sound_calls()[0].wav, wav);
    EXPECT_FALSE(hl::sound_calls()[2].play);
}

// ---- the named guard ----

int child_takes_guard(const std::string& name, bool processWide) {
    pid_t pid = fork();
    if (pid == 0) {
        hl::reset();  // the child's copy of our table knows nothing
        hl::set_process_wide_guards(processWide);
        pf::HANDLE h = pf::CreateSemaphoreA(nullptr, 0, 1, name.c_str());
        _exit(h == nullptr ? 3 : pf::GetLastError() == pf::ERROR_ALREADY_EXISTS ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string unique_guard_name(const char* what) {
    static int n = 0;
    return std::string("headless test ") + what + " " + std::to_string(getpid()) + "." + std::to_string(++n);
}

TEST_F(Headless, GuardNamesInOneProcess) {
    pf::HANDLE a = pf::CreateSemaphoreA(nullptr, 0, 1, "scene");
    EXPECT_EQ(pf::GetLastError(), 0u);
    pf::HANDLE b = pf::CreateSemaphoreA(nullptr, 0, 1, "scene");
    EXPECT_EQ(pf::GetLastError(), pf::ERROR_ALREADY_EXISTS);
    EXPECT_NE(a, b);
    pf::CreateSemaphoreA(nullptr, 0, 1, "Scene");
    EXPECT_EQ(pf::GetLastError(), 0u) << "names are case-sensitive";
    EXPECT_TRUE(pf::CloseHandle(a));
    EXPECT_EQ(hl::live_guards().size(), 2u) << "the name lives while a handle is open";
    EXPECT_TRUE(pf::CloseHandle(b));
    EXPECT_FALSE(pf::CloseHandle(b));
    EXPECT_EQ(hl::live_guards(), std::vector<std::string>{"Scene"});
    pf::CreateSemaphoreA(nullptr, 0, 1, "scene");
    EXPECT_EQ(pf::GetLastError(), 0u);

    hl::hold_foreign_guard("other");
    pf::HANDLE c = pf::CreateSemaphoreA(nullptr, 0, 1, "other");
    EXPECT_EQ(pf::GetLastError(), pf::ERROR_ALREADY_EXISTS);
    pf::CloseHandle(c);
    pf::CreateSemaphoreA(nullptr, 0, 1, "other");
    EXPECT_EQ(pf::GetLastError(), pf::ERROR_ALREADY_EXISTS) << "the other process still holds it";
    EXPECT_EQ(pf::CreateSemaphoreA(nullptr, 0, 0, "bad"), nullptr);
}

TEST_F(Headless, ProcessWideGuardKeepsAnotherProcessOutUntilClosed) {
    const std::string name = unique_guard_name("held");
    hl::set_process_wide_guards(true);
    pf::HANDLE h = pf::CreateSemaphoreA(nullptr, 0, 1, name.c_str());
    ASSERT_EQ(pf::GetLastError(), 0u);
    EXPECT_EQ(child_takes_guard(name, true), 1) << "another process sees the name taken";
    EXPECT_EQ(child_takes_guard(name, false), 0) << "in-process guards do not reach other processes";
    ASSERT_TRUE(pf::CloseHandle(h));
    EXPECT_EQ(child_takes_guard(name, true), 0) << "closed: free for the next process";

    // A name too long for a socket address is hashed, and still exclusive.
    const std::string longName = unique_guard_name(std::string(280, 'x').c_str());
    pf::HANDLE l = pf::CreateSemaphoreA(nullptr, 0, 1, longName.c_str());
    ASSERT_EQ(pf::GetLastError(), 0u);
    EXPECT_EQ(child_takes_guard(longName, true), 1);
    EXPECT_EQ(child_takes_guard(longName.substr(0, longName.size() - 1), true), 0);
    pf::CloseHandle(l);
}

TEST_F(Headless, ProcessWideGuardVanishesWithItsHolderHoweverItEnds) {
    for (bool killed : {false, true}) {
        const std::string name = unique_guard_name(killed ? "killed" : "exited");
        int ready[2], go[2];
        ASSERT_EQ(pipe(ready), 0);
        ASSERT_EQ(pipe(go), 0);
        pid_t holder = fork();
        if (holder == 0) {
            close(ready[0]);
            close(go[1]);
            hl::reset();
            hl::set_process_wide_guards(true);
            pf::CreateSemaphoreA(nullptr, 0, 1, name.c_str());
            char ok = pf::GetLastError() == 0 ? 'y' : 'n';
            (void)!write(ready[1], &ok, 1);
            char nothing;
            (void)!read(go[0], &nothing, 1);  // until the parent closes its end
            _exit(0);                         // without CloseHandle
        }
        close(ready[1]);
        close(go[0]);
        char ok = 0;
        ASSERT_EQ(read(ready[0], &ok, 1), 1);
        EXPECT_EQ(ok, 'y');
        close(ready[0]);

        hl::set_process_wide_guards(true);
        pf::HANDLE mine = pf::CreateSemaphoreA(nullptr, 0, 1, name.c_str());
        EXPECT_EQ(pf::GetLastError(), pf::ERROR_ALREADY_EXISTS) << "the holder still runs";
        pf::CloseHandle(mine);

        if (killed) kill(holder, SIGKILL);
        close(go[1]);
        int status = 0;
        waitpid(holder, &status, 0);
        EXPECT_EQ(killed, WIFSIGNALED(status));
        pf::HANDLE after = pf::CreateSemaphoreA(nullptr, 0, 1, name.c_str());
        EXPECT_EQ(pf::GetLastError(), 0u) << (killed ? "killed holder" : "exited holder");
        pf::CloseHandle(after);
    }
}

Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }

// ---- resources and global memory ----

TEST_F(Headless, PackageResourceComesFromSetPackage) {
    const Bytes pkg = bytes_of("a package");
    hl::set_package(pkg.data(), pkg.size());
    pf::HRSRC r = pf::FindResourceA(nullptr, pf::MAKEINTRESOURCEA(103), "KAVREN");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(pf::SizeofResource(nullptr, r), pkg.size());
    EXPECT_EQ(pf::LockResource(pf::LoadResource(nullptr, r)), pkg.data());
    EXPECT_EQ(pf::FindResourceA(nullptr, pf::MAKEINTRESOURCEA(104), "KAVREN"), nullptr);
    EXPECT_EQ(pf::FindResourceA(nullptr, pf::MAKEINTRESOURCEA(103), "KAVRE"), nullptr);
    EXPECT_EQ(pf::FindResourceA(nullptr, pf::MAKEINTRESOURCEA(103), pf::MAKEINTRESOURCEA(10)), nullptr);
    EXPECT_EQ(pf::LockResource(nullptr), nullptr);

    hl::set_package(nullptr, 0);
    EXPECT_EQ(pf::FindResourceA(nullptr, pf::MAKEINTRESOURCEA(103), "KAVREN"), nullptr);
    // The test program itself carries no package.
    hl::reset();
    EXPECT_EQ(pf::FindResourceA(nullptr, pf::MAKEINTRESOURCEA(103), "KAVREN"), nullptr);
}

TEST_F(Headless, GlobalMemoryBlocksAndTheirHandles) {
    pf::HGLOBAL h = pf::GlobalAlloc(pf::GMEM_MOVEABLE | pf::GMEM_ZEROINIT, 4096);
    ASSERT_NE(h, nullptr);
    auto* p = static_cast<std::uint8_t*>(pf::GlobalLock(h));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(p[i], 0) << i;
    EXPECT_EQ(pf::GlobalHandle(p), h);
    EXPECT_EQ(pf::GlobalLock(h), p);
    EXPECT_TRUE(pf::GlobalUnlock(h)) << "still locked once";
    EXPECT_FALSE(pf::GlobalUnlock(h));
    EXPECT_EQ(pf::GetLastError(), 0u) << "unlocked";
    EXPECT_FALSE(pf::GlobalUnlock(h));
    EXPECT_NE(pf::GetLastError(), 0u) << "was not locked";

    // Pointers that are not blocks.
    int onStack = 0;
    EXPECT_EQ(pf::GlobalHandle(&onStack), nullptr);
    EXPECT_EQ(pf::GlobalHandle(p + 1), nullptr) << "inside a block is not a block";
    EXPECT_EQ(pf::GlobalHandle(nullptr), nullptr);
    EXPECT_EQ(hl::live_global_blocks(), 1);

    EXPECT_EQ(pf::GlobalFree(h), nullptr);
    EXPECT_EQ(pf::GlobalFree(h), h) << "freeing twice fails";
    EXPECT_EQ(pf::GlobalHandle(p), nullptr);
    EXPECT_EQ(pf::GlobalLock(h), nullptr);
    EXPECT_EQ(hl::live_global_blocks(), 0);
    EXPECT_EQ(pf::GlobalAlloc(pf::GMEM_MOVEABLE, ~std::size_t{0}), nullptr);
}

// ---- the about dialog ----

pf::HWND centreOn = nullptr;

pf::INT_PTR about_proc(pf::HWND d, pf::UINT msg, pf::WPARAM wp, pf::LPARAM) {
    if (msg == pf::WM_INITDIALOG) {
        pf::RECT r, me;
        pf::GetWindowRect(centreOn, &r);
        pf::GetWindowRect(d, &me);
        pf::SetWindowPos(d, nullptr, r.left + (r.right - r.left) / 2 - (me.right - me.left) / 2,
                         r.top + (r.bottom - r.top) / 2 - (me.bottom - me.top) / 2, 0, 0,
                         pf::SWP_NOZORDER | pf::SWP_NOSIZE);
        pf::SetWindowTextA(pf::GetDlgItem(d, 1000), "first");
        pf::SetWindowTextA(pf::GetDlgItem(d, 1002), "third");
        return 0;
    }
    if (msg == pf::WM_COMMAND && (pf::LOWORD(wp) == pf::IDOK || pf::LOWORD(wp) == pf::IDCANCEL)) {
        pf::EndDialog(d, 1);
        return 1;
    }
    return 0;
}

TEST_F(Headless, AboutDialogIsLaidOutInitialisedAndRecorded) {
    centreOn = hl::create_foreign_window("owner", 900, 700, 100, 50);  // near the corner
    pf::INT_PTR result = pf::DialogBoxParamA(nullptr, pf::MAKEINTRESOURCEA(104), centreOn, about_proc, 0);
    EXPECT_EQ(result, 1) << "the default hook presses OK";
    ASSERT_EQ(hl::dialogs().size(), 1u);
    const hl::ShownDialog& d = hl::dialogs()[0];
    EXPECT_EQ(d.owner, centreOn);
    EXPECT_EQ(d.templateId, 104);
    // 207 x 128 units at 6 x 12 base units: 311 x 192 client pixels, plus frame and caption.
    EXPECT_EQ(d.rect.right - d.rect.left, 317);
    EXPECT_EQ(d.rect.bottom - d.rect.top, 217);
    EXPECT_EQ(d.rect.left, 950 - 158) << "centred on the owner, past the screen edge";
    EXPECT_EQ(d.rect.top, 725 - 108);
    EXPECT_EQ(d.fields[0], "first");
    EXPECT_EQ(d.fields[1], "");
    EXPECT_EQ(d.fields[2], "third");
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(hl::dispatched_messages(),
              (std::vector<pf::UINT>{pf::WM_INITDIALOG, pf::WM_COMMAND, pf::WM_DESTROY}));

    // Controls sit where the template's units put them, inside the client area.
    pf::HWND seen = nullptr;
    pf::RECT ok{}, field{}, box{};
    hl::set_dialog_hook([&](pf::HWND dialog) {
        seen = dialog;
        pf::GetWindowRect(dialog, &box);
        pf::GetWindowRect(pf::GetDlgItem(dialog, pf::IDOK), &ok);
        pf::GetWindowRect(pf::GetDlgItem(dialog, 1004), &field);
        EXPECT_EQ(pf::GetDlgItem(dialog, 1005), nullptr);
        EXPECT_EQ(hl::window_text(pf::GetDlgItem(dialog, pf::IDOK)), "OK");
        hl::dialog_command(dialog, pf::IDCANCEL);
    });
    EXPECT_EQ(pf::DialogBoxParamA(nullptr, pf::MAKEINTRESOURCEA(104), nullptr, about_proc, 0), 1);
    EXPECT_FALSE(pf::IsWindow(seen)) << "the dialog is destroyed when it ends";
    EXPECT_EQ(ok.left - box.left, 3 + 116);
    EXPECT_EQ(ok.top - box.top, 3 + 19 + 161);
    EXPECT_EQ(ok.right - ok.left, 75);
    EXPECT_EQ(ok.bottom - ok.top, 21);
    EXPECT_EQ(field.left - box.left, 3 + 42);
    EXPECT_EQ(field.top - box.top, 3 + 19 + 131);
    EXPECT_EQ(field.right - field.left, 228);

    // A hook that leaves it open: closed with 0 rather than waited for.
    hl::set_dialog_hook([](pf::HWND) {});
    EXPECT_EQ(pf::DialogBoxParamA(nullptr, pf::MAKEINTRESOURCEA(104), nullptr, about_proc, 0), 0);

    const std::size_t before = hl::dialogs().size();
    hl::set_dialog_fails(true);
    EXPECT_EQ(pf::DialogBoxParamA(nullptr, pf::MAKEINTRESOURCEA(104), nullptr, about_proc, 0), -1);
    hl::set_dialog_fails(false);
    EXPECT_EQ(pf::DialogBoxParamA(nullptr, pf::MAKEINTRESOURCEA(105), nullptr, about_proc, 0), -1);
    EXPECT_EQ(pf::DialogBoxParamA(nullptr, pf::MAKEINTRESOURCEA(104), reinterpret_cast<pf::HWND>(0x7777),
                                  about_proc, 0),
              -1);
    EXPECT_EQ(hl::dialogs().size(), before) << "a dialog that was never created is not recorded";
}

TEST_F(Headless, MessageBoxesAreRecordedAndCaptured) {
    static std::vector<std::string> captured;
    captured.clear();
    EXPECT_EQ(pf::MessageBoxA(nullptr, "err", "hres", pf::MB_OK), pf::IDOK);
    pf::diagnostics::set_message_box_capture([](pf::HWND, const char* text, const char*, pf::UINT) { captured.push_back(text); });
    pf::MessageBoxA(nullptr, "second", nullptr, pf::MB_OK);
    ASSERT_EQ(hl::message_boxes().size(), 2u);
    EXPECT_EQ(hl::message_boxes()[0].caption, "hres");
    EXPECT_EQ(hl::message_boxes()[1].caption, "Error") << "no caption: the system's";
    EXPECT_EQ(captured, std::vector<std::string>{"second"});
    pf::diagnostics::set_message_box_capture(nullptr);

    // Under a host driver the host shows them, and a program that runs on keeps none.
    static int shown = 0;
    static const hl::HostDriver SHOWS_BOXES = {
        .name = "boxes",
        .message_box = [](pf::HWND, const char*, const char*) { ++shown; },
    };
    hl::reset();
    hl::set_host_driver(&SHOWS_BOXES);
    pf::MessageBoxA(nullptr, "third", "hres", pf::MB_OK);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(hl::message_boxes().empty());
    // A driver that cannot take a code page shows such a box all the same.
    pf::MessageBoxInCodePage(nullptr, "Caf\xe9", 1252, "hres", pf::MB_OK);
    EXPECT_EQ(shown, 2);

    // One that can gets the text's code page; the record keeps it too.
    static std::vector<pf::UINT> codePages;
    static const hl::HostDriver SHOWS_CODE_PAGES = {
        .name = "pages",
        .message_box = [](pf::HWND, const char*, const char*) { codePages.push_back(0); },
        .message_box_in_code_page =
            [](pf::HWND, const char*, pf::UINT codePage, const char*) { codePages.push_back(codePage); },
    };
    hl::set_host_driver(&SHOWS_CODE_PAGES);
    pf::MessageBoxInCodePage(nullptr, "Caf\xe9", 1252, "hres", pf::MB_OK);
    pf::MessageBoxA(nullptr, "x", "hres", pf::MB_OK);
    EXPECT_EQ(codePages, (std::vector<pf::UINT>{1252, 932}));
    hl::reset();
    pf::MessageBoxInCodePage(nullptr, "\xc1\xe1", 1253, "hres", pf::MB_OK);
    pf::MessageBoxA(nullptr, "x", "hres", pf::MB_OK);
    ASSERT_EQ(hl::message_boxes().size(), 2u);
    EXPECT_EQ(hl::message_boxes()[0].textCodePage, 1253u);
    EXPECT_EQ(hl::message_boxes()[1].textCodePage, 932u);
}

// ---- a host driver ----

struct FakeHost {
    std::uint64_t clock = 1000;
    std::vector<int> waits;
    std::vector<pf::HWND> created, destroyed;
    int presents = 0;
    std::vector<pf::RECT> presented;
    pf::HWND target = nullptr;
    int keyAfterWaits = 3;
};
FakeHost host;

const hl::HostDriver FAKE_DRIVER = {
    .name = "fake",
    .screen_size = [](int* w, int* h) { *w = 800, *h = 600; },
    .window_created = [](pf::HWND w) { host.created.push_back(w); },
    .window_destroyed = [](pf::HWND w) { host.destroyed.push_back(w); },
    .present =
        [](pf::HWND, const pf::soft::Framebuffer&, const pf::RECT* rects, int count) {
            ++host.presents;
            host.presented.assign(rects, rects + count);
        },
    .wait_events =
        [](int timeout) {
            host.waits.push_back(timeout);
            host.clock += static_cast<std::uint64_t>(timeout);
            if (static_cast<int>(host.waits.size()) == host.keyAfterWaits) hl::inject_key(host.target);
        },
    .now_ms = [] { return host.clock; },
    .foreign_window =
        [](std::uintptr_t handle, pf::RECT* r) {
            if (handle != 0x3A00007) return false;
            *r = pf::RECT{10, 20, 210, 170};
            return true;
        },
    .find_foreign_window = [](const char*) -> std::uintptr_t { return 0; },
};

pf::LRESULT host_proc(pf::HWND w, pf::UINT msg, pf::WPARAM wp, pf::LPARAM lp) {
    if (msg == pf::WM_CREATE) {
        EXPECT_TRUE(host.created.empty()) << "shown to the host only after WM_CREATE";
        pf::SetTimer(w, 120, 33, nullptr);
    }
    if (msg == pf::WM_KEYDOWN) pf::DestroyWindow(w);
    if (msg == pf::WM_DESTROY) pf::PostQuitMessage(0);
    return pf::DefWindowProcA(w, msg, wp, lp);
}

TEST_F(Headless, HostDriverShowsWindowsAndTimersWaitForAnEmptyQueue) {
    host = FakeHost{};
    hl::set_host_driver(&FAKE_DRIVER);
    EXPECT_EQ(pf::GetSystemMetrics(pf::SM_CXSCREEN), 800);
    EXPECT_EQ(pf::GetSystemMetrics(pf::SM_CYSCREEN), 600);

    pf::WNDCLASSA wc{};
    wc.lpfnWndProc = host_proc;
    wc.lpszClassName = "hosted";
    pf::RegisterClassA(&wc);
    auto pane = reinterpret_cast<pf::HWND>(std::uintptr_t{0x3A00007});
    EXPECT_TRUE(pf::IsWindow(pane));
    host.target = pf::CreateWindowExA(0, "hosted", "hosted", pf::WS_CHILD | pf::WS_VISIBLE, 3, 4, 50, 40,
                                      pane, nullptr, nullptr, nullptr);
    ASSERT_NE(host.target, nullptr);
    EXPECT_EQ(host.created, std::vector<pf::HWND>{host.target});
    pf::RECT r{};
    pf::GetWindowRect(host.target, &r);
    EXPECT_EQ(r.left, 13) << "placed inside the host's window";
    EXPECT_EQ(r.top, 24);

    // The timer is long overdue, but posted messages and painting come first,
    // and it fires once, not once per missed period.
    host.clock += 500;
    pf::PostMessageA(host.target, pf::WM_KEYUP, 'A', 0);
    pf::PostMessageA(host.target, pf::WM_KEYUP, 'B', 0);
    host.keyAfterWaits = 4;
    EXPECT_EQ(run_loop(), 0);
    EXPECT_EQ(host.waits, (std::vector<int>{0, 0, 33, 33}))
        << "the host is read before painting and before the overdue timer; then GetMessageA waits "
           "until the next due timer";
    EXPECT_EQ(hl::timer_messages_delivered(), 2);
    EXPECT_EQ(hl::dispatched_messages(),
              (std::vector<pf::UINT>{pf::WM_CREATE, pf::WM_KEYUP, pf::WM_KEYUP, pf::WM_PAINT, pf::WM_TIMER,
                                     pf::WM_TIMER, pf::WM_KEYDOWN, pf::WM_DESTROY}));
    EXPECT_EQ(host.destroyed, std::vector<pf::HWND>{host.target});
}

TEST_F(Headless, ReleaseDCPresentsWhatWasDrawnToTheHost) {
    host = FakeHost{};
    hl::set_host_driver(&FAKE_DRIVER);
    pf::WNDCLASSA wc{};
    wc.lpfnWndProc = pf::DefWindowProcA;
    wc.lpszClassName = "drawn";
    pf::RegisterClassA(&wc);
    pf::HWND w = pf::CreateWindowExA(0, "drawn", "drawn", pf::WS_POPUP | pf::WS_VISIBLE, 0, 0, 20, 10, nullptr,
                                     nullptr, nullptr, nullptr);
    pf::HDC dc = pf::GetDC(w);
    ASSERT_NE(dc, nullptr);
    pf::BitBlt(dc, 2, 3, 4, 5, nullptr, 0, 0, pf::WHITENESS);
    EXPECT_EQ(host.presents, 0) << "nothing reaches the host before ReleaseDC";
    EXPECT_EQ(pf::ReleaseDC(w, dc), 1);
    ASSERT_EQ(host.presents, 1);
    ASSERT_EQ(host.presented.size(), 1u);
    EXPECT_EQ(host.presented[0].left, 2);
    EXPECT_EQ(host.presented[0].top, 3);
    EXPECT_EQ(host.presented[0].right, 6);
    EXPECT_EQ(host.presented[0].bottom, 8);
    const pf::soft::Framebuffer* fb = hl::window_pixels(w);
    ASSERT_NE(fb, nullptr);
    ASSERT_EQ(fb->width, 20);
    auto at = [&](int x, int y) { return fb->pixels[std::size_t(fb->height - 1 - y) * fb->stride + x * 3]; };
    EXPECT_EQ(at(2, 3), 255);
    EXPECT_EQ(at(5, 7), 255);
    EXPECT_EQ(at(6, 7), 0);
    EXPECT_EQ(pf::ReleaseDC(w, dc), 0) << "released once only";

    // A release without drawing presents nothing.
    pf::ReleaseDC(w, pf::GetDC(w));
    EXPECT_EQ(host.presents, 1);
    pf::DestroyWindow(w);
    EXPECT_EQ(pf::GetDC(w), nullptr);
}

// ---- a host whose ticks take longer than the timer's period ----

struct LateHost {
    std::uint64_t clock = 0;
    std::vector<int> waits;
    std::function<void()> onEvents;  // what the host's events do when read
};
LateHost late;

const hl::HostDriver LATE_DRIVER = {
    .name = "late",
    .screen_size = [](int* w, int* h) { *w = 640, *h = 480; },
    .wait_events =
        [](int timeout) {
            late.waits.push_back(timeout);
            late.clock += static_cast<std::uint64_t>(timeout);
            if (late.onEvents) std::exchange(late.onEvents, nullptr)();
        },
    .now_ms = [] { return late.clock; },
};

// A window with timer 120 every 33 ms, painted once, on the late host.
pf::HWND late_window() {
    late = LateHost{};
    hl::set_host_driver(&LATE_DRIVER);
    script = Script{};
    pf::HWND w = make_window();
    pf::MSG msg;
    EXPECT_EQ(pf::GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, pf::WM_PAINT);
    pf::DispatchMessageA(&msg);
    late.waits.clear();
    return w;
}

TEST_F(Headless, InputReadWhileATimerIsOverdueComesFirstAndTheTimerFiresOnce) {
    pf::HWND w = late_window();
    late.clock = 10 * 33 + 5;  // a tick that took ten periods
    late.onEvents = [&] { hl::inject_key(w, pf::WM_KEYDOWN, 'A'); };
    std::vector<std::pair<pf::UINT, pf::DWORD>> got;
    pf::MSG msg;
    while (got.size() < 4 && pf::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        got.emplace_back(msg.message, msg.time);
        pf::TranslateMessage(&msg);
        pf::DispatchMessageA(&msg);
    }
    using Got = std::pair<pf::UINT, pf::DWORD>;
    EXPECT_EQ(got, (std::vector<Got>{{pf::WM_KEYDOWN, 335}, {pf::WM_CHAR, 335}, {pf::WM_TIMER, 335},
                                     {pf::WM_TIMER, 368}}))
        << "one WM_TIMER for the ten missed periods, the next a whole period after it";
    EXPECT_EQ(late.waits, (std::vector<int>{0, 0, 33}))
        << "the host is read before each overdue timer, and waited on only when nothing is due";
    EXPECT_EQ(hl::timer_messages_delivered(), 2);
}

TEST_F(Headless, CloseQuitAndAVanishedWindowFromTheHostComeBeforeAnOverdueTimer) {
    // A close request (a key, SIGTERM): the window goes, and no tick is run first.
    pf::HWND w = late_window();
    late.clock = 1000;
    late.onEvents = [&] { pf::PostMessageA(w, pf::WM_CLOSE, 0, 0); };
    EXPECT_EQ(run_loop(), 7);
    EXPECT_EQ(retrieved, std::vector<pf::UINT>{pf::WM_CLOSE});

    // A quit request with no window to close.
    hl::reset();
    late_window();
    late.clock = 1000;
    late.onEvents = [] { pf::PostQuitMessage(3); };
    EXPECT_EQ(run_loop(), 3);
    EXPECT_TRUE(retrieved.empty());
    EXPECT_EQ(hl::timer_messages_delivered(), 0);

    // The window the program draws into went away (a daemon's window): its
    // timer goes with it.
    hl::reset();
    w = late_window();
    late.clock = 1000;
    late.onEvents = [&] { pf::DestroyWindow(w); };
    EXPECT_EQ(run_loop(), 7);
    EXPECT_TRUE(retrieved.empty());
    EXPECT_EQ(hl::timer_messages_delivered(), 0);
}

}  // namespace
