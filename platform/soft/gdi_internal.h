// Inside the software GDI: what the object table hands the raster code.
// Not part of the platform interface.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace pf::soft::detail {

// Pixels a DC draws into or reads from: a bottom-up DIB layout, 24-bit or
// 8-bit with a colour table (entries past colorCount read as black).
struct PixelView {
    int width;
    int height;
    int bitCount;
    int stride;
    std::uint8_t* bits;
    const RGBQUAD* colors;
    int colorCount;
};

enum class Access {
    Pixels,   // the view is filled in
    Nothing,  // a DC without pixels of its own (the stock 1x1 bitmap): drawing is a no-op
    Invalid,  // not a DC, an information context, or a DC this backend cannot draw with
};

// As a blit target (24-bit only) or as a source (24-bit or 8-bit).
Access target_view(HDC dc, PixelView* out);
Access source_view(HDC dc, PixelView* out);

// Tell a window DC which rectangle (top-down, already clipped) was drawn.
void note_drawn(HDC dc, int x, int y, int width, int height);

}  // namespace pf::soft::detail
