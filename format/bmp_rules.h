// What the saver's BMP loader accepts, in one place for the engine (which
// refuses with a message box) and the authoring library (which reports the
// same refusal as an error). The file image is untrusted: header bytes past
// its end read as zero, and the pixel rows may reach READ_GRACE_BYTES past it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/bytes.h"
#include "format/package_format.h"

namespace sg::format {

enum class BmpRefusal {
    None,
    NotBmp,            // no "BM": "unsupported file" (the others: "unsupported BMP")
    Compressed,        // compression other than BI_RGB
    BitCount,          // not 8 or 24 bits per pixel
    Width,             // width not positive
    Height,            // height not positive (top-down rows included)
    ColourCount,       // colours used above 256, whatever the bit count
    RowsTooLarge,      // the pixel rows are more than 2 GB
    RowsPastEnd,       // the rows end more than the grace past the file
};

struct BmpLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::uint64_t stride = 0;       // bytes per row, a multiple of 4
    std::uint64_t colorCount = 0;   // colour table entries before the rows
    std::uint64_t pixelOffset = 0;  // where the rows start (the header's offset field is not used)
    std::uint64_t pixelBytes = 0;
    BmpRefusal refusal = BmpRefusal::None;
};

// The loader's decision, in the loader's order: the type, then the header
// fields, then whether the rows fit in the file and its grace.
inline BmpLayout bmp_layout(const std::uint8_t* data, std::size_t size) {
    const ByteView file(data, size);
    BmpLayout b;
    b.width = file.i32(18);
    b.height = file.i32(22);
    b.bitCount = file.u16(28);
    b.compression = file.u32(30);
    b.colorsUsed = file.u32(46);
    if (file.u16(0) != 0x4D42) {
        b.refusal = BmpRefusal::NotBmp;
        return b;
    }
    if (b.compression != 0) b.refusal = BmpRefusal::Compressed;
    else if (b.bitCount != 8 && b.bitCount != 24) b.refusal = BmpRefusal::BitCount;
    else if (b.width <= 0) b.refusal = BmpRefusal::Width;
    else if (b.height <= 0) b.refusal = BmpRefusal::Height;
    else if (b.colorsUsed > 256) b.refusal = BmpRefusal::ColourCount;
    if (b.refusal != BmpRefusal::None) return b;

    b.stride = (static_cast<std::uint64_t>(b.width) * b.bitCount + 31) / 32 * 4;
    b.pixelBytes = b.stride * static_cast<std::uint64_t>(b.height);
    // An 8-bit picture always has a colour table (256 entries when the count
    // is 0); a 24-bit one may carry one, which is skipped.
    b.colorCount = (b.bitCount == 8 && b.colorsUsed == 0) ? 256 : b.colorsUsed;
    b.pixelOffset = static_cast<std::uint64_t>(BMP_HEADERS_SIZE) + 4 * b.colorCount;
    if (b.pixelBytes > 0x7FFFFFFFull) b.refusal = BmpRefusal::RowsTooLarge;
    else if (b.pixelOffset + b.pixelBytes > size + static_cast<std::uint64_t>(READ_GRACE_BYTES))
        b.refusal = BmpRefusal::RowsPastEnd;
    return b;
}

}  // namespace sg::format
