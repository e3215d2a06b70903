// Frame composition: restore, draw what the world's tick left visible, and
// present the changed rectangles.
#pragma once

#include "frame/frame.h"

namespace sg {

struct World;

// Restores last tick's sprite rectangles from the background, draws the
// world's draw list over it, and presents the result on the window.
void frame_compose(Frame& frame, const World& world, pf::HWND window,
                  const PresentGeometry& geometry);
void background_restore(Frame& frame, Surface* target, const Surface* source);
void restore_list_clear(Frame& frame);
void present_list_clear(Frame& frame);
void restore_list_add(Frame& frame, int x, int y, int width, int height);
void present_list_add(Frame& frame, int x, int y, int width, int height);
void frame_present(Frame& frame, pf::HDC windowDC, const PresentGeometry& geometry);
void stretch_present_set(Frame& frame, int on);

}  // namespace sg
