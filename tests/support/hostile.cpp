#include "tests/support/hostile.h"

#include "tests/support/fixtures.h"

namespace sg::test {

namespace {

constexpr int LAYERS = 10;
constexpr int FRAMES = 20;
constexpr std::size_t LAYER_BLOCK = 76;

}  // namespace

sg::pack::Bytes aliased_picture_package(int side, int bitCount, int instances) {
    namespace pack = sg::pack;
    pack::AnimSet set;
    set.maskMode = 0;
    if (bitCount == 8) {
        // Index 0 (green, the key) on the outer ring, index 1 inside.
        pack::Palette8 palette;
        palette.entries = {{0x00, 0xFF, 0x00, 0}, {0x20, 0x40, 0xC0, 0}};
        std::vector<std::uint8_t> indices(std::size_t(side) * std::size_t(side), 1);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                if (x == 0 || y == 0 || x == side - 1 || y == side - 1)
                    indices[std::size_t(y) * std::size_t(side) + std::size_t(x)] = 0;
        set.frames.push_back({pack::bmp8(side, side, indices, palette), 1});
    } else {
        set.frames.push_back(
            {pack::bmp24(sprite_image(side, side, KEY_GREEN, {0x20, 0x40, 0xC0})), 1});
    }
    set.frameCountOverride = FRAMES;

    pack::Package p;
    p.scene.title = "aliased pictures";
    p.info.lineShown = {1, 0, 0, 0, 0};
    p.info.lines = {"aliased pictures", "", "", "", ""};
    for (int k = 0; k < LAYERS; ++k) {
        pack::Layer& layer = p.layers.at(std::size_t(k));
        layer = enabled_layer(set, instances);
        if (k > 0) {
            layer.set.reset();
            layer.keepSetFields = true;
        }
    }
    pack::Layout layout;
    pack::Bytes bytes = pack::package_bytes(p, &layout);
    const std::int64_t setStart = std::int64_t{layout.offsets[1]} + std::int64_t(LAYER_BLOCK);
    const std::int32_t setSize = static_cast<std::int32_t>(layout.sizes[1] - LAYER_BLOCK);

    // Layers 1..9 take layer 0's set; the set's 20 frames all name frame 0.
    for (int k = 1; k < LAYERS; ++k) {
        pack::Layer& layer = p.layers.at(std::size_t(k));
        layer.settings.setOffset = static_cast<std::int32_t>(setStart - layout.offsets[1 + k]);
        layer.settings.setSize = setSize;
    }
    bytes = pack::package_bytes(p, &layout);
    const std::size_t header = std::size_t(setStart);
    const std::int32_t frameOffset = pack::get32(bytes, header + 16);
    const std::int32_t frameSize = pack::get32(bytes, header + 96);
    for (int i = 1; i < FRAMES; ++i) {
        pack::put32(bytes, header + 16 + 4 * std::size_t(i), frameOffset);
        pack::put32(bytes, header + 96 + 4 * std::size_t(i), frameSize);
        pack::put32(bytes, header + 176 + 4 * std::size_t(i), 1);
    }
    return bytes;
}

}  // namespace sg::test
