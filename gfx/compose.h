// Frame composition: restore, draw, move, present the changed rectangles.
#pragma once

#include <cstdint>

#include "gfx/surface.h"

namespace sg {

struct DirtyRect {
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
};

constexpr int DIRTY_CAPACITY = 500;

extern DirtyRect restoreList[DIRTY_CAPACITY];
extern std::int32_t restoreCount;
extern DirtyRect presentList[DIRTY_CAPACITY];
extern std::int32_t presentCount;
extern DirtyRect previousPresentList[DIRTY_CAPACITY];
extern std::int32_t previousPresentCount;
extern std::int32_t stretchPresent;
extern std::int32_t firstPresentDone;

int frame_compose(Surface* work);
int background_restore(Surface* target, const Surface* source);
void restore_list_clear();
void present_list_clear();
void restore_list_add(int x, int y, int width, int height);
void present_list_add(int x, int y, int width, int height);
int frame_present(pf::HDC windowDC, const Surface* work);
void stretch_present_set(int on);
// Back to the start-of-process state (all lists empty, both flags 0).
void compose_reset();

}  // namespace sg
