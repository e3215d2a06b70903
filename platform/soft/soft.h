// What the software GDI offers the rest of the portable platform: window
// device contexts over a framebuffer, and the count of live GDI objects.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace pf::soft {

// A 24-bit bottom-up pixel buffer laid out exactly like a DIB section
// (rows padded to 4 bytes). Windows draw into one of these.
struct Framebuffer {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<std::uint8_t> pixels;
    void resize(int w, int h);  // keeps nothing; all zero (black)
};

// A DC that draws into a window's framebuffer and remembers, clipped to the
// framebuffer, every rectangle drawn through it (top-down coordinates).
HDC window_dc_create(Framebuffer* target);
// The rectangles drawn through a window DC since it was created or last taken.
std::vector<RECT> window_dc_take_drawn(HDC dc);
void window_dc_delete(HDC dc);

// Device contexts and bitmaps currently alive (created and not deleted),
// stock objects and window DCs not counted. Tests use it to prove teardown.
int live_gdi_objects();

// Pixels of a bitmap selected in a memory DC, for tests and the renderer:
// nullptr when the DC has no DIB selected.
struct DibView {
    int width;
    int height;
    int bitCount;
    int stride;
    const std::uint8_t* bits;
};
bool dib_view(HDC dc, DibView* out);

}  // namespace pf::soft
