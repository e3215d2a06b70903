// Pictures changed at build as the manifest asks: scaled to cover a size and
// centre-cropped to it, and mirrored.
#pragma once

#include <optional>
#include <string>

#include "tools/core/images.h"

namespace sg::packtool {

struct PictureSize {
    int width = 0;
    int height = 0;
};

// "WxH" (each side 1..MAX_PICTURE_SIDE) or "screen" (the small screen,
// 1366x768); nullopt with `why` set for anything else.
std::optional<PictureSize> parse_resize(const std::string& text, std::string& why);

// The picture scaled, keeping its proportions, to the smallest size that
// covers `to`, then cropped to exactly `to` around its centre. Each axis is
// filtered over every source pixel it covers (Mitchell-Netravali when
// shrinking, Catmull-Rom when enlarging), colours weighted by alpha.
// Throws Failure when memory runs out.
RgbaImage cover(const RgbaImage& image, PictureSize to);

// Mirrored left to right (horizontal) or top to bottom.
void mirror(RgbaImage& image, bool horizontal);

// A BMP's pixels as an opaque RGBA picture, and back.
RgbaImage rgba_of(const Image& image);
Image bgr_of(const RgbaImage& image);

}  // namespace sg::packtool
