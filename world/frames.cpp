#include "world/frames.h"

#include "world/delays.h"
#include "world/world.h"

namespace sg {

namespace {

bool slot_ok(int layer, int slot) {
    return layer >= 0 && layer < MAX_LAYERS && slot >= 0 && slot < MAX_INSTANCES;
}

// Out-of-range callers read an empty slot rather than past the table.
const SpriteSlot* slot_at(const World& world, int layer, int slot) {
    return slot_ok(layer, slot) ? &world.slotTable[layer][slot] : nullptr;
}


// The frame a slot shows, or -1 when it shows none.
int shown_frame(const World& world, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    if (s == nullptr || !s->frameShown) return -1;
    const int f = s->currentFrame;
    return f >= 0 && f < slot_frame_count(world.frameSets[layer], *s) ? f : -1;
}

const Surface* shown(const World& world, const Surface* const* views, int frame) {
    if (frame < 0 || views[frame] == nullptr) return &world.noSurface;
    return views[frame];
}

void slot_step(World& world, int layer, int slot) {
    SpriteSlot& s = world.slotTable[layer][slot];
    const FrameSet& set = world.frameSets[layer];
    if (slot_waits(world, layer, slot)) return;
    const int n = slot_frame_count(set, s);
    int f = s.currentFrame;
    if (f < 0 || f >= n) return;

    if (s.countdowns[f] > 0) {
        --s.countdowns[f];
    } else if (f + 1 < n) {
        // The new frame keeps its full countdown this tick: it is shown on the
        // tick it becomes current plus its duration.
        s.currentFrame = ++f;
    } else if (set.loops) {
        for (int i = 0; i < n; ++i) s.countdowns[i] = set.durations[i];
        ++s.cycleCount;
        s.currentFrame = f = 0;
    } else {
        // Stopped on the last frame: counts a cycle every tick from now on and
        // shows what it showed.
        ++s.cycleCount;
        return;
    }
    s.frameShown = 1;
}

}  // namespace

void frames_step(World& world) {
    for (int layer = 0; layer < MAX_LAYERS; ++layer) {
        if (!world.slotTable[layer][0].inUse) continue;
        // All 50 slots, whatever the instance count: empty ones have no frames.
        for (int slot = 0; slot < MAX_INSTANCES; ++slot) slot_step(world, layer, slot);
    }
}

const Surface* slot_current_picture(const World& world, int layer, int slot) {
    const int f = shown_frame(world, layer, slot);
    return f < 0 ? &world.noSurface : shown(world, world.frameSets[layer].pictures, f);
}

const Surface* slot_current_mask(const World& world, int layer, int slot) {
    const int f = shown_frame(world, layer, slot);
    return f < 0 ? &world.noSurface : shown(world, world.frameSets[layer].masks, f);
}

const Surface* slot_current_cutout(const World& world, int layer, int slot) {
    const int f = shown_frame(world, layer, slot);
    return f < 0 ? &world.noSurface : shown(world, world.frameSets[layer].cutouts, f);
}

int slot_mask_mode(const World& world, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    return s && s->inUse ? world.frameSets[layer].maskMode : 0;
}

int slot_current_width(const World& world, int layer, int slot) {
    return surface_width(slot_current_picture(world, layer, slot));
}

int slot_current_height(const World& world, int layer, int slot) {
    return surface_height(slot_current_picture(world, layer, slot));
}

int slot_first_width(const World& world, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    if (s == nullptr || slot_frame_count(world.frameSets[layer], *s) < 1) return 0;
    return surface_width(shown(world, world.frameSets[layer].pictures, 0));
}

int slot_first_height(const World& world, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    if (s == nullptr || slot_frame_count(world.frameSets[layer], *s) < 1) return 0;
    return surface_height(shown(world, world.frameSets[layer].pictures, 0));
}

int slot_cycle_count(const World& world, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    return s ? s->cycleCount : 0;
}

void slot_cycle_count_clear(World& world, int layer, int slot) {
    if (slot_ok(layer, slot)) world.slotTable[layer][slot].cycleCount = 0;
}

}  // namespace sg
