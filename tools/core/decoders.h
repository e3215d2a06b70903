// Picture files an author brings besides PNG: JPEG (libjpeg-turbo), 32-bit
// BMPs as image editors write them, animated GIFs (giflib), and a plain
// description of any other file, for messages.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "tools/core/images.h"

namespace sg::packtool {

// Sides longer than this are refused before any pixel is read: no
// screen-saver picture is that large, and a hostile header cannot ask for
// gigabytes.
constexpr int MAX_PICTURE_SIDE = 8192;

// What a file looks like from its first bytes, for messages:
// "a JPEG picture", "a WebP picture", "a text file", ...
std::string describe_file(std::span<const std::uint8_t> bytes);

bool is_jpeg(std::span<const std::uint8_t> bytes);
bool is_gif(std::span<const std::uint8_t> bytes);
// A BMP of 32 bits a pixel (BI_RGB, BI_BITFIELDS or BI_ALPHABITFIELDS).
bool is_bmp32(std::span<const std::uint8_t> bytes);

// Each throws Failure with a message that starts with `what`.
RgbaImage jpeg_decode(std::span<const std::uint8_t> bytes, const std::string& what);
// A 32-bit BMP: alpha from its alpha byte or mask; a file whose alpha is 0
// everywhere kept no alpha and reads as opaque.
RgbaImage bmp32_decode(std::span<const std::uint8_t> bytes, const std::string& what);

// A picture that build converts: PNG, JPEG or 32-bit BMP decoded; nullopt for
// any other BMP (kept or refused by the BMP rules); any other file refused
// with what it looks like. `allowed` names the formats in that message.
std::optional<RgbaImage> decode_picture(std::span<const std::uint8_t> bytes, const std::string& what,
                                        const std::string& allowed);

// An animated GIF as the viewer shows it: every frame composited on the
// frames before it by the GIF's disposal rules, transparency kept as alpha 0.
struct GifFrame {
    RgbaImage image;
    int delayMs = 0;
};
// Stops with a Failure past maxFrames frames. Build reads a long GIF whole,
// up to MAX_GIF_FRAMES, before every = N picks its frames.
constexpr int MAX_GIF_FRAMES = 20 * 1000;
std::vector<GifFrame> gif_decode(std::span<const std::uint8_t> bytes, const std::string& what, int maxFrames);

// A delay in milliseconds as ticks of 33 ms: the nearest, and at least 1.
std::int32_t ticks_of_ms(std::int64_t ms);

}  // namespace sg::packtool
