// The background, drawn once into backgroundSurface and workSurface.
#pragma once

#include "gfx/surface.h"

namespace sg {

enum BackgroundMode { Black = 0, White = 1, Desktop = 2, Tiled = 3, Picture = 4 };

extern Surface backgroundSurface;
extern Surface workSurface;
extern Surface tileSurface;
extern Surface pictureSurface;

void build_background();

}  // namespace sg
