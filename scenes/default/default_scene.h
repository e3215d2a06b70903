// The scene every build carries: a snowy village at night with four layers of
// falling snowflakes, in the layout of the shipped package (the same chunk
// sizes and offsets, padded to 3 MiB).
#pragma once

#include "tools/packlib/packlib.h"

namespace sg::scenes {

// 19 bytes: the window title and the single-instance guard's name.
inline constexpr char DEFAULT_TITLE[] = "Snowglobe: Snowfall";
inline constexpr std::size_t DEFAULT_PACKAGE_BYTES = 3145728;

sg::pack::Package default_scene();

}  // namespace sg::scenes
