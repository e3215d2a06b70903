// Picture and sound files made in the tests, the way authors' tools write
// them, and a temporary scene folder to build manifests from.
#pragma once

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "tools/core/manifest.h"
#include "tools/core/util.h"

namespace packfiles {

using sg::packtool::Bytes;

struct Rgba {
    std::uint8_t r, g, b, a;
};

inline void put_le(Bytes& out, std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline Bytes png_rgba(int w, int h, const std::vector<Rgba>& px) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(w);
    image.height = static_cast<png_uint_32>(h);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, px.data(), 0, nullptr);
    Bytes out(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, px.data(), 0, nullptr));
    out.resize(size);
    return out;
}

// A 32-bit BMP, bottom-up. compression 0 stores B, G, R, A bytes; 3 stores
// each pixel under `masks` (R, G, B, A) with a 124-byte header, as image
// editors write it.
inline Bytes bmp32(int w, int h, const std::vector<Rgba>& px, int compression = 0,
                   std::array<std::uint32_t, 4> masks = {0x00ff0000u, 0x0000ff00u, 0x000000ffu, 0xff000000u}) {
    const std::uint32_t header = compression == 0 ? 40 : 124;
    const std::uint32_t dataAt = 14 + header;
    Bytes out(dataAt + static_cast<std::size_t>(w) * h * 4, 0);
    out[0] = 'B', out[1] = 'M';
    put_le(out, 2, static_cast<std::uint32_t>(out.size()), 4);
    put_le(out, 10, dataAt, 4);
    put_le(out, 14, header, 4);
    put_le(out, 18, static_cast<std::uint32_t>(w), 4);
    put_le(out, 22, static_cast<std::uint32_t>(h), 4);
    put_le(out, 26, 1, 2);
    put_le(out, 28, 32, 2);
    put_le(out, 30, static_cast<std::uint32_t>(compression), 4);
    if (compression == 3)
        for (int i = 0; i < 4; ++i) put_le(out, 54 + 4 * static_cast<std::size_t>(i), masks[static_cast<std::size_t>(i)], 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgba& p = px[static_cast<std::size_t>(y) * w + x];
            std::uint32_t v = 0;
            const std::uint8_t ch[4] = {p.r, p.g, p.b, p.a};
            for (int c = 0; c < 4; ++c) {
                std::uint32_t m = masks[static_cast<std::size_t>(c)];
                if (!m) continue;
                int shift = 0;
                while (!((m >> shift) & 1)) ++shift;
                v |= (static_cast<std::uint32_t>(ch[c]) << shift) & m;
            }
            put_le(out, dataAt + (static_cast<std::size_t>(h - 1 - y) * w + x) * 4, v, 4);
        }
    return out;
}

// A JPEG of RGB pixels, or (cmyk) of four-channel pixels stored as given.
inline Bytes jpeg_rgb(int w, int h, const std::vector<Rgba>& px, int quality = 100, bool cmyk = false) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(w);
    info.image_height = static_cast<JDIMENSION>(h);
    info.input_components = cmyk ? 4 : 3;
    info.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::size_t n = cmyk ? 4 : 3;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * n);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < w; ++x) {
            const Rgba& p = px[static_cast<std::size_t>(info.next_scanline) * w + x];
            const std::uint8_t values[4] = {p.r, p.g, p.b, p.a};
            std::memcpy(&row[n * static_cast<std::size_t>(x)], values, n);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

// One frame of an animated GIF: a rectangle of palette indices.
struct GifPart {
    int left, top, width, height;
    std::vector<std::uint8_t> indices;
    int delayCs;
    int disposal;     // DISPOSE_* of giflib
    int transparent;  // index, or NO_TRANSPARENT_COLOR
};

inline int gif_write_memory(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

inline Bytes gif(int w, int h, const std::vector<GifColorType>& palette, const std::vector<GifPart>& parts) {
    Bytes out;
    int error = 0;
    GifFileType* g = EGifOpen(&out, gif_write_memory, &error);
    EXPECT_NE(g, nullptr);
    EGifSetGifVersion(g, true);
    int size = 2;
    while (size < static_cast<int>(palette.size())) size *= 2;
    std::vector<GifColorType> colours(palette);
    colours.resize(static_cast<std::size_t>(size));
    ColorMapObject* map = GifMakeMapObject(size, colours.data());
    EGifPutScreenDesc(g, w, h, 8, 0, map);
    for (const GifPart& p : parts) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = p.disposal;
        gcb.DelayTime = p.delayCs;
        gcb.TransparentColor = p.transparent;
        GifByteType ext[4];
        const std::size_t n = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(g, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext);
        EGifPutImageDesc(g, p.left, p.top, p.width, p.height, false, nullptr);
        for (int y = 0; y < p.height; ++y)
            EGifPutLine(g, const_cast<GifByteType*>(p.indices.data() + static_cast<std::size_t>(y) * p.width), p.width);
    }
    GifFreeMapObject(map);
    EGifCloseFile(g, &error);
    return out;
}

// A WAV of `tag` with `dataBytes` of silence; tag 0xfffe is extensible with
// `sub` as its sub-format.
inline Bytes wav(std::uint16_t tag, std::size_t dataBytes = 16, std::uint16_t sub = 1) {
    const std::uint32_t fmtSize = tag == 0xfffe ? 40 : 16;
    Bytes out(12 + 8 + fmtSize + 8 + dataBytes, 0);
    std::memcpy(out.data(), "RIFF", 4);
    put_le(out, 4, static_cast<std::uint32_t>(out.size() - 8), 4);
    std::memcpy(out.data() + 8, "WAVEfmt ", 8);
    put_le(out, 16, fmtSize, 4);
    put_le(out, 20, tag, 2);
    put_le(out, 22, 1, 2);
    put_le(out, 24, 22050, 4);
    put_le(out, 28, 44100, 4);
    put_le(out, 32, 2, 2);
    put_le(out, 34, 16, 2);
    if (tag == 0xfffe) put_le(out, 20 + 24, sub, 2);
    std::memcpy(out.data() + 20 + fmtSize, "data", 4);
    put_le(out, 24 + fmtSize, static_cast<std::uint32_t>(dataBytes), 4);
    return out;
}

// A folder for one test's scene, removed afterwards.
class SceneDir : public ::testing::Test {
protected:
    std::filesystem::path dir;
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("pack-files-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name, std::ios::binary) << text; }
    void write(const std::string& name, const Bytes& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    sg::packtool::Built build(const std::string& manifest) {
        write("scene.toml", manifest);
        return sg::packtool::build_manifest(dir / "scene.toml");
    }
    // The message build gives (empty when it builds).
    std::string error_of(const std::string& manifest) {
        try {
            build(manifest);
        } catch (const sg::packtool::Failure& e) {
            return e.what();
        }
        return "";
    }
};

inline std::vector<Rgba> fill(int n, Rgba c) { return std::vector<Rgba>(static_cast<std::size_t>(n), c); }

}  // namespace packfiles
