#include "world/layer_setup.h"

#include <cstdint>

#include "scene/package.h"
#include "world/delays.h"
#include "world/placement.h"
#include "world/world.h"

namespace sg {

// One draw per copy even for an empty set; the first slot always starts at
// frame 0.
void slot_row_clone(World& world, int layer, int randomStart, int count) {
    if (layer < 0 || layer >= MAX_LAYERS) return;
    const SpriteSlot& first = world.slotTable[layer][0];
    const int frameCount = slot_frame_count(world.frameSets[layer], first);
    const int instances = clamp_instance_count(count);
    for (int j = 1; j < instances; ++j) {
        SpriteSlot& slot = world.slotTable[layer][j];
        slot = first;
        if (randomStart) slot.currentFrame = rand_range(world.random, 0, frameCount - 1);
    }
}

void layer_setup(World& world, const Package& package, int layer) {
    if (layer < 0 || layer >= PACKAGE_LAYERS) return;
    const LayerBlock& b = package.layerBlocks[layer];
    LayerTable& layers = world.layerTable;

    const int loopsFlag = b.loops != 0 ? 1 : 0;
    const int startFlag = b.randomStart != 0 ? 1 : 0;
    // Modes other than 0 (after a cycle) and 2 (after an exit) mean no delays.
    const int waitAfterCycle = b.delayMode == 0 ? 1 : 0;
    const int waitAfterExit = b.delayMode == 2 ? 1 : 0;

    // The set must lie inside the package; one that does not is refused like
    // any other bad set, and the layer is still set up with empty slots.
    const std::int64_t setStart =
        std::int64_t{package.packageDirectory.entries[format::FIRST_LAYER_ENTRY + layer].offset} +
        b.setOffset;
    if (package.packageBase != nullptr && b.setSize >= 0 &&
        package_range_ok(package, setStart, b.setSize) &&
        animset_load(world.frameSets[layer], world.slotTable[layer][0], loopsFlag,
                     package.packageBase + setStart, b.setSize, &world.pictureIndex,
                     &world.refusals)) {
        slot_row_clone(world, layer, startFlag, b.instanceCount);
    }

    // This order fixes the sequence of random draws: clone start frames above,
    // then the first waits, then sway phases and positions.
    layer_motion_set(layers, layer, b.instanceCount, b.directionCode, b.swayAxis, b.speedClass,
                     b.entryEdge);
    sway_row_set(layers, layer, b.swayRow);
    placement_set(layers, layer, b.placement);
    start_corner_set(layers, layer, b.startCorner);
    keep_inside_set(layers, layer, b.keepInside);
    start_position_set(layers, layer, b.startX, b.startY);
    max_wait_set(world, layer, b.maxWait);
    cycle_reentry_set(layers, layer, startFlag, b.reentryCycles);
    wait_after_cycle_set(world, layer, waitAfterCycle);
    wait_after_exit_set(world, layer, waitAfterExit);
    instances_place(world, layer);
}

}  // namespace sg
