#include "motion/frames.h"

#include "motion/delays.h"
#include "package/animset.h"

namespace sg {

namespace {

bool slot_ok(int layer, int slot) {
    return layer >= 0 && layer < MAX_LAYERS && slot >= 0 && slot < MAX_INSTANCES;
}

// Out-of-range callers read an empty slot rather than past the table.
const SpriteSlot& slot_at(int layer, int slot) {
    static const SpriteSlot empty{};
    return slot_ok(layer, slot) ? slotTable[layer][slot] : empty;
}

void slot_step(int layer, int slot) {
    SpriteSlot& s = slotTable[layer][slot];
    if (slot_waits(layer, slot)) return;
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

int frames_step() {
    for (int layer = 0; layer < MAX_LAYERS; ++layer) {
        if (!slotTable[layer][0].inUse) continue;
        // All 50 slots, whatever the instance count: empty ones have no frames.
        for (int slot = 0; slot < MAX_INSTANCES; ++slot) slot_step(layer, slot);
    }
    return 1;
}

Surface* slot_current_picture(Surface* dst, int layer, int slot) {
    *dst = slot_at(layer, slot).currentPicture;
    return dst;
}

Surface* slot_current_mask(Surface* dst, int layer, int slot) {
    *dst = slot_at(layer, slot).currentMask;
    return dst;
}

Surface* slot_current_cutout(Surface* dst, int layer, int slot) {
    *dst = slot_at(layer, slot).currentCutout;
    return dst;
}

int slot_mask_mode(int layer, int slot) { return slot_at(layer, slot).maskMode; }

int slot_current_width(int layer, int slot) {
    return surface_width(&slot_at(layer, slot).currentPicture);
}

int slot_current_height(int layer, int slot) {
    return surface_height(&slot_at(layer, slot).currentPicture);
}

int slot_first_width(int layer, int slot) { return surface_width(&slot_at(layer, slot).pictures[0]); }

int slot_first_height(int layer, int slot) {
    return surface_height(&slot_at(layer, slot).pictures[0]);
}

int slot_cycle_count(int layer, int slot) { return slot_at(layer, slot).cycleCount; }

void slot_cycle_count_clear(int layer, int slot) {
    if (slot_ok(layer, slot)) slotTable[layer][slot].cycleCount = 0;
}

}  // namespace sg
