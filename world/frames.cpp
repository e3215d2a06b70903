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

// Out-of-range callers see an empty surface rather than memory past the table.
constexpr Surface NO_SURFACE{};

void slot_step(World& world, int layer, int slot) {
    SpriteSlot& s = world.slotTable[layer][slot];
    if (slot_waits(world, layer, slot)) return;
    const int n = s.frameCount < MAX_FRAMES ? s.frameCount : MAX_FRAMES;
    int f = s.currentFrame;
    if (f < 0 || f >= n) return;

    if (s.countdowns[f] > 0) {
        --s.countdowns[f];
    } else if (f + 1 < n) {
        // The new frame keeps its full countdown this tick: it is shown on the
        // tick it becomes current plus its duration.
        s.currentFrame = ++f;
    } else if (s.loops) {
        for (int i = 0; i < n; ++i) s.countdowns[i] = s.durations[i];
        ++s.cycleCount;
        s.currentFrame = f = 0;
    } else {
        // Stopped on the last frame: counts a cycle every tick from now on and
        // leaves the current-frame copies as they are.
        ++s.cycleCount;
        return;
    }
    s.currentPicture = s.pictures[f];
    s.currentMask = s.masks[f];
    s.currentCutout = s.cutouts[f];
}

}  // namespace

int frames_step(World& world) {
    for (int layer = 0; layer < MAX_LAYERS; ++layer) {
        if (!world.slotTable[layer][0].inUse) continue;
        // All 50 slots, whatever the instance count: empty ones have no frames.
        for (int slot = 0; slot < MAX_INSTANCES; ++slot) slot_step(world, layer, slot);
    }
    return 1;
}

Surface* slot_current_picture(const World& world, Surface* dst, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    *dst = s ? s->currentPicture : NO_SURFACE;
    return dst;
}

Surface* slot_current_mask(const World& world, Surface* dst, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    *dst = s ? s->currentMask : NO_SURFACE;
    return dst;
}

Surface* slot_current_cutout(const World& world, Surface* dst, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    *dst = s ? s->currentCutout : NO_SURFACE;
    return dst;
}

int slot_mask_mode(const World& world, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    return s ? s->maskMode : 0;
}

int slot_current_width(const World& world, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    return s ? surface_width(&s->currentPicture) : 0;
}

int slot_current_height(const World& world, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    return s ? surface_height(&s->currentPicture) : 0;
}

int slot_first_width(const World& world, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    return s ? surface_width(&s->pictures[0]) : 0;
}

int slot_first_height(const World& world, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    return s ? surface_height(&s->pictures[0]) : 0;
}

int slot_cycle_count(const World& world, int layer, int slot) {
    const SpriteSlot* s = slot_at(world, layer, slot);
    return s ? s->cycleCount : 0;
}

void slot_cycle_count_clear(World& world, int layer, int slot) {
    if (slot_ok(layer, slot)) world.slotTable[layer][slot].cycleCount = 0;
}

}  // namespace sg
