// The default scene's pictures, drawn in code: a snowy village at night and
// four sets of turning snowflakes. Everything is deterministic, so every build
// embeds the same bytes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/packlib/packlib.h"

namespace sg::scenes {

using Bgr = std::array<std::uint8_t, 3>;  // B, G, R as stored in a BMP

constexpr int PICTURE_WIDTH = 640;
constexpr int PICTURE_HEIGHT = 480;
constexpr int FLAKE_FRAMES = 20;

// Colour that marks the transparent pixels of each layer's frames.
constexpr Bgr KEY_GREEN{0x00, 0xFF, 0x00};
constexpr Bgr KEY_PINK{0xBD, 0xA0, 0xF4};

// 640 x 480 background: sky, moon, mountains, village, pines, snow.
sg::pack::Image night_picture();

// The 20 frames of layer 0..3: 32 x 32 (layers 0, 1) or 64 x 64 (2, 3); every
// pixel either the layer's key colour or part of the flake, never blended.
std::vector<sg::pack::Image> flake_frames(int layer);
Bgr flake_key(int layer);
int flake_frame_size(int layer);

}  // namespace sg::scenes
