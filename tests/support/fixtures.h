// Small builders for test packages, made in code with the package writer.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/packlib/packlib.h"

namespace sg::test {

using Bgr = std::array<std::uint8_t, 3>;  // pixel bytes in memory order

constexpr Bgr KEY_GREEN{0x00, 0xFF, 0x00};

// One colour everywhere.
sg::pack::Image solid_image(int width, int height, Bgr colour);
// Every pixel tells where it is: B = x, G = y, R = tag (all mod 256), so row
// order, row padding and offsets show up in pixel comparisons.
sg::pack::Image pattern_image(int width, int height, std::uint8_t tag = 0x5A);
// A sprite: `key` on the outermost ring of pixels (the top left pixel
// included), `ink` inside it.
sg::pack::Image sprite_image(int width, int height, Bgr key, Bgr ink);

// Frame `index` of a test animation: a sprite on KEY_GREEN whose ink encodes
// the index (B = index, G = 0x10, R = 0x80), as a 24-bit BMP.
sg::pack::Bytes frame_bmp(int width, int height, int index = 0);
// n frames of frame_bmp(width, height, i), each lasting `duration` ticks.
sg::pack::AnimSet animset(int frames, int width, int height, int duration = 2, int maskMode = 0);

// An enabled layer with the given set: `instances` instances, travelling
// down at speed class 1 with sway on x, random placement and start, looping,
// no delays.
sg::pack::Layer enabled_layer(const sg::pack::AnimSet& set, int instances);

// A complete scene: title "fixture scene", five shown about lines, layer
// `layer` enabled with 4 frames of 16 x 16 and 3 instances, and the chosen
// background: modes 0..2 as they are, 3 with a 16 x 16 pattern tile, 4 with
// a 64 x 48 pattern picture stretched (pictureFit 1).
sg::pack::Package ready_package(int backgroundMode = 0, int layer = 0);

// A short, silent, valid WAV file image (8-bit mono PCM at 8 kHz).
sg::pack::Bytes silent_wav(int samples = 16);

// The package's bytes, as the engine finds them.
std::vector<std::uint8_t> build(const sg::pack::Package& package);

}  // namespace sg::test
