// Scene folders from strangers: pictures that leave no key colour free,
// files that are no regular file, paths that leave the folder, and scenes
// too large for any package. Each is refused with a message, in bounded time
// and memory.
#include <gtest/gtest.h>

#include "tests/unit/pack_files.h"
#include "tools/packlib/packlib.h"

using namespace packfiles;

namespace {

// Visible pixels of every colour `colour(i)` gives for i in [0, n), after a
// transparent top-left pixel, as a 32-bit BMP `width` wide.
template <class Colour>
Bytes keyed_bmp(int width, std::size_t n, Colour colour) {
    const int height = static_cast<int>((n + 1 + width - 1) / width);
    std::vector<Rgba> px(static_cast<std::size_t>(width) * height, Rgba{0, 0, 0, 255});
    px[0] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t c = colour(i);
        px[i + 1] = {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c), 255};
    }
    return bmp32(width, height, px);
}

const char* TOP_LEFT = "title = \"t\"\n[[layer]]\nframes = [\"f.bmp\"]\nmask = \"top-left\"\n";

}  // namespace

class PackHostile : public SceneDir {};

// The walk over the colour cube reaches one colour in eight: a picture that
// shows all of those and the preferred keys still has a free colour.
TEST_F(PackHostile, KeyColourIsFoundWhenTheStridedColoursAreAllTaken) {
    const std::uint32_t preferred[] = {0xff00ff, 0x00ff00, 0xffff00, 0x00ffff};
    const std::size_t walk = 1u << 21;
    write("f.bmp", keyed_bmp(2048, walk + 4, [&](std::size_t i) {
              return i < 4 ? preferred[i] : (0x010203u + static_cast<std::uint32_t>(i - 4) * 0x070708u) & 0xffffff;
          }));
    const auto built = build(TOP_LEFT);
    const auto image = *sg::pack::bmp_image(built.package.layers[0].set->frames[0].bmp.data(),
                                            built.package.layers[0].set->frames[0].bmp.size());
    const std::uint8_t* key = image.bgr.data();
    const std::uint32_t k = key[0] | (key[1] << 8) | (key[2] << 16);
    EXPECT_NE(k % 8, 3u);  // every colour of the walk is taken
    std::size_t keyed = 0;
    for (std::size_t p = 0; p < walk + 5; ++p)
        keyed += (image.bgr[3 * p] | (image.bgr[3 * p + 1] << 8) | (image.bgr[3 * p + 2] << 16)) == static_cast<int>(k);
    EXPECT_EQ(keyed, 1u);
}

TEST_F(PackHostile, KeyColourRefusedWhenEveryColourIsVisible) {
    write("f.bmp", keyed_bmp(4096, std::size_t{1} << 24, [](std::size_t i) { return static_cast<std::uint32_t>(i); }));
    const std::string error = error_of(TOP_LEFT);
    EXPECT_NE(error.find("layer[0].frames[0]: f.bmp: its visible pixels show every one of the 16777216 colours"),
              std::string::npos)
        << error;
}
