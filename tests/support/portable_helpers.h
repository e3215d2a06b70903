// Helpers for the drawing tests, which run unchanged against the software
// GDI and against the real one: DIB sections made directly through pf::, and
// BMP file images built byte by byte.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "format/bytes.h"
#include "platform/platform.h"

namespace sgtest {

using Bgr = std::array<std::uint8_t, 3>;  // memory order: blue, green, red

// A DIB section selected into a memory DC; released when it goes.
class Dib {
public:
    Dib(int width, int height, int bitCount = 24, std::vector<pf::RGBQUAD> colors = {},
        pf::DWORD clrUsed = 0)
        : width_(width), height_(height), bitCount_(bitCount) {
        struct {
            pf::BITMAPINFOHEADER header;
            pf::RGBQUAD colors[256];
        } info{};
        info.header.biSize = sizeof(pf::BITMAPINFOHEADER);
        info.header.biWidth = width;
        info.header.biHeight = height;
        info.header.biPlanes = 1;
        info.header.biBitCount = static_cast<pf::WORD>(bitCount);
        info.header.biCompression = pf::BI_RGB;
        info.header.biClrUsed = clrUsed;
        for (std::size_t i = 0; i < colors.size() && i < 256; ++i) info.colors[i] = colors[i];
        pf::HDC reference = pf::CreateICA("DISPLAY", nullptr, nullptr, nullptr);
        void* bits = nullptr;
        bitmap_ = pf::CreateDIBSection(reference, reinterpret_cast<const pf::BITMAPINFO*>(&info),
                                       pf::DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<std::uint8_t*>(bits);
        dc_ = pf::CreateCompatibleDC(reference);
        previous_ = pf::SelectObject(dc_, bitmap_);
        pf::DeleteDC(reference);
    }
    ~Dib() {
        pf::SelectObject(dc_, previous_);
        pf::DeleteDC(dc_);
        pf::DeleteObject(bitmap_);
    }
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    pf::HDC dc() const { return dc_; }
    bool ok() const { return bitmap_ != nullptr && bits_ != nullptr && previous_ != nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return ((width_ * bitCount_) + 31) / 32 * 4; }

    // Row y counted from the top; rows lie bottom-up in memory.
    std::uint8_t* row(int y) {
        return bits_ + static_cast<std::size_t>(height_ - 1 - y) * static_cast<std::size_t>(stride());
    }
    std::uint8_t* memory() {
        pf::GdiFlush();
        return bits_;
    }
    Bgr at(int x, int y) {
        pf::GdiFlush();
        const std::uint8_t* p = row(y) + x * 3;
        return {p[0], p[1], p[2]};
    }
    void set(int x, int y, Bgr v) {
        pf::GdiFlush();
        std::memcpy(row(y) + x * 3, v.data(), 3);
    }
    void set_index(int x, int y, std::uint8_t index) {
        pf::GdiFlush();
        row(y)[x] = index;
    }
    void fill(Bgr v) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) set(x, y, v);
    }

private:
    int width_, height_, bitCount_;
    pf::HBITMAP bitmap_ = nullptr;
    pf::HDC dc_ = nullptr;
    pf::HGDIOBJ previous_ = nullptr;
    std::uint8_t* bits_ = nullptr;
};

// A BMP file image. Every field can be set wrong on purpose.
struct BmpSpec {
    int width = 2;
    int height = 2;
    int bitCount = 24;
    std::uint32_t clrUsed = 0;
    std::uint32_t compression = 0;
    std::uint16_t planes = 1;
    std::uint32_t headerSize = 40;
    std::uint32_t pixelOffset = 0;     // 0: where the rows really start
    char type[2] = {'B', 'M'};
    int colorEntries = -1;             // colour-table entries written; -1: what clrUsed implies
    std::uint8_t pixelSeed = 1;        // pixel bytes are seed, seed+1, ... (padding too)
    std::size_t tailBytes = 0;         // extra bytes after the rows
    std::size_t cutBytes = 0;          // bytes taken off the end
};

// Colour-table entry i of a built file: blue i, green 255-i, red i^0x5A.
inline pf::RGBQUAD table_color(int i) {
    return {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
            static_cast<std::uint8_t>(i ^ 0x5A), 0};
}

inline std::vector<std::uint8_t> bmp_bytes(const BmpSpec& s) {
    const int entries = s.colorEntries >= 0 ? s.colorEntries
                        : s.bitCount == 8   ? (s.clrUsed == 0 ? 256 : static_cast<int>(s.clrUsed))
                                            : static_cast<int>(s.clrUsed);
    // Nonsense sizes still get one row of one pixel's bytes.
    const int width = s.width > 0 ? s.width : 1, height = s.height > 0 ? s.height : 1;
    const std::size_t stride = static_cast<std::size_t>((width * (s.bitCount > 0 ? s.bitCount : 8) + 31) / 32 * 4);
    const std::size_t rows = 54 + 4 * static_cast<std::size_t>(entries);
    const std::size_t total = rows + stride * static_cast<std::size_t>(height) + s.tailBytes;
    std::vector<std::uint8_t> v(total, 0);
    v[0] = static_cast<std::uint8_t>(s.type[0]);
    v[1] = static_cast<std::uint8_t>(s.type[1]);
    sg::format::write_u32(&v[2], static_cast<std::uint32_t>(total));
    sg::format::write_u32(&v[10], s.pixelOffset ? s.pixelOffset : static_cast<std::uint32_t>(rows));
    sg::format::write_u32(&v[14], s.headerSize);
    sg::format::write_u32(&v[18], static_cast<std::uint32_t>(s.width));
    sg::format::write_u32(&v[22], static_cast<std::uint32_t>(s.height));
    sg::format::write_u16(&v[26], s.planes);
    sg::format::write_u16(&v[28], static_cast<std::uint32_t>(s.bitCount));
    sg::format::write_u32(&v[30], s.compression);
    sg::format::write_u32(&v[46], s.clrUsed);
    for (int i = 0; i < entries; ++i) {
        const pf::RGBQUAD c = table_color(i);
        std::memcpy(&v[54 + 4 * static_cast<std::size_t>(i)], &c, 4);
    }
    std::uint8_t b = s.pixelSeed;
    for (std::size_t i = rows; i < rows + stride * static_cast<std::size_t>(height); ++i) v[i] = b++;
    v.resize(total - (s.cutBytes < total ? s.cutBytes : total));
    return v;
}

}  // namespace sgtest
