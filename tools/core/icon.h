// A Windows saver's own icon, from an author's picture: icon group 101 with
// 16 x 16 and 32 x 32 images at 4, 8 and 32 bits per pixel, as Explorer and
// the display settings pick among them.
#pragma once

#include <string>
#include <vector>

#include "tools/core/pe.h"
#include "tools/core/util.h"

namespace sg::packtool {

constexpr std::uint32_t ICON_GROUP_ID = 101;
constexpr std::uint32_t RT_ICON = 3;
constexpr std::uint32_t RT_GROUP_ICON = 14;

// The six icon images (each a BITMAPINFOHEADER, palette, colour and mask
// rows, as RT_ICON holds them), in the group's order: 16 x 16 at 4, 8, 32
// bits, then 32 x 32. The picture (PNG, or BMP) is fitted into the square,
// keeping its proportions; transparent pixels of a PNG stay transparent.
// Throws Failure naming `what` when it cannot be read.
std::vector<Bytes> icon_images(const Bytes& picture, const std::string& what);

// Replaces icon group 101 (and the images only it used) in a resource list
// by one that holds `images`; the group keeps its language (Japanese, as
// the saver's resources are, when there was none).
void set_icon_group(std::vector<pe::Resource>& list, const std::vector<Bytes>& images);

}  // namespace sg::packtool
