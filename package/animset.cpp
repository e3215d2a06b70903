#include "package/animset.h"

#include <cstring>

#include "gfx/mask.h"
#include "motion/random.h"

namespace sg {

SpriteSlot slotTable[MAX_LAYERS][MAX_INSTANCES];

namespace {

// Reads past a file's end see this many zero bytes in every working copy.
constexpr std::int64_t GRACE_BYTES = 1000;

constexpr int OFFSET_VERSION = 4;
constexpr int OFFSET_FRAME_COUNT = 8;
constexpr int OFFSET_MASK_MODE = 12;
constexpr int OFFSET_FRAME_OFFSETS = 16;
constexpr int OFFSET_FRAME_SIZES = 96;
constexpr int OFFSET_FRAME_DURATIONS = 176;

constexpr int BMP_HEADERS_SIZE = 54;

std::int32_t read32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                     std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
}

std::int32_t field(const std::uint8_t* set, int offset, int index = 0) {
    return read32(set + offset + 4 * index);
}

// Every frame must lie inside the set's bytes plus the zero grace; the set is
// untrusted, so nothing it says is read before this holds.
bool frames_inside(const std::uint8_t* set, int frameCount, std::int64_t available) {
    for (int i = 0; i < frameCount; ++i) {
        const std::int64_t offset = field(set, OFFSET_FRAME_OFFSETS, i);
        const std::int64_t size = field(set, OFFSET_FRAME_SIZES, i);
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

    Surface rgb{};
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
    surface_release(picture);
    *picture = rgb;
}

}  // namespace

void slots_clear() { std::memset(slotTable, 0, sizeof slotTable); }

int animset_load(int layer, int loops, const void* set, int size, int randomStart, int count) {
    if (layer < 0 || layer >= MAX_LAYERS || set == nullptr || size < 0) return 0;
    const std::int64_t available = std::int64_t{size} + GRACE_BYTES;
    auto* work = static_cast<std::uint8_t*>(block_alloc(static_cast<std::size_t>(available)));
    if (work == nullptr) return 0;
    std::memcpy(work, set, static_cast<std::size_t>(size));

    const std::int32_t frameCount = field(work, OFFSET_FRAME_COUNT);
    // Refusals are silent and leave the row empty.
    if (std::memcmp(work, "AP01", 4) != 0 || field(work, OFFSET_VERSION) != 1 || frameCount < 0 ||
        frameCount > MAX_FRAMES || !frames_inside(work, frameCount, available)) {
        block_free(work);
        return 0;
    }

    SpriteSlot& s = slotTable[layer][0];
    s.inUse = 1;
    s.frameCount = frameCount;
    s.currentFrame = 0;
    s.maskMode = field(work, OFFSET_MASK_MODE);
    s.loops = loops;
    for (int i = 0; i < frameCount; ++i) {
        const std::int32_t offset = field(work, OFFSET_FRAME_OFFSETS, i);
        const std::int32_t bytes = field(work, OFFSET_FRAME_SIZES, i);
        surface_reset(&s.pictures[i]);
        // A refused frame keeps no bitmap; the mask pass then leaves its mask
        // and cut-out empty instead of reading through it.
        if (surface_load_bmp(&s.pictures[i], work + offset, bytes) &&
            s.pictures[i].infoHeader.biBitCount == 8)
            expand_to_rgb(&s.pictures[i], work + offset, bytes);
        surface_reset(&s.masks[i]);
        mask_build(&s.masks[i], s.maskMode, &s.pictures[i]);
        surface_reset(&s.cutouts[i]);
        cutout_build(&s.cutouts[i], s.maskMode, &s.pictures[i]);
        s.durations[i] = s.countdowns[i] = field(work, OFFSET_FRAME_DURATIONS, i);
    }
    block_free(work);

    const int instances = clamp_instance_count(count);
    for (int j = 1; j < instances; ++j) {
        slotTable[layer][j] = s;
        // One draw per clone even for an empty set; slot 0 always starts at 0.
        if (randomStart) slotTable[layer][j].currentFrame = rand_range(0, frameCount - 1);
    }
    return 1;
}

int animset_release_all() {
    for (int row = 0; row < MAX_LAYERS; ++row) {
        SpriteSlot& s = slotTable[row][0];
        if (!s.inUse) continue;
        const int frames = s.frameCount < MAX_FRAMES ? s.frameCount : MAX_FRAMES;
        for (int i = 0; i < frames; ++i) {
            surface_release(&s.pictures[i]);
            surface_release(&s.masks[i]);
            surface_release(&s.cutouts[i]);
        }
    }
    return 1;
}

}  // namespace sg
