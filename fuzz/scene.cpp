// A whole package through the program: start-up, window creation (every
// layer set up, the background built), 30 ticks of composition, teardown;
// full screen at 64 x 48, or (odd input sizes) the preview on a 64 x 48 pane.
// Small on purpose: what the input decides is set up in the first ticks, and
// a large screen only spends the run copying pixels.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_support.h"
#include "tools/render/render.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sg::render::Options options;
    options.preview = size % 2 == 1;
    options.width = 64;
    options.height = 48;
    options.ticks = 30;
    options.every = 30;
    const sg::render::Outcome outcome = sg::render::run(std::span(data, size), options, nullptr);
    if (outcome.windowCreated) {
        sg::fuzz::check(outcome.exitStatus == 0, "a run with a window did not end with status 0");
        sg::fuzz::check(outcome.ticksRun >= 30, "the scene stopped before 30 ticks");
    }
    sg::fuzz::check_nothing_alive("the window was destroyed");
    return 0;
}
