// sg_thumbnails: small pictures of what a package holds (the background's
// picture or tile and every layer's frames) for the page to show beside their
// settings. They are the stored BMPs as the package reader decodes them, so
// they show what the saver draws, after build has converted, resized,
// mirrored and keyed the author's files.
#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/packlib/packlib.h"

// studio.cpp, where exceptions are caught.
bool studio_package_of(const char* path, std::vector<std::uint8_t>* package);

namespace {

struct Thumbnail {
    int part = 0;   // -1 the picture, -2 the tile, 0..9 a layer
    int index = 0;  // the frame's place in its set
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
};

std::vector<Thumbnail> thumbnails;

// The BMP shrunk (never enlarged) to fit `box` x `box`, nearest pixel; false
// when the reader cannot decode it.
bool shrink(const sg::pack::Bytes& bmp, int box, Thumbnail& out) {
    const auto image = sg::pack::bmp_image(bmp.data(), bmp.size());
    if (!image || image->width <= 0 || image->height <= 0) return false;
    const double scale = std::min(1.0, static_cast<double>(box) / std::max(image->width, image->height));
    out.width = std::max(1, static_cast<int>(image->width * scale));
    out.height = std::max(1, static_cast<int>(image->height * scale));
    out.rgba.resize(static_cast<std::size_t>(out.width) * out.height * 4);
    std::uint8_t* p = out.rgba.data();
    for (int y = 0; y < out.height; ++y) {
        const int sy = std::min(image->height - 1, static_cast<int>(y / scale));
        for (int x = 0; x < out.width; ++x, p += 4) {
            const int sx = std::min(image->width - 1, static_cast<int>(x / scale));
            const auto bgr = image->at(sx, sy);
            p[0] = bgr[2];
            p[1] = bgr[1];
            p[2] = bgr[0];
            p[3] = 255;
        }
    }
    return true;
}

}  // namespace

extern "C" {

// Makes the thumbnails of the package in `path` (a package, .scr or Linux
// program), each at most `box` pixels on a side; returns how many, or -1 with
// the message in sg_output() when the file holds no package.
EMSCRIPTEN_KEEPALIVE int sg_thumbnails(const char* path, int box) {
    thumbnails.clear();
    std::vector<std::uint8_t> package;
    if (!studio_package_of(path, &package)) return -1;
    const sg::pack::PackageRead read = sg::pack::package_parse(package.data(), package.size());
    const auto add = [&](int part, int index, const sg::pack::Bytes& bmp) {
        Thumbnail t;
        t.part = part;
        t.index = index;
        if (shrink(bmp, box, t)) thumbnails.push_back(std::move(t));
    };
    if (!read.scene.picture.empty()) add(-1, 0, read.scene.picture);
    if (!read.scene.tile.empty()) add(-2, 0, read.scene.tile);
    for (int k = 0; k < 10; ++k) {
        const auto& set = read.layers[static_cast<std::size_t>(k)].set;
        if (!set) continue;
        for (std::size_t i = 0; i < set->frames.size(); ++i) add(k, static_cast<int>(i), set->frames[i].bmp);
    }
    return static_cast<int>(thumbnails.size());
}

EMSCRIPTEN_KEEPALIVE int sg_thumbnail_part(int i) { return thumbnails[static_cast<std::size_t>(i)].part; }
EMSCRIPTEN_KEEPALIVE int sg_thumbnail_index(int i) { return thumbnails[static_cast<std::size_t>(i)].index; }
EMSCRIPTEN_KEEPALIVE int sg_thumbnail_width(int i) { return thumbnails[static_cast<std::size_t>(i)].width; }
EMSCRIPTEN_KEEPALIVE int sg_thumbnail_height(int i) { return thumbnails[static_cast<std::size_t>(i)].height; }
EMSCRIPTEN_KEEPALIVE const std::uint8_t* sg_thumbnail_pixels(int i) {
    return thumbnails[static_cast<std::size_t>(i)].rgba.data();
}

}  // extern "C"
