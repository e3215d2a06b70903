#include "motion/layer_setup.h"

#include <cstdint>

#include "motion/delays.h"
#include "motion/layers.h"
#include "motion/placement.h"
#include "package/animset.h"
#include "package/package.h"

namespace sg {

void layer_setup(int layer) {
    if (layer < 0 || layer >= PACKAGE_LAYERS) return;
    const LayerBlock& b = layerBlocks[layer];

    const int loopsFlag = b.loops != 0 ? 1 : 0;
    const int startFlag = b.randomStart != 0 ? 1 : 0;
    // Modes other than 0 (after a cycle) and 2 (after an exit) mean no delays.
    const int waitAfterCycle = b.delayMode == 0 ? 1 : 0;
    const int waitAfterExit = b.delayMode == 2 ? 1 : 0;

    // The set must lie inside the package; one that does not is refused like
    // any other bad set, and the layer is still set up with empty slots.
    const std::int64_t setStart =
        std::int64_t{packageDirectory.entries[layer + 1].offset} + b.setOffset;
    if (packageBase != nullptr && b.setSize >= 0 && package_range_ok(setStart, b.setSize))
        animset_load(layer, loopsFlag, packageBase + setStart, b.setSize, startFlag,
                     b.instanceCount);

    // This order fixes the sequence of random draws: clone start frames above,
    // then the first waits, then sway phases and positions.
    layer_motion_set(layer, b.instanceCount, b.directionCode, b.swayAxis, b.speedClass,
                     b.entryEdge);
    sway_row_set(layer, b.swayRow);
    placement_set(layer, b.placement);
    start_corner_set(layer, b.startCorner);
    keep_inside_set(layer, b.keepInside);
    start_position_set(layer, b.startX, b.startY);
    max_wait_set(layer, b.maxWait);
    cycle_reentry_set(layer, startFlag, b.reentryCycles);
    wait_after_cycle_set(layer, waitAfterCycle);
    wait_after_exit_set(layer, waitAfterExit);
    instances_place(layer);
}

}  // namespace sg
