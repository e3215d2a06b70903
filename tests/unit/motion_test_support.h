// Shared pieces of the sprite tests: a reference copy of the generator, small
// animation sets built with packlib, and the motion half of the per-tick pass.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "motion/delays.h"
#include "motion/frames.h"
#include "motion/layers.h"
#include "motion/placement.h"
#include "package/animset.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "tests/support/fixtures.h"
#include "tools/packlib/packlib.h"

namespace sprites_test {

// The C runtime's generator written out independently, so a test states the
// values it expects instead of asking the engine's own source.
struct Reference {
    std::uint32_t state = 1;
    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
    int range(int a, int b) { return a + next() % (b - a + 1); }
    void skip(int n) {
        for (int i = 0; i < n; ++i) next();
    }
};

// How many values the engine has drawn since the last reset. Peeks at the
// next value, then puts the generator back where it stood.
inline int draws_so_far() {
    const int v = pf::rand();
    Reference r;
    for (int n = 0; n < 100000; ++n) {
        if (r.next() != v) continue;
        pf::rand_reset();
        for (int i = 0; i < n; ++i) pf::rand();
        return n;
    }
    return -1;
}

using sg::test::frame_bmp;

// A set of frames of the given durations, each a w x h sprite on green.
inline sg::pack::Bytes animset(const std::vector<int>& durations, int w = 8, int h = 6,
                               int maskMode = 0) {
    sg::pack::AnimSet set;
    set.maskMode = maskMode;
    for (std::size_t i = 0; i < durations.size(); ++i)
        set.frames.push_back({frame_bmp(w, h, int(i)), durations[i]});
    return sg::pack::animset_bytes(set);
}

// Clean engine state on the in-memory backend. Surfaces a test left loaded
// are released first (releasing a released row does nothing).
inline void fresh_world(int width = 640, int height = 480) {
    sg::animset_release_all();
    pf::headless::reset();
    pf::headless::set_screen_size(width, height);
    pf::rand_reset();
    sg::layers_clear();
    sg::slots_clear();
    sg::screenWidth = width;
    sg::screenHeight = height;
}

// Loads a set into a layer row and makes the layer record active with the
// given motion; the other settings stay as the record has them.
inline int load_layer(int layer, const sg::pack::Bytes& set, int count, int loops = 1,
                      int randomStart = 0) {
    return sg::animset_load(layer, loops, set.data(), int(set.size()), randomStart, count);
}

using Drawn = std::array<std::array<bool, sg::MAX_INSTANCES>, sg::MAX_LAYERS>;

// One tick without pixels: frame stepping, then per layer and instance the
// re-entry check, the draw decision and the motion step, then the layer's
// delay updates, in the order the composition pass runs them.
inline Drawn tick() {
    Drawn drawn{};
    sg::frames_step();
    for (int layer = 0; layer < sg::MAX_LAYERS; ++layer) {
        sg::LayerRecord& r = sg::layerTable[layer];
        if (!r.active) continue;
        for (int k = 0; k < r.instanceCount; ++k) {
            sg::cycle_reentry_check(layer, k);
            drawn[layer][k] = !sg::slot_waits(layer, k);
            sg::motion_step(layer, k);
        }
        if (r.waitAfterCycle) {
            if (!sg::any_cycle_wait_running(layer)) sg::cycle_waits_draw(layer);
            sg::cycle_waits_count_down(layer);
        }
        if (r.waitAfterExit) {
            sg::exit_waits_draw(layer);
            sg::exit_waits_count_down(layer);
        }
    }
    return drawn;
}

}  // namespace sprites_test
