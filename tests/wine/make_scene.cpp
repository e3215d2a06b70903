// Writes the scene packages of the end-to-end tests.
//
//   make_scene NAME OUT.kavren
//
// black, white, tiled, centred: static scenes (one-frame sets, no travel, no
// sway, no delays, every sprite wholly on screen), one layer for each of the
// four mask modes over the named background, so that a screenshot of the
// saver can be compared pixel for pixel with the headless renderer. The
// white scene also has a looping sound.
// about: no layers; about lines 1, 3 and 4 shown (Japanese texts), 0 and 2
// not. about-1252: lines "Café", "Straße", "Naïve" in code page 1252;
// about-1253: a Greek line in code page 1253, with a sound (the text record
// then shares the sound's block). tiled-each, tiled-span: the tiled scene
// whose monitors record asks for each monitor or a span over them all (the
// record lives in the block of a quiet sound). Every scene's title is
// "sg-e2e-" NAME.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "format/bytes.h"
#include "format/package_format.h"
#include "tools/packlib/packlib.h"

namespace {

using sg::pack::Bytes;
using sg::pack::Image;

struct Bgr {
    std::uint8_t b, g, r;
};

void fill(Image& image, Bgr c) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) image.set(x, y, c.b, c.g, c.r);
}

Image blank(int width, int height, Bgr c) {
    Image image;
    image.width = width;
    image.height = height;
    image.bgr.assign(static_cast<std::size_t>(width) * height * 3, 0);
    fill(image, c);
    return image;
}

// Each sprite keys on one colour and also carries the colours the other
// modes key on, plus near misses, so that a wrong key shows in the picture.
Image sprite_mode0() {  // key: the top left pixel, a violet
    const Bgr key{0x40, 0x20, 0xC0};
    Image s = blank(23, 17, key);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x) {
            const int d = std::abs(x - 11) + std::abs(y - 8);
            if (d <= 8) s.set(x, y, static_cast<std::uint8_t>(0x30 + 9 * x), 0xA0,
                               static_cast<std::uint8_t>(0x10 + 11 * y));
            if (d == 4) s.set(x, y, 0, 0, 0);           // black is opaque here
            if (d == 2) s.set(x, y, 0xFF, 0xFF, 0xFF);  // and so is white
        }
    s.set(11, 8, key.b, key.g, key.r + 1);  // one off the key: opaque
    s.set(22, 16, 0x41, 0x20, 0xC0);        // bottom right: not the key
    return s;
}

Image sprite_mode1() {  // key: black
    Image s = blank(16, 16, {0, 0, 0});
    for (int y = 2; y < 14; ++y)
        for (int x = 2; x < 14; ++x)
            if ((x - 8) * (x - 8) + (y - 8) * (y - 8) <= 30)
                s.set(x, y, 0x20, static_cast<std::uint8_t>(0x40 + 12 * y), 0xF0);
    s.set(8, 8, 0x00, 0x00, 0x01);  // nearly black: opaque
    s.set(7, 8, 0x00, 0x00, 0x00);  // black inside the disc: a hole
    s.set(0, 0, 0xFF, 0xFF, 0xFF);
    return s;
}

Image sprite_mode2() {  // key: white
    Image s = blank(21, 21, {0xFF, 0xFF, 0xFF});
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x)
            if (x == 10 || y == 10 || x == y || x + y == 20)
                s.set(x, y, static_cast<std::uint8_t>(0xF0 - 8 * x), 0x30, 0x90);
    s.set(3, 10, 0xFE, 0xFF, 0xFF);  // nearly white: opaque
    s.set(17, 10, 0x00, 0x00, 0x00);
    return s;
}

Image sprite_mode3() {  // opaque: even the violet and black are drawn
    Image s = blank(13, 11, {0x40, 0x20, 0xC0});
    for (int y = 3; y < 8; ++y)
        for (int x = 3; x < 10; ++x) s.set(x, y, 0x00, static_cast<std::uint8_t>(0x20 * (y - 2)), 0xFF);
    s.set(6, 5, 0, 0, 0);
    return s;
}

sg::pack::Layer static_layer(const Image& frame, int maskMode, int instances) {
    sg::pack::AnimSet set;
    set.maskMode = maskMode;
    set.frames.push_back({sg::pack::bmp24(frame), 2});
    sg::pack::Layer layer;
    layer.set = set;
    auto& s = layer.settings;
    s.enabled = 1;
    s.instanceCount = instances;
    s.directionCode = 4;  // no travel
    s.speedClass = 0;
    s.swayAxis = 2;       // no sway
    s.swayRow = 0;
    s.entryEdge = 0;
    s.placement = 1;      // random places...
    s.keepInside = 1;     // ...wholly on screen, so nothing ever exits
    s.randomStart = 0;
    s.delayMode = 1;      // no delays
    s.loops = 1;
    return layer;
}

// A picture whose every pixel tells where it is.
Image pattern(int width, int height, std::uint8_t tag) {
    Image image = blank(width, height, {0, 0, 0});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.set(x, y, static_cast<std::uint8_t>(x * 3), static_cast<std::uint8_t>(y * 5),
                      static_cast<std::uint8_t>(tag ^ (x + y)));
    return image;
}

// 8-bit tile: a 12-colour table, short of 256 entries.
Bytes tile8() {
    const int w = 37, h = 29;
    sg::pack::Palette8 palette;
    for (int i = 0; i < 12; ++i)
        palette.entries.push_back({static_cast<std::uint8_t>(20 * i), static_cast<std::uint8_t>(0xF0 - 17 * i),
                                   static_cast<std::uint8_t>(0x35 + 13 * i), 0});
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) indices[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint8_t>((x / 3 + y / 4) % 12);
    return sg::pack::bmp8(w, h, indices, palette);
}

// A quiet, valid WAV file image: 8-bit mono PCM at 8 kHz, a tenth of a second.
Bytes quiet_wav() {
    const std::uint32_t samples = 800;
    Bytes wav;
    auto text = [&](const char* four) { wav.insert(wav.end(), four, four + 4); };
    auto u32 = [&](std::uint32_t v) { sg::format::append_u32(wav, v); };
    auto u16 = [&](std::uint16_t v) { sg::format::append_u16(wav, v); };
    text("RIFF");
    u32(36 + samples);
    text("WAVE");
    text("fmt ");
    u32(16);
    u16(1);      // PCM
    u16(1);      // mono
    u32(8000);   // samples per second
    u32(8000);   // bytes per second
    u16(1);      // block align
    u16(8);      // bits per sample
    text("data");
    u32(samples);
    for (std::uint32_t i = 0; i < samples; ++i) wav.push_back(static_cast<std::uint8_t>(128 + (i / 8 % 2 ? 2 : -2)));
    return wav;
}

sg::pack::Package scene(const std::string& name) {
    sg::pack::Package p;
    p.scene.title = "sg-e2e-" + name;
    p.info.lineShown = {1, 1, 1, 1, 1};
    p.info.lines = {"snowglobe end-to-end scene", name, "", "", ""};
    if (name == "about") {
        p.info.lineShown = {0, 1, 0, 1, 1};
        p.info.lines = {
            "hidden line 0",
            "\x90\xe1\x82\xcc\x96\xe9",  // 雪の夜
            "hidden line 2",
            // 半角ｶﾀｶﾅと全角テキスト
            "\x94\xbc\x8a\x70\xb6\xc0\xb6\xc5\x82\xc6\x91\x53\x8a\x70\x83\x65\x83\x4c\x83\x58\x83\x67",
            "(C) snowglobe e2e",
        };
        return p;
    }
    if (name == "about-1252") {
        p.textCodePage = 1252;
        p.info.lineShown = {1, 1, 1, 0, 0};
        p.info.lines = {"Caf\xe9", "Stra\xdf" "e", "Na\xefve", "", ""};
        return p;
    }
    if (name == "about-1253") {
        p.textCodePage = 1253;
        p.scene.sound = quiet_wav();
        p.optionalBlock1.assign(120, 0);
        p.info.lineShown = {1, 0, 0, 0, 0};
        p.info.lines = {"\xca\xe1\xeb\xe7\xec\xdd\xf1\xe1", "", "", "", ""};  // Καλημέρα
        return p;
    }
    if (name == "black") p.scene.backgroundMode = 0;
    else if (name == "white") {
        p.scene.backgroundMode = 1;
        // The looping sound starts with the window and stops on close; it
        // must change nothing on the screen.
        p.scene.sound = quiet_wav();
        p.optionalBlock1.assign(120, 0);
    }
    else if (name == "tiled" || name == "tiled-each" || name == "tiled-span") {
        p.scene.backgroundMode = 3;
        p.scene.tile = tile8();
        if (name != "tiled") {
            namespace mr = sg::format::monitorsrecord;
            p.scene.sound = quiet_wav();
            p.optionalBlock1.assign(120, 0);
            std::uint8_t* record = p.optionalBlock1.data() + mr::BLOCK_OFFSET;
            for (int i = 0; i < 4; ++i) record[i] = static_cast<std::uint8_t>(mr::MAGIC[i]);
            sg::format::write_i32(record + mr::OFFSET_VERSION, mr::VERSION);
            const auto mode = name == "tiled-each" ? sg::format::MonitorMode::Each : sg::format::MonitorMode::Span;
            sg::format::write_i32(record + mr::OFFSET_MODE, static_cast<std::int32_t>(mode));
        }
    } else if (name == "centred") {
        p.scene.backgroundMode = 4;
        p.scene.pictureFit = 0;
        p.scene.picture = sg::pack::bmp24(pattern(643, 401, 0x5A));  // wider than 640: x = -1
    } else {
        throw std::runtime_error("no scene named " + name);
    }
    p.layers[0] = static_layer(sprite_mode0(), 0, 6);
    p.layers[1] = static_layer(sprite_mode1(), 1, 6);
    p.layers[2] = static_layer(sprite_mode2(), 2, 6);
    p.layers[3] = static_layer(sprite_mode3(), 3, 4);
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_scene black|white|tiled|tiled-each|tiled-span|centred|about|about-1252|about-1253 OUT.kavren\n");
        return 2;
    }
    try {
        const Bytes bytes = sg::pack::package_bytes(scene(argv[1]));
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) throw std::runtime_error(std::string("cannot write ") + argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_scene: %s\n", e.what());
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
