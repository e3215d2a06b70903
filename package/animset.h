// "AP01" animation sets and the sprite slot table (20 layer rows x 50 slots).
#pragma once

#include <cstdint>

#include "gfx/surface.h"
#include "motion/layers.h"

namespace sg {

constexpr int MAX_FRAMES = 20;
constexpr int ANIMSET_HEADER_SIZE = 256;

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

extern SpriteSlot slotTable[MAX_LAYERS][MAX_INSTANCES];

void slots_clear();
int animset_load(int layer, int loops, const void* set, int size, int randomStart, int count);
int animset_release_all();

}  // namespace sg
