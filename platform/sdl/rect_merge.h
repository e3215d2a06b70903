// Fewer, larger rectangles for presenting: the engine lists where each sprite
// was last tick and where it is now, and the two mostly overlap. The window's
// framebuffer holds the whole picture, so sending any area that covers the
// listed rectangles shows exactly the same pixels; what changes is how many
// requests and bytes go to the display.
#pragma once

#include <cstdint>
#include <vector>

namespace pf::sdl {

struct Box {
    int left, top, right, bottom;
};

inline std::int64_t box_area(const Box& b) {
    return std::int64_t(b.right - b.left) * std::int64_t(b.bottom - b.top);
}

// Clips the rectangles to width x height, drops the empty ones, and replaces
// two rectangles by their bounding box wherever that box has no more pixels
// than the two together plus requestPixels (what one request more costs,
// counted in pixels). The result covers every pixel of the input.
std::vector<Box> merge_boxes(const std::vector<Box>& boxes, int width, int height, std::int64_t requestPixels);

}  // namespace pf::sdl
