// Small scene packages that between them reach every setting the engine
// reads: seeds for the fuzz targets, and the scene the command-line target
// starts with.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/packlib/packlib.h"

namespace sg::fuzz {

// One layer of three 8 x 8 sprites over black.
pack::Package small_scene();
// Named edge cases: every background mode, 8-bit pictures and frames, each
// mask mode, both delay modes, fixed placement from each corner, a sound and
// the optional blocks, all ten layers full.
std::vector<std::pair<std::string, pack::Package>> edge_scenes();

}  // namespace sg::fuzz
