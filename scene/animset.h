// "AP01" animation sets and the sprite slot table (20 layer rows x 50 slots):
// a set is decoded once into its row's first slot, with a mask and a cut-out
// per frame; the other slots of the row are copies of it.
#pragma once

#include <cstdint>

#include "format/package_format.h"
#include "scene/surface.h"

namespace sg {

using format::MAX_FRAMES;
using format::MAX_INSTANCES;
constexpr int MAX_LAYERS = 20;  // rows of the layer and slot tables

struct SpriteSlot {
    std::int32_t inUse;
    std::int32_t frameCount;
    std::int32_t currentFrame;
    std::int32_t maskMode;
    std::int32_t loops;
    Surface pictures[MAX_FRAMES];
    Surface masks[MAX_FRAMES];
    Surface cutouts[MAX_FRAMES];
    std::int32_t durations[MAX_FRAMES];
    std::int32_t countdowns[MAX_FRAMES];
    Surface currentPicture;
    Surface currentMask;
    Surface currentCutout;
    std::int32_t cycleCount;
};

using SlotTable = SpriteSlot[MAX_LAYERS][MAX_INSTANCES];

// Decodes a set (`size` bytes at `set`, untrusted) into `first`: its frames,
// their masks and cut-outs, durations and countdowns. 0, with the slot left
// as it was, when the set is refused (silently: not "AP01" version 1, a frame
// count outside 0..MAX_FRAMES, or a frame outside the set and its grace).
int animset_load(SpriteSlot& first, int loops, const void* set, int size);
// Releases the bitmaps of every loaded row (its first slot owns them).
int animset_release_all(SlotTable& slots);

}  // namespace sg
