#include "world/delays.h"

#include "world/world.h"

namespace sg {

namespace {

bool layer_ok(int layer) { return layer >= 0 && layer < MAX_LAYERS; }
bool slot_ok(int layer, int slot) { return layer_ok(layer) && slot >= 0 && slot < MAX_INSTANCES; }

// The record's count is clamped when it is set; clamp again so a record
// written by hand cannot walk the loops past the arrays.
int instances(const World& world, int layer) {
    return clamp_instance_count(world.layerTable[layer].instanceCount);
}

int longest_wait(const LayerRecord& r) { return r.maxWait < 0 ? 0 : r.maxWait; }

}  // namespace

void max_wait_set(World& world, int layer, int ticks) {
    if (!layer_ok(layer)) return;
    // A negative longest wait would make the draw ranges empty; it means no wait.
    world.layerTable[layer].maxWait = ticks < 0 ? 0 : ticks;
}

void wait_after_cycle_set(World& world, int layer, int on) {
    if (!layer_ok(layer)) return;
    world.layerTable[layer].waitAfterCycle = on;
    if (on) cycle_waits_draw(world, layer);
}

void wait_after_exit_set(World& world, int layer, int on) {
    if (!layer_ok(layer)) return;
    world.layerTable[layer].waitAfterExit = on;
    if (on) exit_waits_draw_initial(world, layer);
}

bool wait_after_cycle_on(const World& world, int layer) { return layer_ok(layer) && world.layerTable[layer].waitAfterCycle != 0; }

bool wait_after_exit_on(const World& world, int layer) { return layer_ok(layer) && world.layerTable[layer].waitAfterExit != 0; }

bool cycle_wait_running(const World& world, int layer, int slot) {
    return slot_ok(layer, slot) && world.layerTable[layer].cycleWaits[slot] != 0;
}

bool exit_wait_running(const World& world, int layer, int slot) {
    return slot_ok(layer, slot) && world.layerTable[layer].exitWaits[slot] != 0;
}

bool any_cycle_wait_running(const World& world, int layer) {
    if (!layer_ok(layer)) return false;
    const int n = instances(world, layer);
    for (int k = 0; k < n; ++k)
        if (world.layerTable[layer].cycleWaits[k] != 0) return true;
    return false;
}

bool slot_at_last_frame(const World& world, int layer, int slot) {
    if (!slot_ok(layer, slot)) return false;
    const SpriteSlot& s = world.slotTable[layer][slot];
    return s.currentFrame >= slot_frame_count(world.frameSets[layer], s) - 1;
}

bool slot_waits(const World& world, int layer, int slot) {
    if (wait_after_cycle_on(world, layer) && cycle_wait_running(world, layer, slot)) return true;
    if (wait_after_exit_on(world, layer) && exit_wait_running(world, layer, slot)) return true;
    return false;
}

void cycle_waits_draw(World& world, int layer) {
    if (!layer_ok(layer)) return;
    LayerRecord& r = world.layerTable[layer];
    const int n = instances(world, layer);
    for (int k = 0; k < n; ++k)
        if (slot_at_last_frame(world, layer, k)) r.cycleWaits[k] = rand_range(world.random, 0, longest_wait(r));
}

void exit_waits_draw_initial(World& world, int layer) {
    if (!layer_ok(layer)) return;
    LayerRecord& r = world.layerTable[layer];
    const int n = instances(world, layer);
    for (int k = 0; k < n; ++k) r.exitWaits[k] = rand_range(world.random, 0, longest_wait(r));
}

void exit_mark(World& world, int layer, int slot) {
    if (slot_ok(layer, slot)) world.layerTable[layer].exitMarks[slot] = 1;
}

void exit_waits_draw(World& world, int layer) {
    if (!layer_ok(layer)) return;
    LayerRecord& r = world.layerTable[layer];
    const int n = instances(world, layer);
    for (int k = 0; k < n; ++k) {
        if (r.exitMarks[k] == 0) continue;
        r.exitWaits[k] = rand_range(world.random, longest_wait(r) / 2, longest_wait(r));
        r.exitMarks[k] = 0;
    }
}

namespace {

void count_down(std::int32_t* waits, int n) {
    for (int k = 0; k < n; ++k) {
        const std::int32_t left = waits[k] - 1;
        waits[k] = left > 0 ? left : 0;
    }
}

}  // namespace

void cycle_waits_count_down(World& world, int layer) {
    if (layer_ok(layer)) count_down(world.layerTable[layer].cycleWaits, instances(world, layer));
}

void exit_waits_count_down(World& world, int layer) {
    if (layer_ok(layer)) count_down(world.layerTable[layer].exitWaits, instances(world, layer));
}

}  // namespace sg
