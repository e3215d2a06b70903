// A whole package through the program: start-up, window creation (every
// layer set up, the background built), 60 ticks of composition, teardown;
// full screen at 160 x 120, or (odd input sizes) the preview on a pane.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_support.h"
#include "tools/render/render.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sg::render::Options options;
    options.preview = size % 2 == 1;
    // The preview pane at the scene's own 320 x 240: stretching it would spend
    // the run in the software StretchBlt, which reads nothing from the input.
    options.width = options.preview ? 320 : 160;
    options.height = options.preview ? 240 : 120;
    options.ticks = 60;
    options.every = 60;
    const sg::render::Outcome outcome = sg::render::run(std::span(data, size), options, nullptr);
    if (outcome.windowCreated) {
        sg::fuzz::check(outcome.exitStatus == 0, "a run with a window did not end with status 0");
        sg::fuzz::check(outcome.ticksRun >= 60, "the scene stopped before 60 ticks");
    }
    sg::fuzz::check_nothing_alive("the window was destroyed");
    return 0;
}
