#include "fuzz/seed_scenes.h"

#include <cstdint>

namespace sg::fuzz {

namespace {

// A sprite on a key-coloured border: the top-left pixel is the key.
pack::Image sprite(int size, int frame) {
    pack::Image image;
    image.width = size;
    image.height = size;
    image.bgr.resize(static_cast<std::size_t>(size) * size * 3);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const bool border = x == 0 || y == 0 || x == size - 1 || y == size - 1;
            if (border)
                image.set(x, y, 0xFF, 0x00, 0xFF);
            else
                image.set(x, y, static_cast<std::uint8_t>(40 * frame), static_cast<std::uint8_t>(x * 20),
                          static_cast<std::uint8_t>(y * 20));
        }
    return image;
}

pack::AnimSet sprite_set(int size, int frames, int maskMode) {
    pack::AnimSet set;
    set.maskMode = maskMode;
    for (int f = 0; f < frames; ++f) set.frames.push_back({pack::bmp24(sprite(size, f)), 1 + f % 3});
    return set;
}

// 8-bit frames: black and white included, so masks 1 and 2 find their key.
pack::AnimSet palette_set(int size, int frames, int maskMode) {
    pack::Palette8 palette;
    palette.entries = {{0, 0, 0, 0}, {255, 255, 255, 0}, {0, 128, 255, 0}, {80, 200, 40, 0}};
    pack::AnimSet set;
    set.maskMode = maskMode;
    for (int f = 0; f < frames; ++f) {
        std::vector<std::uint8_t> indices(static_cast<std::size_t>(size) * size);
        for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>((i + f) % 4);
        set.frames.push_back({pack::bmp8(size, size, indices, palette, false, 3), 2});
    }
    return set;
}

pack::Bytes picture24(int width, int height) {
    pack::Image image;
    image.width = width;
    image.height = height;
    image.bgr.resize(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.set(x, y, static_cast<std::uint8_t>(x * 9), static_cast<std::uint8_t>(y * 7), 0x40);
    return pack::bmp24(image, 2);
}

pack::Bytes picture8(int width, int height, bool colorsUsedZero) {
    pack::Palette8 palette;
    const int colours = colorsUsedZero ? 256 : 16;
    for (int i = 0; i < colours; ++i)
        palette.entries.push_back({static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(255 - i), 0x20, 0});
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>(i % colours);
    return pack::bmp8(width, height, indices, palette, colorsUsedZero);
}

// The smallest RIFF/WAVE image a player takes: 8-bit mono, a few samples.
pack::Bytes tiny_wav() {
    pack::Bytes wav = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                       16, 0, 0, 0, 1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0,
                       'd', 'a', 't', 'a', 8, 0, 0, 0, 128, 160, 192, 160, 128, 96, 64, 96};
    pack::put32(wav, 4, static_cast<std::int32_t>(wav.size() - 8));
    return wav;
}

pack::Layer layer(pack::AnimSet set, int instances) {
    pack::Layer l;
    l.settings.enabled = 1;
    l.settings.instanceCount = instances;
    l.set = std::move(set);
    return l;
}

}  // namespace

pack::Package small_scene() {
    pack::Package p;
    p.scene.title = "fuzz small";
    p.layers[0] = layer(sprite_set(8, 2, 0), 3);
    p.info.lineShown = {1, 1, 0, 0, 0};
    p.info.lines = {"fuzz small", "one layer", "", "", ""};
    return p;
}

std::vector<std::pair<std::string, pack::Package>> edge_scenes() {
    std::vector<std::pair<std::string, pack::Package>> out;

    pack::Package empty;
    empty.scene.title = "empty";
    out.emplace_back("empty", empty);

    out.emplace_back("small", small_scene());

    pack::Package white = small_scene();
    white.scene.title = "white opaque";
    white.scene.backgroundMode = 1;
    white.layers[0] = layer(sprite_set(12, 3, 3), 5);
    white.layers[0].settings.directionCode = 4;  // no travel
    white.layers[0].settings.keepInside = 1;
    out.emplace_back("white-opaque", white);

    pack::Package tiled;
    tiled.scene.title = "tiled 8-bit";
    tiled.scene.backgroundMode = 3;
    tiled.scene.tile = picture8(10, 7, false);
    tiled.layers[0] = layer(palette_set(9, 2, 1), 4);
    tiled.layers[1] = layer(palette_set(7, 3, 2), 4);
    tiled.layers[1].settings.directionCode = 1;
    tiled.layers[1].settings.entryEdge = 2;
    out.emplace_back("tiled-8bit", tiled);

    pack::Package centred;
    centred.scene.title = "centred, waits after a cycle";
    centred.scene.backgroundMode = 4;
    centred.scene.pictureFit = 0;
    centred.scene.picture = picture24(200, 90);
    centred.layers[0] = layer(sprite_set(10, 4, 0), 6);
    centred.layers[0].settings.delayMode = 0;
    centred.layers[0].settings.maxWait = 20;
    centred.layers[0].settings.reentryCycles = 2;
    out.emplace_back("centred-cycle-waits", centred);

    pack::Package stretched;
    stretched.scene.title = "stretched 8-bit, waits after an exit, sound";
    stretched.scene.backgroundMode = 4;
    stretched.scene.pictureFit = 1;
    stretched.scene.picture = picture8(50, 40, true);
    stretched.scene.sound = tiny_wav();
    stretched.optionalBlock1.assign(pack::OPTIONAL_BLOCK1_BYTES, 0x11);
    stretched.scene.optionalBlock2Present = 1;
    stretched.optionalBlock2.assign(pack::OPTIONAL_BLOCK2_BYTES, 0x22);
    stretched.layers[0] = layer(sprite_set(6, 2, 0), 8);
    stretched.layers[0].settings.delayMode = 2;
    stretched.layers[0].settings.maxWait = 12;
    stretched.layers[0].settings.directionCode = 5;
    stretched.layers[0].settings.entryEdge = 3;
    stretched.layers[0].settings.speedClass = 4;
    stretched.layers[0].settings.loops = 0;
    out.emplace_back("stretched-exit-waits-sound", stretched);

    pack::Package corners;
    corners.scene.title = "fixed from each corner";
    corners.scene.backgroundMode = 2;
    for (int k = 0; k < 4; ++k) {
        corners.layers[k] = layer(sprite_set(5 + k, 2, 0), 1 + k);
        pack::LayerSettings& s = corners.layers[k].settings;
        s.placement = 0;
        s.startCorner = k;
        s.startX = k % 2 == 0 ? 10 : -20;
        s.startY = k < 2 ? 5 : -15;
        s.randomStart = 0;
        s.swayAxis = k % 2;
        s.swayRow = k;
    }
    out.emplace_back("desktop-fixed-corners", corners);

    pack::Package full;
    full.scene.title = "ten full layers";
    for (int k = 0; k < 10; ++k) {
        full.layers[k] = layer(sprite_set(4, 2, k % 4 == 3 ? 3 : 0), 50);
        pack::LayerSettings& s = full.layers[k].settings;
        s.directionCode = k % 9;
        s.entryEdge = k % 9;
        s.speedClass = k % 5;
        s.swayRow = (k + 2) % 5;
    }
    out.emplace_back("ten-full-layers", full);

    pack::Package disabled = small_scene();
    disabled.scene.title = "a disabled layer with leftovers";
    disabled.layers[1].settings.enabled = 0;
    disabled.layers[1].settings.setOffset = 76;
    disabled.layers[1].settings.setSize = 5000;
    disabled.layers[1].keepSetFields = true;
    disabled.scene.leftoverSoundOffset = 123456;
    disabled.scene.leftoverSoundSize = 44;
    out.emplace_back("disabled-layer-leftovers", disabled);
    return out;
}

}  // namespace sg::fuzz
