// "AP01" animation sets and the sprite slot table (20 layer rows x 50 slots):
// a row's set is decoded once into the row's frame set (pictures, masks,
// cut-outs and durations); each slot of the row keeps only its own place in
// the animation.
#pragma once

#include <cstdint>

#include "format/package_format.h"
#include "scene/surface.h"

namespace sg {

using format::MAX_FRAMES;
using format::MAX_INSTANCES;
constexpr int MAX_LAYERS = 20;  // rows of the layer and slot tables

// A row's decoded frames. A frame's surfaces are decoded into this set, or
// (for a frame decoded before from the same bytes) shown from an earlier
// set: the views say which, and only what this set decoded is released with it.
struct FrameSet {
    std::int32_t frameCount = 0;
    std::int32_t maskMode = 0;
    std::int32_t loops = 0;
    std::int32_t durations[MAX_FRAMES]{};
    Surface ownPictures[MAX_FRAMES];
    Surface ownMasks[MAX_FRAMES];
    Surface ownCutouts[MAX_FRAMES];
    const Surface* pictures[MAX_FRAMES]{};
    const Surface* masks[MAX_FRAMES]{};
    const Surface* cutouts[MAX_FRAMES]{};

    FrameSet() = default;
    // The views may point into the set itself: it stays where it was built.
    FrameSet(const FrameSet&) = delete;
    FrameSet& operator=(const FrameSet&) = delete;
};

using FrameSetTable = FrameSet[MAX_LAYERS];

// One sprite's place in its row's animation. `frameShown` is 0 until the slot
// first steps: a slot shows no frame before that.
struct SpriteSlot {
    std::int32_t inUse;
    std::int32_t currentFrame;
    std::int32_t countdowns[MAX_FRAMES];
    std::int32_t cycleCount;
    std::int32_t frameShown;
};

using SlotTable = SpriteSlot[MAX_LAYERS][MAX_INSTANCES];

// The bitmap refusals met while a scene is built, in the order met, for the
// shell to show. Refused pictures are decoded (and met) again where they
// recur, so at most every frame of every row and one background picture.
struct RefusalLog {
    static constexpr int CAPACITY = MAX_LAYERS * MAX_FRAMES + 1;
    BmpRefusal refusals[CAPACITY];
    std::int32_t count;
};
void refusal_add(RefusalLog* log, BmpRefusal refusal);

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
        const FrameSet* owner;
        std::int32_t frame;
    };
    static constexpr int CAPACITY = MAX_LAYERS * MAX_FRAMES;
    Entry entries[CAPACITY];
    std::int32_t count;
};

// Decodes a set (`size` bytes at `set`, untrusted) into the row's frame set
// and its first slot (in use, at frame 0, full countdowns). False, with both
// left as they were, when the set is refused (silently: not "AP01" version 1,
// a frame count outside 0..MAX_FRAMES, or a frame outside the set and its
// grace). With an index, frames decoded before from the same bytes are
// shared; with a log, refused frame pictures are noted in it.
bool animset_load(FrameSet& frames, SpriteSlot& first, int loops, const void* set, int size,
                  PictureIndex* index = nullptr, RefusalLog* refusals = nullptr);
// Releases the bitmaps every row's frame set decoded (not those it shows
// from another set) and empties the sets.
void animset_release_all(FrameSetTable& sets);

// The frames a slot shows: its row's when it is in use, none otherwise.
int slot_frame_count(const FrameSet& frames, const SpriteSlot& slot);

}  // namespace sg
