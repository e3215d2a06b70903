// The background, drawn once into the frame's background and work surfaces.
#pragma once

#include "frame/frame.h"
#include "format/package_format.h"

namespace sg {

using format::BackgroundMode;

struct Package;

// The part of the desktop under the saver's window, in screen coordinates:
// larger than the surfaces on a scaled screen, where the engine runs at a
// logical size and the desktop copy is shrunk; away from 0, 0 on a monitor
// other than the primary.
struct DesktopArea {
    int x;
    int y;
    int width;
    int height;
};

// Both surfaces at width x height, drawn as the package's scene header says.
// Returns why the tile or picture was refused (None when it was not), for
// the caller to report.
BmpRefusal build_background(Frame& frame, const Package& package, int width, int height,
                            const DesktopArea& desktop);

// The grid of tiles drawn from the top left corner of a width x height
// screen: width / tileWidth + 1 columns by height / tileHeight + 1 rows
// (a last column or row may lie wholly outside), 0 by 0 for a tile without
// positive size.
void background_tile_grid(int width, int height, int tileWidth, int tileHeight, int* columns,
                          int* rows);

}  // namespace sg
