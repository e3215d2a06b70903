// BMP file images: writing 8- and 24-bit pictures, and reading them back the
// way the engine's loader does.
#include <algorithm>
#include <stdexcept>

#include "tools/packlib/packlib.h"
#include "tools/packlib/view.h"

#include "format/bmp_rules.h"

namespace sg::pack {

using detail::num;
using detail::report;
using detail::View;

std::array<std::uint8_t, 3> Image::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height)
        throw std::out_of_range("Image::at: pixel outside the picture");
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    if (i + 3 > bgr.size()) throw std::out_of_range("Image::at: pixel data too short");
    return {bgr[i], bgr[i + 1], bgr[i + 2]};
}

void Image::set(int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    if (x < 0 || y < 0 || x >= width || y >= height)
        throw std::out_of_range("Image::set: pixel outside the picture");
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    if (i + 3 > bgr.size()) throw std::out_of_range("Image::set: pixel data too short");
    bgr[i] = b;
    bgr[i + 1] = g;
    bgr[i + 2] = r;
}

// The checked writers and reader of the package writer: the format's own
// little-endian fields, refused with an exception outside the bytes.
void put32(Bytes& out, std::size_t at, std::int32_t value) {
    if (!format::in_bounds(static_cast<std::int64_t>(at), 4, out.size())) throw std::out_of_range("put32: past the end");
    format::write_i32(&out[at], value);
}

std::int32_t get32(const Bytes& in, std::size_t at) {
    if (!format::in_bounds(static_cast<std::int64_t>(at), 4, in.size())) throw std::out_of_range("get32: past the end");
    return format::read_i32(&in[at]);
}

namespace {

void put16(Bytes& out, std::size_t at, std::uint16_t value) {
    if (!format::in_bounds(static_cast<std::int64_t>(at), 2, out.size())) throw std::out_of_range("put16: past the end");
    format::write_u16(&out[at], value);
}

std::size_t checked_stride(int width, int bytesPerPixel) {
    return (static_cast<std::size_t>(width) * bytesPerPixel + 3) / 4 * 4;
}

// File header and 40-byte info header; image size 0, resolutions 0.
Bytes bmp_headers(int width, int height, int bitCount, std::size_t tableEntries,
                  std::uint32_t colorsUsed, std::size_t rowBytes, int tailBytes) {
    if (width < 0 || height < 0) throw std::runtime_error("bmp: negative width or height");
    if (tailBytes < 0) throw std::runtime_error("bmp: negative tailBytes");
    const std::size_t rowsStart = BMP_HEADER_BYTES + 4 * tableEntries;
    const std::size_t total = rowsStart + rowBytes + static_cast<std::size_t>(tailBytes);
    if (total > 0x7fffffffu) throw std::runtime_error("bmp: picture too large");
    Bytes out(total, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, static_cast<std::int32_t>(total));
    put32(out, 10, static_cast<std::int32_t>(rowsStart));
    put32(out, 14, 40);
    put32(out, 18, width);
    put32(out, 22, height);
    put16(out, 26, 1);
    put16(out, 28, static_cast<std::uint16_t>(bitCount));
    put32(out, 46, static_cast<std::int32_t>(colorsUsed));
    return out;
}

}  // namespace

Bytes bmp24(const Image& image, int tailBytes) {
    if (image.width < 0 || image.height < 0) throw std::runtime_error("bmp24: negative size");
    const std::size_t w = static_cast<std::size_t>(image.width);
    const std::size_t h = static_cast<std::size_t>(image.height);
    if (image.bgr.size() != w * h * 3)
        throw std::runtime_error("bmp24: pixel data is not width * height * 3 bytes");
    const std::size_t stride = checked_stride(image.width, 3);
    Bytes out = bmp_headers(image.width, image.height, 24, 0, 0, stride * h, tailBytes);
    for (std::size_t y = 0; y < h; ++y) {
        // Bottom-up: the last picture row comes first.
        const std::uint8_t* src = image.bgr.data() + (h - 1 - y) * w * 3;
        std::copy(src, src + w * 3, out.begin() + static_cast<std::ptrdiff_t>(BMP_HEADER_BYTES + y * stride));
    }
    return out;
}

Bytes bmp8(int width, int height, const std::vector<std::uint8_t>& topDownIndices,
           const Palette8& palette, bool writeColorsUsedZero, int tailBytes) {
    if (width < 0 || height < 0) throw std::runtime_error("bmp8: negative size");
    const std::size_t entries = palette.entries.size();
    if (entries < 1 || entries > 256) throw std::runtime_error("bmp8: palette needs 1..256 entries");
    if (writeColorsUsedZero && entries != 256)
        throw std::runtime_error("bmp8: colours used 0 means a 256-entry table");
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    if (topDownIndices.size() != w * h)
        throw std::runtime_error("bmp8: index data is not width * height bytes");
    const std::size_t stride = checked_stride(width, 1);
    Bytes out = bmp_headers(width, height, 8, entries,
                            writeColorsUsedZero ? 0 : static_cast<std::uint32_t>(entries),
                            stride * h, tailBytes);
    for (std::size_t i = 0; i < entries; ++i)
        std::copy(palette.entries[i].begin(), palette.entries[i].end(),
                  out.begin() + static_cast<std::ptrdiff_t>(BMP_HEADER_BYTES + 4 * i));
    const std::size_t rowsStart = BMP_HEADER_BYTES + 4 * entries;
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* src = topDownIndices.data() + (h - 1 - y) * w;
        std::copy(src, src + w, out.begin() + static_cast<std::ptrdiff_t>(rowsStart + y * stride));
    }
    return out;
}

BmpHeader bmp_header(const std::uint8_t* data, std::size_t size) {
    const View v{data, data ? size : 0};
    BmpHeader h;
    h.typeOk = v.size() >= 2 && v.u8(0) == 'B' && v.u8(1) == 'M';
    h.pixelDataOffset = v.u32(10);
    h.headerSize = v.u32(14);
    h.width = v.i32(18);
    h.height = v.i32(22);
    h.bitCount = v.u16(28);
    h.compression = v.u32(30);
    h.colorsUsed = v.u32(46);
    const std::int64_t w = h.width;
    if (h.bitCount == 8) {
        h.tableEntries = h.colorsUsed ? h.colorsUsed : 256;
        h.stride = (w + 3) / 4 * 4;
        h.rowsStart = static_cast<std::int64_t>(BMP_HEADER_BYTES) + 4 * static_cast<std::int64_t>(h.tableEntries);
    } else if (h.bitCount == 24) {
        // A colour table in a 24-bit file is skipped, not read.
        h.stride = (3 * w + 3) / 4 * 4;
        h.rowsStart = static_cast<std::int64_t>(BMP_HEADER_BYTES) + 4 * static_cast<std::int64_t>(h.colorsUsed);
    } else {
        h.rowsStart = 0;
    }
    // A hostile header can declare rows past what 64 bits count: such a
    // span is held at a size far past any file instead of wrapping.
    constexpr std::int64_t FAR = std::int64_t{1} << 60;
    const std::int64_t height = h.height;
    h.rowsEnd = h.rowsStart + (h.stride > 0 && (height > FAR / h.stride || height < -FAR / h.stride)
                                   ? (height > 0 ? FAR : -FAR)
                                   : h.stride * height);
    const bool sized = h.width > 0 && h.height > 0 && h.stride > 0;
    h.rowsInside = sized && h.rowsEnd <= static_cast<std::int64_t>(v.size());
    h.rowsFit = sized && h.rowsEnd <= static_cast<std::int64_t>(v.size() + READ_GRACE_BYTES);
    return h;
}

void bmp_check(const std::uint8_t* data, std::size_t size, bool animationFrame,
               std::size_t base, Problems& out) {
    const auto at = [base](std::int64_t offset) { return static_cast<std::int64_t>(base) + offset; };
    if (!data || size == 0) {
        report(out, Severity::Error, at(0), "picture is empty");
        return;
    }
    const BmpHeader h = bmp_header(data, size);
    if (!h.typeOk) {
        report(out, Severity::Error, at(0), "picture does not start with \"BM\"");
        return;  // the loader stops here
    }
    if (size < BMP_HEADER_BYTES)
        report(out, Severity::Warning, at(0),
               "picture is " + num(size) + " bytes, shorter than its 54 bytes of headers");
    if (h.headerSize != 40)
        report(out, Severity::Warning, at(14),
               "info header size says " + num(h.headerSize) +
                   "; it is read as a 40-byte header followed by the colour table");
    // The error is exactly the loader's refusal (format/bmp_rules.h); an
    // 8-bit animation frame loads (it is expanded to 24 bits), so
    // animationFrame changes nothing here.
    (void)animationFrame;
    const format::BmpLayout layout = format::bmp_layout(data, size);
    switch (layout.refusal) {
    case format::BmpRefusal::None:
    case format::BmpRefusal::NotBmp:  // reported above
        break;
    case format::BmpRefusal::Compressed:
        report(out, Severity::Error, at(30),
               "picture is compressed (compression " + num(h.compression) + "); only uncompressed pictures load");
        return;
    case format::BmpRefusal::BitCount:
        report(out, Severity::Error, at(28),
               "picture has " + num(h.bitCount) + " bits per pixel; only 8 and 24 load");
        return;
    case format::BmpRefusal::Width:
        report(out, Severity::Error, at(18), "picture width " + num(h.width) + " is not positive");
        return;
    case format::BmpRefusal::Height:
        report(out, Severity::Error, at(22),
               h.height < 0 ? "picture height " + num(h.height) + " is negative (top-down rows are not supported)"
                            : std::string("picture height is 0"));
        return;
    case format::BmpRefusal::ColourCount:
        report(out, Severity::Error, at(46),
               "colours used says " + num(h.colorsUsed) + "; the saver refuses a picture with more than 256, "
               "even a 24-bit one");
        return;
    case format::BmpRefusal::RowsTooLarge:
        report(out, Severity::Error, at(18), "pixel rows take more than 2 GB");
        return;
    case format::BmpRefusal::RowsPastEnd:
        report(out, Severity::Error, at(h.rowsStart),
               "pixel rows run from " + num(h.rowsStart) + " to " + num(h.rowsEnd) +
                   ", more than 1000 bytes past the picture's " + num(size) + " bytes");
        return;
    }
    if (!h.rowsInside)
        report(out, Severity::Warning, at(h.rowsStart),
               "pixel rows end " + num(h.rowsEnd - static_cast<std::int64_t>(size)) +
                   " bytes past the end of the picture; those bytes read as zeros");
    if (h.pixelDataOffset != static_cast<std::uint64_t>(h.rowsStart))
        report(out, Severity::Warning, at(10),
               "pixel-data offset says " + num(h.pixelDataOffset) + " but the rows are read from " +
                   num(h.rowsStart) + ", right after the colour table");
}

std::optional<Image> bmp_image(const std::uint8_t* data, std::size_t size) {
    const BmpHeader h = bmp_header(data, size);
    if (!h.typeOk || h.compression != 0 || (h.bitCount != 8 && h.bitCount != 24) || !h.rowsFit ||
        h.tableEntries > 256)
        return std::nullopt;
    const View v{data, size};
    // Colour-table entries the file does not carry stay zero.
    std::array<std::array<std::uint8_t, 3>, 256> palette{};
    for (std::uint32_t i = 0; i < h.tableEntries; ++i)
        for (int c = 0; c < 3; ++c) palette[i][c] = v.u8(BMP_HEADER_BYTES + 4 * i + c);
    Image image;
    image.width = h.width;
    image.height = h.height;
    image.bgr.assign(static_cast<std::size_t>(h.width) * h.height * 3, 0);
    for (int y = 0; y < h.height; ++y) {
        const std::int64_t row = h.rowsStart + static_cast<std::int64_t>(h.height - 1 - y) * h.stride;
        for (int x = 0; x < h.width; ++x) {
            std::uint8_t* px = image.bgr.data() + (static_cast<std::size_t>(y) * h.width + x) * 3;
            if (h.bitCount == 24) {
                for (int c = 0; c < 3; ++c) px[c] = v.u8(row + 3 * x + c);
            } else {
                const auto& e = palette[v.u8(row + x)];
                px[0] = e[0];
                px[1] = e[1];
                px[2] = e[2];
            }
        }
    }
    return image;
}

}  // namespace sg::pack
