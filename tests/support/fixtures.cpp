#include "tests/support/fixtures.h"

#include <string>

#include "format/bytes.h"

namespace sg::test {

namespace pack = sg::pack;

pack::Image solid_image(int width, int height, Bgr colour) {
    pack::Image image{width, height, {}};
    image.bgr.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int i = 0; i < width * height; ++i) image.bgr.insert(image.bgr.end(), colour.begin(), colour.end());
    return image;
}

pack::Image pattern_image(int width, int height, std::uint8_t tag) {
    pack::Image image = solid_image(width, height, {0, 0, tag});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.set(x, y, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), tag);
    return image;
}

pack::Image sprite_image(int width, int height, Bgr key, Bgr ink) {
    pack::Image image = solid_image(width, height, key);
    for (int y = 1; y < height - 1; ++y)
        for (int x = 1; x < width - 1; ++x) image.set(x, y, ink[0], ink[1], ink[2]);
    return image;
}

pack::Bytes frame_bmp(int width, int height, int index) {
    return pack::bmp24(sprite_image(width, height, KEY_GREEN, {static_cast<std::uint8_t>(index), 0x10, 0x80}));
}

pack::AnimSet animset(int frames, int width, int height, int duration, int maskMode) {
    pack::AnimSet set;
    set.maskMode = maskMode;
    for (int i = 0; i < frames; ++i) set.frames.push_back({frame_bmp(width, height, i), duration});
    return set;
}

pack::Layer enabled_layer(const pack::AnimSet& set, int instances) {
    pack::Layer layer;
    layer.settings.enabled = 1;
    layer.settings.instanceCount = instances;
    // The other settings keep LayerSettings' defaults: down, top entry,
    // random placement, speed class 1, sway on x row 1, random start,
    // no delays, looping.
    layer.set = set;
    return layer;
}

pack::Package ready_package(int backgroundMode, int layer) {
    pack::Package p;
    p.scene.title = "fixture scene";
    p.scene.backgroundMode = backgroundMode;
    p.scene.pictureFit = 1;
    if (backgroundMode == 3) p.scene.tile = pack::bmp24(pattern_image(16, 16, 0x33));
    if (backgroundMode == 4) p.scene.picture = pack::bmp24(pattern_image(64, 48, 0x44));
    p.layers.at(static_cast<std::size_t>(layer)) = enabled_layer(animset(4, 16, 16), 3);
    p.info.lineShown = {1, 1, 1, 1, 1};
    for (int i = 0; i < 5; ++i) p.info.lines[static_cast<std::size_t>(i)] = "fixture line " + std::to_string(i + 1);
    return p;
}

pack::Bytes silent_wav(int samples) {
    const auto n = static_cast<std::uint32_t>(samples < 0 ? 0 : samples);
    pack::Bytes out(44 + n, 0x80);  // 8-bit PCM silence is 0x80
    const auto text = [&](std::size_t at, const char* s) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(s[i]);
    };
    const auto u16 = [&](std::size_t at, std::uint16_t v) { sg::format::write_u16(&out[at], v); };
    text(0, "RIFF");
    pack::put32(out, 4, static_cast<std::int32_t>(36 + n));
    text(8, "WAVE");
    text(12, "fmt ");
    pack::put32(out, 16, 16);
    u16(20, 1);     // PCM
    u16(22, 1);     // mono
    pack::put32(out, 24, 8000);
    pack::put32(out, 28, 8000);
    u16(32, 1);     // block align
    u16(34, 8);     // bits per sample
    text(36, "data");
    pack::put32(out, 40, static_cast<std::int32_t>(n));
    return out;
}

std::vector<std::uint8_t> build(const pack::Package& package) { return pack::package_bytes(package); }

}  // namespace sg::test
