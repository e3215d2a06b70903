// The world of a running scene: the screen it moves on, the layer and slot
// tables, the random sequence, and what the last tick left to be drawn.
// Everything a tick reads or changes is here; the frame only draws from it.
#pragma once

#include <cstdint>

#include "scene/animset.h"
#include "world/layers.h"
#include "world/random.h"

namespace sg {

// One sprite the tick left visible: where it was drawn this tick and views of
// the current frame's surfaces (owned by the frame sets, valid until they are
// released).
struct SpriteDraw {
    std::int32_t layer;
    std::int32_t slot;
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
    std::int32_t maskMode;
    const Surface* picture;
    const Surface* mask;
    const Surface* cutout;
};

constexpr int MAX_SPRITE_DRAWS = MAX_LAYERS * MAX_INSTANCES;

struct World {
    // The logical screen: placement, travel and the exit test use it.
    std::int32_t screenWidth = 0;
    std::int32_t screenHeight = 0;
    Random random;
    LayerTable layerTable{};
    // Each row's decoded frames, and every sprite's place in them.
    FrameSetTable frameSets{};
    SlotTable slotTable{};
    // What a slot shows when it shows no frame: an empty surface, never created.
    Surface noSurface{};
    // Set-up's record of decoded pictures, shared between frames and layers.
    PictureIndex pictureIndex{};
    // Pictures refused during set-up, not yet shown.
    RefusalLog refusals{};
    // Filled by world_tick in drawing order (layer by layer, slot by slot).
    SpriteDraw drawList[MAX_SPRITE_DRAWS]{};
    std::int32_t drawCount = 0;
};

// One tick of the world: every slot's frame steps, then per active layer and
// instance the re-entry check, the draw decision (recorded in the draw list)
// and the motion step, then the layer's delay updates.
void world_tick(World& world);

}  // namespace sg
