// Shared pieces of the sprite tests: a reference copy of the generator, small
// animation sets built with packlib, and a fixture that owns a world value.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "tests/support/fixtures.h"
#include "tools/packlib/packlib.h"
#include "world/delays.h"
#include "world/frames.h"
#include "world/layer_setup.h"
#include "world/layers.h"
#include "world/placement.h"
#include "world/world.h"

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

// How many values the world has drawn since it was made.
inline int draws_so_far(const sg::World& world) {
    Reference r;
    for (int n = 0; n < 100000; ++n) {
        if (r.state == world.random.state) return n;
        r.next();
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

// Loads a set into a layer row's first slot and, when it is accepted, copies
// it to the row's other slots as layer set-up does.
inline int load_layer(sg::World& world, int layer, const sg::pack::Bytes& set, int count,
                      int loops = 1, int randomStart = 0) {
    if (!sg::animset_load(world.frameSets[layer], world.slotTable[layer][0], loops, set.data(),
                          int(set.size()), nullptr, &world.refusals))
        return 0;
    sg::slot_row_clone(world, layer, randomStart, count);
    return 1;
}

using Drawn = std::array<std::array<bool, sg::MAX_INSTANCES>, sg::MAX_LAYERS>;

// One tick of the world, and which instances it left visible.
inline Drawn tick(sg::World& world) {
    sg::world_tick(world);
    Drawn drawn{};
    for (int k = 0; k < world.drawCount; ++k)
        drawn[world.drawList[k].layer][world.drawList[k].slot] = true;
    return drawn;
}

// A fixture that owns one world on the in-memory backend. The world is
// too large for the stack: it lives on the heap and is remade in place (its
// frame sets stay where they are built).
class WorldTest : public ::testing::Test {
protected:
    WorldTest() : world_(new sg::World()), world(*world_) {}
    ~WorldTest() override { sg::animset_release_all(world.frameSets); }

    // A clean world of that screen size. Surfaces the test left loaded are
    // released first.
    void fresh_world(int width = 640, int height = 480) {
        sg::animset_release_all(world.frameSets);
        pf::headless::reset();
        pf::headless::set_screen_size(width, height);
        std::destroy_at(world_.get());
        ::new (static_cast<void*>(world_.get())) sg::World();
        world.screenWidth = width;
        world.screenHeight = height;
    }

    std::unique_ptr<sg::World> world_;
    sg::World& world;
};

}  // namespace sprites_test
