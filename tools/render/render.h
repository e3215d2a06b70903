// The headless renderer: runs the whole engine in-process on the in-memory
// backend (software GDI + headless windowing) for a package given as bytes,
// and hands out the saver window's pixels every few ticks. Used by the tests,
// by `snowglobe-pack render` and by the end-to-end comparisons with the .scr.
//
// It drives the real start-up with the real command line: "/s" on a screen of
// width x height, or "/p HANDLE" on a foreign pane of width x height (the
// scene then runs at 320 x 240 and is stretched onto the pane). Not re-entrant:
// it owns the headless backend while it runs (each run has a saver of its own).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/soft/soft.h"

namespace sg {
struct SaverState;
}

namespace sg::render {

struct Options {
    int width = 640;   // full screen: the screen; preview: the pane
    int height = 480;
    bool preview = false;
    int ticks = 1;     // timer ticks to run before the saver is closed
    int every = 1;     // call back after every `every`-th tick
    // A screen scaled by this whole factor (96 dpi times it): full screen, the
    // scene runs at width/scale x height/scale and is shown enlarged.
    int scale = 1;
    // Called after every tick with the saver as the tick left it (tests).
    std::function<void(int tick, const SaverState& saver)> inspect;
};

// A message box the engine showed (bad picture, refused package...).
struct Message {
    std::string text;     // the program's bytes (Shift-JIS)
    std::string caption;
};

struct Outcome {
    int exitStatus = 0;
    bool windowCreated = false;
    int ticksRun = 0;
    std::vector<Message> messages;
};

// tick counts from 1; pixels are the window's 24-bit bottom-up rows.
using PictureCallback = std::function<void(int tick, const pf::soft::Framebuffer& pixels)>;

Outcome run(std::span<const std::uint8_t> package, const Options& options,
            const PictureCallback& onPicture);

// Top-down rows of R, G, B bytes, width * height * 3 (for picture writers).
std::vector<std::uint8_t> top_down_rgb(const pf::soft::Framebuffer& pixels);

}  // namespace sg::render
