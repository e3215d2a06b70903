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

// The grid of tiles drawn from the top left corner of a width x height
// screen: width / tileWidth + 1 columns by height / tileHeight + 1 rows
// (a last column or row may lie wholly outside), 0 by 0 for a tile without
// positive size.
void background_tile_grid(int width, int height, int tileWidth, int tileHeight, int* columns,
                          int* rows);

}  // namespace sg
