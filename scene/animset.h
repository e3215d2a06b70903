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
    // Frames whose surfaces this slot made (and releases); the others share
    // those of an earlier frame decoded from the same bytes.
    std::int32_t ownsFrame[MAX_FRAMES];
};

using SlotTable = SpriteSlot[MAX_LAYERS][MAX_INSTANCES];

// The pictures decoded so far during set-up: frames (of any layer) that use
// the same package bytes with the same mask mode share one picture, mask and
// cut-out instead of decoding them again. Nothing writes to them after the
// masks are built, so sharing changes no pixel; it bounds the memory that a
// package whose frames all point at one large picture can ask for.
struct PictureIndex {
    struct Entry {
        const std::uint8_t* source;  // the frame's first byte in the package
        std::int32_t size;
        std::int32_t maskMode;
        const SpriteSlot* owner;
        std::int32_t frame;
    };
    static constexpr int CAPACITY = MAX_LAYERS * MAX_FRAMES;
    Entry entries[CAPACITY];
    std::int32_t count;
};

// Decodes a set (`size` bytes at `set`, untrusted) into `first`: its frames,
// their masks and cut-outs, durations and countdowns. 0, with the slot left
// as it was, when the set is refused (silently: not "AP01" version 1, a frame
// count outside 0..MAX_FRAMES, or a frame outside the set and its grace).
// With an index, frames decoded before from the same bytes are shared.
int animset_load(SpriteSlot& first, int loops, const void* set, int size,
                 PictureIndex* index = nullptr);
// Releases the bitmaps of every loaded row (its first slot owns them, but
// for the frames it shares).
int animset_release_all(SlotTable& slots);

}  // namespace sg
