// What the benchmarks and the soak share: the two scenes they run, the saver
// set up in-process on the in-memory backend and ticked by hand, the bytes a
// tick moves, and the process's resident memory.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "frame/frame.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "tools/packlib/packlib.h"

namespace sg::bench {

// The scene every build carries, as package bytes (padded like the shipped one).
pack::Bytes default_package();
// The heaviest scene a package can hold: 10 layers of 50 sprites, 64 x 64,
// four frames each, key colour from the top-left pixel (mask mode 0), over a
// stretched picture. Directions and speeds differ per layer so sprites cross.
pack::Package full_scene();
pack::Bytes full_package();

// The saver window of one package, full screen, created the way the timer
// loop would see it: a fresh saver, package copied out, window created
// (which builds every layer and the background). tick() is one WM_TIMER 120
// through the window procedure. One at a time: the headless backend is reset
// for each.
class HeadlessSaver {
public:
    // scale > 1: a high-DPI screen of width x height at 96 x scale dpi, where
    // the scene runs at the logical size and is shown enlarged.
    HeadlessSaver(std::span<const std::uint8_t> package, int width, int height, int scale = 1);
    ~HeadlessSaver();
    HeadlessSaver(const HeadlessSaver&) = delete;
    HeadlessSaver& operator=(const HeadlessSaver&) = delete;

    bool ok() const { return window_ != nullptr; }
    void tick();
    pf::HWND window() const { return window_; }
    SaverState& saver() { return *saver_; }
    Frame& frame() { return saver_->frame; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    std::unique_ptr<SaverState> saver_;
    pf::HWND window_ = nullptr;
    int width_;
    int height_;
};

// Bytes written by the rectangle copies of a list, each clipped to the screen
// (24-bit pixels), as the software blits clip them.
std::int64_t list_bytes(const DirtyRect* list, int count, int width, int height);

// Bytes one tick writes, from the dirty lists: last tick's rectangles restored
// from the background and copied to the window again, this tick's drawn with
// `opsPerSprite` blits (2 for a masked set, 1 for an opaque one) and copied to
// the window. Call before() right before the tick and after() right after it.
class TickBytes {
public:
    TickBytes(int width, int height, int opsPerSprite)
        : width_(width), height_(height), ops_(opsPerSprite) {}
    void before(const Frame& frame) {
        previous_ = list_bytes(frame.previousPresentList, frame.previousPresentCount, width_, height_);
    }
    std::int64_t after(const Frame& frame) const {
        const std::int64_t now = list_bytes(frame.restoreList, frame.restoreCount, width_, height_);
        return 2 * previous_ + (ops_ + 1) * now;
    }

private:
    int width_;
    int height_;
    int ops_;
    std::int64_t previous_ = 0;
};

// VmRSS and VmHWM of this process, in KiB (0 when /proc cannot tell).
long resident_kib();
long peak_resident_kib();

}  // namespace sg::bench
