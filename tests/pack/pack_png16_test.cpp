// 16-bit PNGs: every sample v reads as round(v / 257), for each colour type,
// whatever gAMA or sRGB chunks the file carries (the simplified libpng read
// took such samples for linear light and brightened them).
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <vector>

#include "tools/core/images.h"

using namespace sg::packtool;

namespace {

enum class Chunk { None, Gamma, Srgb };

struct Sink {
    Bytes bytes;
};

void write_memory(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
    sink->bytes.insert(sink->bytes.end(), data, data + length);
}

// A 16-bit PNG of `colourType` whose pixels hold `samples` (channels per pixel
// as the colour type has), written with libpng.
Bytes png16(int width, int height, int colourType, const std::vector<std::uint16_t>& samples, Chunk chunk,
            bool interlaced = false, const png_color_16* trans = nullptr) {
    Sink sink;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the fixture";
        return {};
    }
    png_set_write_fn(png, &sink, write_memory, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 16, colourType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (chunk == Chunk::Gamma) png_set_gAMA(png, info, 1.0 / 2.2);
    if (chunk == Chunk::Srgb) png_set_sRGB_gAMA_and_cHRM(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    if (trans) png_set_tRNS(png, info, nullptr, 0, const_cast<png_color_16*>(trans));
    png_write_info(png, info);
    const std::size_t perRow = samples.size() / static_cast<std::size_t>(height);
    std::vector<png_byte> rows(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        rows[2 * i] = static_cast<png_byte>(samples[i] >> 8);
        rows[2 * i + 1] = static_cast<png_byte>(samples[i]);
    }
    std::vector<png_bytep> pointers(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) pointers[static_cast<std::size_t>(y)] = &rows[static_cast<std::size_t>(y) * perRow * 2];
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return sink.bytes;
}

std::vector<std::uint8_t> pixel(const RgbaImage& image, int x, int y) {
    const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

using V = std::vector<std::uint8_t>;

std::uint32_t crc32_of(const std::uint8_t* p, std::size_t n) {
    std::uint32_t c = 0xffffffffu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1u)));
    }
    return ~c;
}

}  // namespace

TEST(PackPng16, EverySampleIsItsValueOver257WhateverTheColourTypeAndChunks) {
    for (Chunk chunk : {Chunk::None, Chunk::Gamma, Chunk::Srgb}) {
        SCOPED_TRACE(static_cast<int>(chunk));
        // RGB: (130, 60, 70) * 257, and values that round up and down.
        RgbaImage rgb = png_decode(png16(2, 1, PNG_COLOR_TYPE_RGB, {130 * 257, 60 * 257, 70 * 257, 1024, 385, 65535}, chunk), "rgb.png");
        EXPECT_EQ(pixel(rgb, 0, 0), (V{130, 60, 70, 255}));
        EXPECT_EQ(pixel(rgb, 1, 0), (V{4, 1, 255, 255}));  // 1024/257 = 3.98, 385/257 = 1.498

        RgbaImage grey = png_decode(png16(2, 1, PNG_COLOR_TYPE_GRAY, {1024, 386}, chunk), "grey.png");
        EXPECT_EQ(pixel(grey, 0, 0), (V{4, 4, 4, 255}));
        EXPECT_EQ(pixel(grey, 1, 0), (V{2, 2, 2, 255}));  // 386/257 = 1.502

        RgbaImage greyAlpha = png_decode(png16(1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, {200 * 257, 100 * 257}, chunk), "ga.png");
        EXPECT_EQ(pixel(greyAlpha, 0, 0), (V{200, 200, 200, 100}));  // not premultiplied

        RgbaImage rgba = png_decode(png16(2, 1, PNG_COLOR_TYPE_RGBA, {130 * 257, 60 * 257, 70 * 257, 0, 10 * 257, 20 * 257, 30 * 257, 65535}, chunk), "rgba.png");
        EXPECT_EQ(pixel(rgba, 0, 0), (V{130, 60, 70, 0}));
        EXPECT_TRUE(rgba.transparent(0, 0));
        EXPECT_EQ(pixel(rgba, 1, 0), (V{10, 20, 30, 255}));
    }
}

TEST(PackPng16, InterlacedRowsAndTheTransparentColourChunk) {
    // 3 x 3 interlaced: every pass lands in its own pixels.
    std::vector<std::uint16_t> samples;
    for (int i = 0; i < 9; ++i) samples.insert(samples.end(), {static_cast<std::uint16_t>(i * 257), 0, static_cast<std::uint16_t>(65535 - i * 257)});
    RgbaImage image = png_decode(png16(3, 3, PNG_COLOR_TYPE_RGB, samples, Chunk::None, true), "interlaced.png");
    for (int i = 0; i < 9; ++i) EXPECT_EQ(pixel(image, i % 3, i / 3), (V{static_cast<std::uint8_t>(i), 0, static_cast<std::uint8_t>(255 - i), 255}));

    png_color_16 key{};
    key.red = 1000, key.green = 2000, key.blue = 3000;
    RgbaImage keyed = png_decode(png16(2, 1, PNG_COLOR_TYPE_RGB, {1000, 2000, 3000, 1000, 2000, 3001}, Chunk::None, false, &key), "trns.png");
    EXPECT_TRUE(keyed.transparent(0, 0));
    EXPECT_FALSE(keyed.transparent(1, 0));
}

TEST(PackPng16, DamagedAndOversizedFilesAreRefused) {
    Bytes good = png16(4, 4, PNG_COLOR_TYPE_RGB, std::vector<std::uint16_t>(48, 5000), Chunk::None);
    Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() - 30));
    try {
        png_decode(cut, "cut.png");
        FAIL() << "a cut-short 16-bit PNG was read";
    } catch (const Failure& e) {
        EXPECT_NE(std::string(e.what()).find("cut.png: damaged PNG"), std::string::npos) << e.what();
    }
    // The header claims 9000 pixels across: refused before any pixel is read.
    Bytes wide = png16(1, 1, PNG_COLOR_TYPE_GRAY, {1}, Chunk::None);
    const std::uint8_t w[4] = {0, 0, 0x23, 0x28};
    std::memcpy(&wide[16], w, 4);
    // The IHDR CRC no longer matches; libpng would stop on it, so fix it.
    std::uint32_t crc = crc32_of(&wide[12], 17);
    for (int i = 0; i < 4; ++i) wide[29 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    EXPECT_THROW(png_decode(wide, "wide.png"), Failure);
}
