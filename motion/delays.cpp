#include "motion/delays.h"

#include "motion/layers.h"
#include "motion/random.h"
#include "package/animset.h"

namespace sg {

namespace {

bool layer_ok(int layer) { return layer >= 0 && layer < MAX_LAYERS; }
bool slot_ok(int layer, int slot) { return layer_ok(layer) && slot >= 0 && slot < MAX_INSTANCES; }

// The record's count is clamped when it is set; clamp again so a record
// written by hand cannot walk the loops past the arrays.
int instances(int layer) { return clamp_instance_count(layerTable[layer].instanceCount); }

int longest_wait(const LayerRecord& r) { return r.maxWait < 0 ? 0 : r.maxWait; }

}  // namespace

void max_wait_set(int layer, int ticks) {
    if (!layer_ok(layer)) return;
    // A negative longest wait would make the draw ranges empty; it means no wait.
    layerTable[layer].maxWait = ticks < 0 ? 0 : ticks;
}

void wait_after_cycle_set(int layer, int on) {
    if (!layer_ok(layer)) return;
    layerTable[layer].waitAfterCycle = on;
    if (on) cycle_waits_draw(layer);
}

void wait_after_exit_set(int layer, int on) {
    if (!layer_ok(layer)) return;
    layerTable[layer].waitAfterExit = on;
    if (on) exit_waits_draw_initial(layer);
}

int wait_after_cycle_on(int layer) { return layer_ok(layer) ? layerTable[layer].waitAfterCycle : 0; }

int wait_after_exit_on(int layer) { return layer_ok(layer) ? layerTable[layer].waitAfterExit : 0; }

int cycle_wait_running(int layer, int slot) {
    return slot_ok(layer, slot) && layerTable[layer].cycleWaits[slot] != 0 ? 1 : 0;
}

int exit_wait_running(int layer, int slot) {
    return slot_ok(layer, slot) && layerTable[layer].exitWaits[slot] != 0 ? 1 : 0;
}

int any_cycle_wait_running(int layer) {
    if (!layer_ok(layer)) return 0;
    const int n = instances(layer);
    for (int k = 0; k < n; ++k)
        if (layerTable[layer].cycleWaits[k] != 0) return 1;
    return 0;
}

int slot_at_last_frame(int layer, int slot) {
    if (!slot_ok(layer, slot)) return 0;
    const SpriteSlot& s = slotTable[layer][slot];
    return s.currentFrame >= s.frameCount - 1 ? 1 : 0;
}

int slot_waits(int layer, int slot) {
    if (wait_after_cycle_on(layer) && cycle_wait_running(layer, slot)) return 1;
    if (wait_after_exit_on(layer) && exit_wait_running(layer, slot)) return 1;
    return 0;
}

void cycle_waits_draw(int layer) {
    if (!layer_ok(layer)) return;
    LayerRecord& r = layerTable[layer];
    const int n = instances(layer);
    for (int k = 0; k < n; ++k)
        if (slot_at_last_frame(layer, k)) r.cycleWaits[k] = rand_range(0, longest_wait(r));
}

void exit_waits_draw_initial(int layer) {
    if (!layer_ok(layer)) return;
    LayerRecord& r = layerTable[layer];
    const int n = instances(layer);
    for (int k = 0; k < n; ++k) r.exitWaits[k] = rand_range(0, longest_wait(r));
}

void exit_mark(int layer, int slot) {
    if (slot_ok(layer, slot)) layerTable[layer].exitMarks[slot] = 1;
}

int exit_waits_draw(int layer) {
    if (!layer_ok(layer)) return 1;
    LayerRecord& r = layerTable[layer];
    const int n = instances(layer);
    for (int k = 0; k < n; ++k) {
        if (r.exitMarks[k] == 0) continue;
        r.exitWaits[k] = rand_range(longest_wait(r) / 2, longest_wait(r));
        r.exitMarks[k] = 0;
    }
    return 1;
}

namespace {

void count_down(std::int32_t* waits, int n) {
    for (int k = 0; k < n; ++k) {
        const std::int32_t left = waits[k] - 1;
        waits[k] = left > 0 ? left : 0;
    }
}

}  // namespace

void cycle_waits_count_down(int layer) {
    if (layer_ok(layer)) count_down(layerTable[layer].cycleWaits, instances(layer));
}

void exit_waits_count_down(int layer) {
    if (layer_ok(layer)) count_down(layerTable[layer].exitWaits, instances(layer));
}

}  // namespace sg
