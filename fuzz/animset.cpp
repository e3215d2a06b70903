// An "AP01" animation set with its frames: animset_load into layer row 0,
// copied to four slots with random start frames, thirty frame steps, release.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <memory>

#include "fuzz/fuzz_support.h"
#include "world/frames.h"
#include "world/layer_setup.h"
#include "world/world.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace hl = pf::headless;
    if (size > INT_MAX) return 0;
    hl::reset();
    // One world for every run; only row 0 is used.
    static const std::unique_ptr<sg::World> reused = std::make_unique<sg::World>();
    sg::World& world = *reused;
    std::memset(world.slotTable[0], 0, sizeof world.slotTable[0]);
    std::memset(&world.layerTable[0], 0, sizeof world.layerTable[0]);
    world.random = sg::Random{};

    const int loops = size % 2 == 0 ? 1 : 0;
    if (sg::animset_load(world.frameSets[0], world.slotTable[0][0], loops, data, static_cast<int>(size))) {
        sg::slot_row_clone(world, 0, 1, 4);
        const sg::SpriteSlot& first = world.slotTable[0][0];
        sg::fuzz::check(first.inUse == 1, "a loaded set left slot 0 unused");
        const int frameCount = world.frameSets[0].frameCount;
        sg::fuzz::check(frameCount >= 0 && frameCount <= sg::MAX_FRAMES,
                        "frame count outside 0..20 after loading");
        for (int tick = 0; tick < 30; ++tick) sg::frames_step(world);
        for (int j = 0; j < 4; ++j) {
            const sg::SpriteSlot& slot = world.slotTable[0][j];
            sg::fuzz::check(frameCount == 0 || (slot.currentFrame >= 0 && slot.currentFrame < frameCount),
                            "current frame outside the set");
        }
    } else {
        sg::fuzz::check(world.slotTable[0][0].inUse == 0, "a refused set left slot 0 in use");
    }
    sg::animset_release_all(world.frameSets);
    sg::fuzz::check_nothing_alive("animset_release_all");
    return 0;
}
