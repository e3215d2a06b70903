// GDI objects over many runs of the saver window in one process, on the real
// Windows API (run under wine64 by the linux build's ctest, tests/wine/gdi.cmake).
//
//   gdi_soak [CYCLES [TICKS]]     (default 50 cycles, 10,000 ticks)
//
// The win32 backend counts the device contexts and DIB sections it created
// and has not deleted (pf::diagnostics::gdi_objects_alive). Each cycle makes a fresh saver,
// copies the package out of this program's own resource, creates the saver
// window, ticks it through its window procedure, destroys it and empties the
// message queue. The count must be back at its starting value after every
// cycle, the same after the first tick of every cycle, and unchanged through
// a run of TICKS ticks. Exit status 0 when it is; 1 with the numbers when not.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/diagnostics.h"
#include "platform/platform.h"
#include "scene/package.h"
#include "shell/shell.h"

// The one system call needed beyond the platform interface: <windows.h>
// would turn the interface's message and style names into macros.
extern "C" __declspec(dllimport) void* __stdcall GetModuleHandleA(const char* name);

namespace {

int failures = 0;

void expect(bool holds, const char* what, int cycle, int tick, int found, int wanted) {
    if (holds) return;
    ++failures;
    if (failures <= 20)
        std::printf("FAILED: %s (cycle %d, tick %d): %d GDI objects alive, expected %d\n", what, cycle,
                    tick, found, wanted);
}

// The program's start-up up to the window, without the guard and the loop.
// The saver must outlive its window.
pf::HWND create_window(sg::SaverState& saver) {
    saver.programInstance = static_cast<pf::HINSTANCE>(GetModuleHandleA(nullptr));
    if (!sg::package_copy_out(saver.package, saver.programInstance))
        return nullptr;  // this program's own resource
    saver.world.screenWidth = pf::GetSystemMetrics(pf::SM_CXSCREEN);
    saver.world.screenHeight = pf::GetSystemMetrics(pf::SM_CYSCREEN);
    const char* title = saver.package.sceneHeader.title;
    std::memcpy(saver.windowClassName, title, std::strlen(title));
    saver.runMode = sg::RunMode::Saver;
    return sg::create_saver_window(saver, 0, 0, saver.world.screenWidth,
                                   saver.world.screenHeight);
}

void tick(pf::HWND window) { sg::saver_window_proc(window, pf::WM_TIMER, sg::TICK_TIMER_ID, 0); }

// Destroying the window posts the quit message; whatever else is queued
// (paint, the last timer messages) is handled first, as the loop would.
void destroy(pf::HWND window) {
    pf::DestroyWindow(window);
    pf::MSG message{};
    while (pf::GetMessageA(&message, nullptr, 0, 0) > 0) {
        pf::TranslateMessage(&message);
        pf::DispatchMessageA(&message);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 50;
    const int longTicks = argc > 2 ? std::atoi(argv[2]) : 10000;
    constexpr int CYCLE_TICKS = 5;

    const int start = pf::diagnostics::gdi_objects_alive();
    int afterFirstTick = -1;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        const auto saver = std::make_unique<sg::SaverState>();
        pf::HWND window = create_window(*saver);
        if (window == nullptr) {
            std::printf("FAILED: cycle %d: no saver window (package missing or refused)\n", cycle);
            return 1;
        }
        for (int t = 1; t <= CYCLE_TICKS; ++t) {
            tick(window);
            const int alive = pf::diagnostics::gdi_objects_alive();
            if (afterFirstTick < 0) afterFirstTick = alive;
            expect(alive == afterFirstTick, "during a cycle", cycle, t, alive, afterFirstTick);
        }
        destroy(window);
        const int alive = pf::diagnostics::gdi_objects_alive();
        expect(alive == start, "after the window was destroyed", cycle, CYCLE_TICKS, alive, start);
        if (cycle == 1 || cycle % 10 == 0)
            std::printf("cycle %3d: %d GDI objects after the first tick, %d after teardown\n", cycle,
                        afterFirstTick, alive);
    }

    const auto saver = std::make_unique<sg::SaverState>();
    pf::HWND window = create_window(*saver);
    if (window == nullptr) {
        std::printf("FAILED: the long run got no saver window\n");
        return 1;
    }
    int first = -1, highest = 0;
    // What a tick costs in GDI calls: every blit, and of them the copies to
    // the window, against the rectangles they were before merging (one copy
    // each for last tick's and this tick's sprites).
    std::uint64_t blits = 0, windowCopies = 0, rectangles = 0;
    for (int t = 1; t <= longTicks; ++t) {
        const std::uint64_t before = pf::diagnostics::gdi_blit_calls();
        const int previous = saver->frame.previousPresentCount;
        tick(window);
        const std::uint64_t made = pf::diagnostics::gdi_blit_calls() - before;
        std::uint64_t drawing = static_cast<std::uint64_t>(previous);  // the restores
        for (int k = 0; k < saver->world.drawCount; ++k) {
            const sg::SpriteDraw& d = saver->world.drawList[k];
            if (d.picture->memoryDC != nullptr) drawing += d.maskMode == 3 ? 1 : 2;
        }
        if (t > 3) {  // past the first present of the whole screen
            blits += made;
            windowCopies += made - drawing;
            rectangles += static_cast<std::uint64_t>(previous + saver->world.drawCount);
        }
        const int alive = pf::diagnostics::gdi_objects_alive();
        if (first < 0) first = alive;
        if (alive > highest) highest = alive;
        expect(alive == first, "during the long run", 0, t, alive, first);
    }
    destroy(window);
    const int end = pf::diagnostics::gdi_objects_alive();
    expect(end == start, "after the long run", 0, longTicks, end, start);
    std::printf("long run: %d ticks, %d GDI objects after the first tick, at most %d, %d after teardown "
                "(%d at start)\n",
                longTicks, first, highest, end, start);
    if (longTicks > 3) {
        const double n = longTicks - 3;
        std::printf("a tick: %.1f blits, %.1f of them copies to the window for %.1f changed "
                    "rectangles\n",
                    double(blits) / n, double(windowCopies) / n, double(rectangles) / n);
    }

    if (failures != 0) {
        std::printf("gdi soak FAILED: %d check(s)\n", failures);
        return 1;
    }
    std::printf("gdi soak passed: %d cycles and %d ticks, the count always back at %d\n", cycles, longTicks,
                start);
    return 0;
}
