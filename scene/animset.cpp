#include "scene/animset.h"

#include <cstring>
#include <utility>

#include "scene/mask.h"

namespace sg {

namespace {

namespace set = format::animset;
using format::BMP_HEADERS_SIZE;
using format::read_i32;

std::int32_t field(const std::uint8_t* bytes, int offset, int index = 0) {
    return read_i32(bytes + offset + 4 * index);
}

// Every frame must lie inside the set's bytes plus the zero grace; the set is
// untrusted, so nothing it says is read before this holds.
bool frames_inside(const std::uint8_t* bytes, int frameCount, std::int64_t available) {
    for (int i = 0; i < frameCount; ++i) {
        const std::int64_t offset = field(bytes, set::OFFSET_FRAME_OFFSETS, i);
        const std::int64_t size = field(bytes, set::OFFSET_FRAME_SIZES, i);
        if (offset < 0 || size < 0 || offset + size > available) return false;
    }
    return true;
}

// The masks read three bytes per pixel, so an 8-bit frame is rebuilt as a
// 24-bit surface through the colour table in its file bytes (the surface
// record keeps no table of its own). Table bytes past the file's end count as
// zero, as they do for the bitmap loader.
void expand_to_rgb(Surface* picture, const std::uint8_t* file, std::int64_t fileSize) {
    const int width = picture->infoHeader.biWidth;
    const int height = picture->infoHeader.biHeight;
    if (picture->bits == nullptr || width <= 0 || height <= 0) return;

    std::uint32_t colours = picture->infoHeader.biClrUsed;
    if (colours == 0 || colours > 256) colours = 256;
    pf::BYTE table[256][3] = {};
    for (std::uint32_t i = 0; i < colours; ++i) {
        const std::int64_t at = BMP_HEADERS_SIZE + 4 * std::int64_t{i};
        for (int c = 0; c < 3; ++c) table[i][c] = at + c < fileSize ? file[at + c] : 0;
    }

    Surface rgb;
    surface_create(&rgb, width, height, 24);
    if (rgb.bits == nullptr) {
        surface_release(&rgb);
        return;
    }
    const std::int64_t indexStride = (std::int64_t{width} + 3) / 4 * 4;
    const std::int64_t rgbStride = (std::int64_t{width} * 3 + 3) / 4 * 4;
    pf::GdiFlush();
    for (std::int64_t y = 0; y < height; ++y) {
        const pf::BYTE* s = picture->bits + y * indexStride;
        pf::BYTE* d = rgb.bits + y * rgbStride;
        for (int x = 0; x < width; ++x, d += 3) std::memcpy(d, table[s[x]], 3);
    }
    *picture = std::move(rgb);  // releases the 8-bit DIB
}

const PictureIndex::Entry* find_decoded(const PictureIndex* index, const std::uint8_t* source,
                                        std::int32_t size, std::int32_t maskMode) {
    if (index == nullptr) return nullptr;
    for (int k = 0; k < index->count; ++k) {
        const PictureIndex::Entry& e = index->entries[k];
        if (e.source == source && e.size == size && e.maskMode == maskMode) return &e;
    }
    return nullptr;
}

void remember_decoded(PictureIndex* index, const std::uint8_t* source, std::int32_t size,
                      std::int32_t maskMode, const FrameSet* owner, int frame) {
    if (index == nullptr || index->count < 0 || index->count >= PictureIndex::CAPACITY) return;
    index->entries[index->count++] = PictureIndex::Entry{source, size, maskMode, owner, frame};
}

}  // namespace

void refusal_add(RefusalLog* log, BmpRefusal refusal) {
    if (log == nullptr || log->count < 0 || log->count >= RefusalLog::CAPACITY) return;
    log->refusals[log->count++] = refusal;
}

int slot_frame_count(const FrameSet& frames, const SpriteSlot& slot) {
    if (!slot.inUse) return 0;
    return frames.frameCount < MAX_FRAMES ? frames.frameCount : MAX_FRAMES;
}

bool animset_load(FrameSet& set_, SpriteSlot& s, int loops, const void* bytes, int size,
                  PictureIndex* index, RefusalLog* refusals) {
    if (bytes == nullptr || size < 0) return false;
    const std::int64_t available = std::int64_t{size} + format::READ_GRACE_BYTES;
    auto* work = static_cast<std::uint8_t*>(block_alloc(static_cast<std::size_t>(available)));
    if (work == nullptr) return false;
    std::memcpy(work, bytes, static_cast<std::size_t>(size));

    const std::int32_t frameCount = field(work, set::OFFSET_FRAME_COUNT);
    // Refusals are silent and leave the row empty.
    if (std::memcmp(work, set::MAGIC, 4) != 0 || field(work, set::OFFSET_VERSION) != 1 ||
        frameCount < 0 || frameCount > MAX_FRAMES ||
        !frames_inside(work, frameCount, available)) {
        block_free(work);
        return false;
    }

    FrameSet& f = set_;
    s.inUse = 1;
    s.currentFrame = 0;
    s.frameShown = 0;
    f.frameCount = frameCount;
    f.maskMode = field(work, set::OFFSET_MASK_MODE);
    f.loops = loops;
    for (int i = 0; i < frameCount; ++i) {
        const std::int32_t offset = field(work, set::OFFSET_FRAME_OFFSETS, i);
        const std::int32_t length = field(work, set::OFFSET_FRAME_SIZES, i);
        f.durations[i] = s.countdowns[i] = field(work, set::OFFSET_FRAME_DURATIONS, i);
        // Only a frame wholly inside the set's real bytes is the same picture
        // wherever else those bytes are used; one that runs into the zero
        // grace depends on where this set ends.
        const bool shareable = std::int64_t{offset} + length <= size;
        const std::uint8_t* source = static_cast<const std::uint8_t*>(bytes) + offset;
        if (shareable) {
            if (const PictureIndex::Entry* e = find_decoded(index, source, length, f.maskMode)) {
                f.pictures[i] = e->owner->pictures[e->frame];
                f.masks[i] = e->owner->masks[e->frame];
                f.cutouts[i] = e->owner->cutouts[e->frame];
                continue;
            }
        }
        Surface& picture = f.ownPictures[i];
        surface_reset(&picture);
        // A refused frame keeps no bitmap; the mask pass then leaves its mask
        // and cut-out empty instead of reading through it.
        BmpRefusal refusal = BmpRefusal::None;
        if (surface_load_bmp(&picture, work + offset, length, &refusal)) {
            if (picture.infoHeader.biBitCount == 8) expand_to_rgb(&picture, work + offset, length);
        } else if (refusal != BmpRefusal::None) {
            refusal_add(refusals, refusal);
        }
        surface_reset(&f.ownMasks[i]);
        mask_build(&f.ownMasks[i], f.maskMode, &picture);
        surface_reset(&f.ownCutouts[i]);
        cutout_build(&f.ownCutouts[i], f.maskMode, &picture);
        f.pictures[i] = &picture;
        f.masks[i] = &f.ownMasks[i];
        f.cutouts[i] = &f.ownCutouts[i];
        // A refused picture is decoded (and reported) again where it recurs.
        if (shareable && picture.memoryDC != nullptr)
            remember_decoded(index, source, length, f.maskMode, &f, i);
    }
    block_free(work);
    return true;
}

void animset_release_all(FrameSetTable& sets) {
    for (FrameSet& f : sets) {
        for (int i = 0; i < MAX_FRAMES; ++i) {
            surface_release(&f.ownPictures[i]);
            surface_release(&f.ownMasks[i]);
            surface_release(&f.ownCutouts[i]);
            f.pictures[i] = f.masks[i] = f.cutouts[i] = nullptr;
        }
        f.frameCount = 0;
    }
}

}  // namespace sg
