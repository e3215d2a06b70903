#include "tools/core/decoders.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sg::packtool {

namespace {

bool starts(std::span<const std::uint8_t> b, std::size_t at, const char* text) {
    const std::size_t n = std::strlen(text);
    return b.size() >= at + n && std::memcmp(b.data() + at, text, n) == 0;
}

// Printable UTF-8 and white space only, in the first bytes.
bool looks_like_text(std::span<const std::uint8_t> b) {
    const std::size_t n = std::min<std::size_t>(b.size(), 512);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t c = b[i];
        if (c < 0x20 && c != '\n' && c != '\r' && c != '\t') return false;
        if (c == 0x7f) return false;
        if (c >= 0x80) {
            const int more = (c & 0xe0) == 0xc0 ? 1 : (c & 0xf0) == 0xe0 ? 2 : (c & 0xf8) == 0xf0 ? 3 : -1;
            if (more < 0) return false;
            for (int k = 1; k <= more && i + 1 < n; ++k)
                if ((b[++i] & 0xc0) != 0x80) return false;
        }
    }
    return n > 0;
}

}  // namespace

std::string describe_file(std::span<const std::uint8_t> b) {
    if (b.empty()) return "an empty file";
    if (is_jpeg(b)) return "a JPEG picture";
    if (starts(b, 0, "\x89PNG")) return "a PNG picture";
    if (is_gif(b)) return "a GIF picture";
    if (starts(b, 0, "RIFF") && starts(b, 8, "WEBP")) return "a WebP picture";
    if (starts(b, 0, "RIFF") && starts(b, 8, "WAVE")) return "a WAV sound";
    if (starts(b, 0, "BM")) return "a BMP picture";
    if (starts(b, 0, "II*") || starts(b, 0, "MM\0*")) return "a TIFF picture";
    if (starts(b, 4, "ftypheic") || starts(b, 4, "ftypheix") || starts(b, 4, "ftypmif1")) return "a HEIC picture";
    if (starts(b, 4, "ftypavif")) return "an AVIF picture";
    if (starts(b, 0, "8BPS")) return "a Photoshop document";
    if (starts(b, 0, "%PDF")) return "a PDF document";
    if (b.size() >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == 0) return "a Windows icon";
    if (starts(b, 0, "ID3") || (b.size() >= 2 && b[0] == 0xff && (b[1] & 0xe0) == 0xe0)) return "an MP3 sound";
    if (starts(b, 0, "OggS")) return "an Ogg sound";
    if (looks_like_text(b)) {
        const std::string head(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(b.size(), 200)));
        if (head.find("<svg") != std::string::npos) return "an SVG drawing (text)";
        return "a text file";
    }
    char first[40];
    std::snprintf(first, sizeof first, "%02x %02x %02x %02x", b[0], b.size() > 1 ? b[1] : 0, b.size() > 2 ? b[2] : 0,
                  b.size() > 3 ? b[3] : 0);
    return std::string("a file of an unknown kind (it starts with bytes ") + first + ")";
}

bool is_jpeg(std::span<const std::uint8_t> b) { return b.size() >= 3 && b[0] == 0xff && b[1] == 0xd8 && b[2] == 0xff; }

bool is_gif(std::span<const std::uint8_t> b) { return starts(b, 0, "GIF87a") || starts(b, 0, "GIF89a"); }

// ---------------------------------------------------------------- 32-bit BMP

bool is_bmp32(std::span<const std::uint8_t> b) {
    return b.size() >= 30 && b[0] == 'B' && b[1] == 'M' && read_u32(&b[14]) >= 40 && read_u16(&b[28]) == 32;
}

namespace {

// One channel under a bit mask, scaled to 0..255; `absent` when there is no mask.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t top = 0;  // the largest value under the mask
    explicit Channel(std::uint32_t m) : mask(m) {
        if (!m) return;
        while (!(m & 1)) m >>= 1, ++shift;
        top = m;
    }
    std::uint8_t of(std::uint32_t pixel, std::uint8_t absent) const {
        if (!mask) return absent;
        return static_cast<std::uint8_t>((((pixel & mask) >> shift) * 255ull + top / 2) / top);
    }
};

bool contiguous(std::uint32_t m) {
    if (!m) return true;
    while (!(m & 1)) m >>= 1;
    return (m & (m + 1)) == 0;
}

}  // namespace

RgbaImage bmp32_decode(std::span<const std::uint8_t> b, const std::string& what) {
    auto refuse = [&](const std::string& why) -> RgbaImage { throw Failure(what + ": 32-bit BMP " + why); };
    if (!is_bmp32(b) || b.size() < 54) return refuse("with its header cut short");
    const std::uint32_t headerSize = read_u32(&b[14]);
    const std::int32_t width = read_i32(&b[18]), rawHeight = read_i32(&b[22]);
    const std::uint32_t compression = read_u32(&b[30]);
    const std::uint32_t dataAt = read_u32(&b[10]);
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN || width > MAX_PICTURE_SIDE ||
        std::abs(rawHeight) > MAX_PICTURE_SIDE)
        return refuse("of " + std::to_string(width) + " x " + std::to_string(rawHeight) + " pixels: sides must be 1.." +
                      std::to_string(MAX_PICTURE_SIDE));
    const int height = std::abs(rawHeight);
    std::uint32_t masks[4] = {0x00ff0000u, 0x0000ff00u, 0x000000ffu, 0xff000000u};
    if (compression == 3 || compression == 6) {
        // The masks follow the 40-byte part of the header, whether they are
        // fields of a longer header or stand after a short one.
        const bool alphaMask = headerSize >= 56 || compression == 6;
        if (!in_bounds(54, alphaMask ? 16 : 12, b.size())) return refuse("with its colour masks cut short");
        for (int i = 0; i < 3; ++i) masks[i] = read_u32(&b[54 + 4 * static_cast<std::size_t>(i)]);
        masks[3] = alphaMask ? read_u32(&b[66]) : 0;
        for (std::uint32_t m : masks)
            if (!contiguous(m)) return refuse("with a colour mask of scattered bits");
    } else if (compression != 0) {
        return refuse("with compression " + std::to_string(compression) + ": give it uncompressed");
    }
    const std::int64_t stride = static_cast<std::int64_t>(width) * 4;
    if (!in_bounds(dataAt, stride * height, b.size()))
        return refuse("cut short: its " + std::to_string(height) + " rows do not fit in the file");
    const Channel r(masks[0]), g(masks[1]), bl(masks[2]), a(masks[3]);
    RgbaImage out;
    out.width = width;
    out.height = height;
    out.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        // Rows run bottom-up unless the height is negative.
        const int row = rawHeight > 0 ? height - 1 - y : y;
        const std::uint8_t* src = &b[dataAt + static_cast<std::size_t>(row) * static_cast<std::size_t>(stride)];
        std::uint8_t* dst = &out.rgba[static_cast<std::size_t>(y) * width * 4];
        for (int x = 0; x < width; ++x, src += 4, dst += 4) {
            const std::uint32_t px = read_u32(src);
            dst[0] = r.of(px, 0), dst[1] = g.of(px, 0), dst[2] = bl.of(px, 0), dst[3] = a.of(px, 255);
            anyAlpha = anyAlpha || (a.mask && (px & a.mask));
        }
    }
    // Writers that keep no alpha leave the byte 0: that is an opaque picture.
    if (!anyAlpha)
        for (std::size_t i = 3; i < out.rgba.size(); i += 4) out.rgba[i] = 255;
    return out;
}

// ---------------------------------------------------------------- any picture

std::optional<RgbaImage> decode_picture(std::span<const std::uint8_t> bytes, const std::string& what,
                                        const std::string& allowed) {
    if (is_png(bytes)) return png_decode(bytes, what);
    if (is_jpeg(bytes)) return jpeg_decode(bytes, what);
    if (is_bmp32(bytes)) return bmp32_decode(bytes, what);
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return std::nullopt;
    std::string message = what + " looks like " + describe_file(bytes) + ", not a picture snowglobe-pack reads; give " + allowed;
    if (is_gif(bytes)) message += " (an animated GIF is taken as a whole layer's frames: frames = \"" + what + "\")";
    throw Failure(message);
}

std::int32_t ticks_of_ms(std::int64_t ms) {
    const std::int64_t ticks = (ms + 16) / 33;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(ticks, 1, INT32_MAX));
}

}  // namespace sg::packtool
