// Pictures in and out of snowglobe-pack: PNG (libpng), the BMP file images
// that packages hold, and animated GIF previews (giflib).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "tools/core/util.h"
#include "tools/packlib/packlib.h"

namespace sg::packtool {

using pack::Image;  // top-down rows of B, G, R

// A decoded PNG: top-down rows of R, G, B, A.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
    bool transparent(int x, int y) const { return rgba[(static_cast<std::size_t>(y) * width + x) * 4 + 3] < 128; }
    bool anyTransparent() const;
};

bool is_png(std::span<const std::uint8_t> bytes);
// Throws Failure with a message that starts with `what`.
RgbaImage png_decode(std::span<const std::uint8_t> bytes, const std::string& what);
// A PNG of 16-bit samples: each becomes round(v / 257) as it is, whatever
// gAMA or sRGB say (png_decode hands such files here).
RgbaImage png16_decode(std::span<const std::uint8_t> bytes, const std::string& what);
Bytes png_encode(const Image& image);

// True when build may store these BMP bytes unchanged: a picture the engine
// takes (24-bit, or 8-bit when allowed), with a 40-byte header and all its
// rows inside the file.
bool bmp_storable(const pack::BmpHeader& header, bool allow8);

// The picture in an 8-bit BMP when it has at most 256 colours.
bool bmp8_from_image(const Image& image, Bytes& out);
// The picture in an 8-bit BMP of at most 256 colours chosen for it, with
// dithering; `colours` receives how many the picture had.
Bytes bmp8_reduced(const Image& image, std::size_t& colours);

// giflib's text for an error code; giflib gives none for some codes (0 among
// them), which would be a null pointer in a message.
std::string gif_error_text(int code);

// An animated GIF written frame by frame; identical consecutive frames are
// merged into one longer frame, and each frame stores only what changed.
class GifWriter {
public:
    // The GIF is written to a new file beside `path` (its name made by mkstemp).
    GifWriter(const std::filesystem::path& path, int width, int height);
    ~GifWriter();
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;
    // delayMs: how long this frame stays on screen.
    void add(const Image& frame, int delayMs);
    // Completes the file and returns where it is; the caller moves it into
    // place (or removes it) and untracks it. Throws Failure on error.
    std::filesystem::path finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace sg::packtool
