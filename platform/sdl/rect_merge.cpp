#include "platform/sdl/rect_merge.h"

#include <algorithm>

namespace pf::sdl {

namespace {

// Pairs looked at per call, at most: a full scene lists a thousand
// rectangles, and merging must stay far cheaper than what it saves.
constexpr long PAIR_BUDGET = 200000;

Box bounding(const Box& a, const Box& b) {
    return Box{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom)};
}

}  // namespace

std::vector<Box> merge_boxes(const std::vector<Box>& boxes, int width, int height, std::int64_t requestPixels) {
    std::vector<Box> out;
    out.reserve(boxes.size());
    for (const Box& b : boxes) {
        Box c{std::max(b.left, 0), std::max(b.top, 0), std::min(b.right, width), std::min(b.bottom, height)};
        if (c.right > c.left && c.bottom > c.top) out.push_back(c);
    }
    long budget = PAIR_BUDGET;
    // A grown rectangle may now pay to merge with one already passed: go
    // over the pairs again until nothing merges.
    for (bool merged = true; merged && budget > 0;) {
        merged = false;
        for (std::size_t i = 0; i < out.size() && budget > 0; ++i) {
            for (std::size_t j = i + 1; j < out.size() && budget > 0; --budget) {
                const Box u = bounding(out[i], out[j]);
                if (box_area(u) > box_area(out[i]) + box_area(out[j]) + requestPixels) {
                    ++j;
                    continue;
                }
                out[i] = u;
                out[j] = out.back();  // j now holds one not yet looked at
                out.pop_back();
                merged = true;
            }
        }
    }
    return out;
}

}  // namespace pf::sdl
