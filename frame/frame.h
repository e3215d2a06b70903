// What the saver draws with: the clean background, the work surface that is
// composed every tick and presented, the decoded tile or picture, and the
// rectangle lists of the last and the current tick.
#pragma once

#include <cstdint>

#include "scene/surface.h"

namespace sg {

struct DirtyRect {
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
};

constexpr int DIRTY_CAPACITY = 500;

struct Frame {
    Surface backgroundSurface{};
    Surface workSurface{};
    Surface tileSurface{};
    Surface pictureSurface{};

    DirtyRect restoreList[DIRTY_CAPACITY]{};
    std::int32_t restoreCount = 0;
    DirtyRect presentList[DIRTY_CAPACITY]{};
    std::int32_t presentCount = 0;
    DirtyRect previousPresentList[DIRTY_CAPACITY]{};
    std::int32_t previousPresentCount = 0;
    // The preview: the whole picture stretched onto the pane every tick.
    std::int32_t stretchPresent = 0;
    std::int32_t firstPresentDone = 0;
};

// Where the frame is shown: the logical screen the scene is composed at, the
// pane it is stretched onto in the preview, and on a high-DPI screen the
// whole-number factor by which the window shows it enlarged (the window then
// is windowWidth x windowHeight; what the factor does not fill stays black).
struct PresentGeometry {
    std::int32_t screenWidth;
    std::int32_t screenHeight;
    std::int32_t previewWidth;
    std::int32_t previewHeight;
    std::int32_t scale = 1;
    std::int32_t windowWidth = 0;
    std::int32_t windowHeight = 0;
};

}  // namespace sg
