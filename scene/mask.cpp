#include "scene/mask.h"

#include <cstdint>

namespace sg {

namespace {

// Bytes per row of a 24-bit DIB. Both the picture and the target follow this
// rule, so it is computed here rather than trusted from a record field.
std::int64_t rgb_stride(std::int64_t width) { return (width * 3 + 3) / 4 * 4; }

// Only a live 24-bit picture can go through the three-byte pass. A refused
// frame keeps its file headers but has no pixel memory behind them.
bool rgb_picture(const Surface* picture) {
    return picture != nullptr && picture->bits != nullptr && picture->dib != nullptr &&
           picture->infoHeader.biBitCount == 24 && picture->infoHeader.biWidth > 0 &&
           picture->infoHeader.biHeight > 0;
}

enum class Output { Mask, Cutout };

void build(Surface* target, int maskMode, const Surface* picture, Output output) {
    surface_reset(target);
    if (!rgb_picture(picture)) return;  // left empty: nothing to draw through

    const int width = picture->infoHeader.biWidth;
    const int height = picture->infoHeader.biHeight;
    surface_create(target, width, height, 24);
    if (target->bits == nullptr) return;

    const std::int64_t stride = rgb_stride(width);
    const pf::BYTE* src = picture->bits;
    pf::BYTE* dst = target->bits;

    // Modes 3 and unknown modes key on nothing: every pixel is opaque.
    bool keyed = true;
    pf::BYTE key[3] = {0, 0, 0};
    switch (maskMode) {
        case 0: {
            // Rows are bottom-up: the top-left pixel opens the last row in memory.
            const pf::BYTE* topLeft = src + (height - 1) * stride;
            key[0] = topLeft[0];
            key[1] = topLeft[1];
            key[2] = topLeft[2];
            break;
        }
        case 1: break;
        case 2: key[0] = key[1] = key[2] = 0xFF; break;
        default: keyed = false; break;
    }

    // The DIB may still have GDI work queued against it.
    pf::GdiFlush();
    for (std::int64_t y = 0; y < height; ++y) {
        const pf::BYTE* s = src + y * stride;
        pf::BYTE* d = dst + y * stride;
        for (int x = 0; x < width; ++x, s += 3, d += 3) {
            const bool transparent = keyed && s[0] == key[0] && s[1] == key[1] && s[2] == key[2];
            if (output == Output::Mask) {
                const pf::BYTE v = transparent ? 0xFF : 0x00;
                d[0] = d[1] = d[2] = v;
            } else if (transparent) {
                d[0] = d[1] = d[2] = 0x00;
            } else {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
    }
}

}  // namespace

void mask_build(Surface* target, int maskMode, const Surface* picture) {
    build(target, maskMode, picture, Output::Mask);
}

void cutout_build(Surface* target, int maskMode, const Surface* picture) {
    build(target, maskMode, picture, Output::Cutout);
}

}  // namespace sg
