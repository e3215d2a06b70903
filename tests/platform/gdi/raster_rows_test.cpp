// The software blits give copy, AND and XOR loops of their own (a copy never
// reads its target and copies short rows inline; AND and XOR work on whole
// vector blocks). Rows
// here are long enough for the blocks, start at odd byte offsets and end in
// a tail, and every byte of the target, inside the rectangle and around it,
// must be what the raster operation's formula says.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/platform.h"
#include "tests/support/portable_helpers.h"

namespace {

using sgtest::Dib;

std::uint8_t expected(pf::DWORD rop, std::uint8_t d, std::uint8_t s) {
    switch (rop) {
        case pf::SRCCOPY: return s;
        case pf::SRCAND: return static_cast<std::uint8_t>(d & s);
        case pf::SRCINVERT: return static_cast<std::uint8_t>(d ^ s);
        case pf::BLACKNESS: return 0x00;
        case pf::WHITENESS: return 0xFF;
        default: return d;
    }
}

void scramble(Dib& dib, std::mt19937& random) {
    std::uint8_t* bytes = dib.memory();
    for (int i = 0; i < dib.stride() * dib.height(); ++i) bytes[i] = static_cast<std::uint8_t>(random());
}

constexpr int WIDTH = 100;
constexpr int HEIGHT = 4;

TEST(RegressionRasterRows, EveryOperationMatchesItsFormulaOnLongRows) {
    std::mt19937 random(7);
    for (pf::DWORD rop : {pf::SRCCOPY, pf::SRCAND, pf::SRCINVERT, pf::BLACKNESS, pf::WHITENESS}) {
        // 1..92 pixels: rows of 3..276 bytes, shorter and longer than a block,
        // with every remainder of 16, on both sides of the 256 bytes up to
        // which a copy is done inline.
        for (int width : {1, 5, 6, 11, 16, 21, 22, 32, 43, 64, 70, 81, 85, 86, 92}) {
            Dib target(WIDTH, HEIGHT), source(WIDTH, HEIGHT);
            ASSERT_TRUE(target.ok() && source.ok());
            scramble(target, random);
            scramble(source, random);
            std::vector<std::vector<std::uint8_t>> before;
            for (int y = 0; y < HEIGHT; ++y) before.emplace_back(target.row(y), target.row(y) + WIDTH * 3);

            // Target at x = 3 and source at x = 5: neither starts on a block boundary.
            ASSERT_TRUE(pf::BitBlt(target.dc(), 3, 1, width, 2, source.dc(), 5, 1, rop));
            pf::GdiFlush();
            for (int y = 0; y < HEIGHT; ++y) {
                for (int x = 0; x < WIDTH; ++x) {
                    const bool inside = y >= 1 && y < 3 && x >= 3 && x < 3 + width;
                    for (int c = 0; c < 3; ++c) {
                        const std::uint8_t d = before[y][x * 3 + c];
                        const std::uint8_t want =
                            inside ? expected(rop, d, source.row(y)[(x - 3 + 5) * 3 + c]) : d;
                        ASSERT_EQ(target.row(y)[x * 3 + c], want)
                            << "rop " << std::hex << rop << std::dec << ", width " << width << ", pixel (" << x
                            << ", " << y << "), byte " << c;
                    }
                }
            }
        }
    }
}

TEST(RegressionRasterRows, EightBitSourcesGoThroughTheirColourTableInLongRows) {
    std::vector<pf::RGBQUAD> colors(256);
    for (int i = 0; i < 256; ++i)
        colors[i] = pf::RGBQUAD{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                                static_cast<std::uint8_t>(i * 7), 0};
    std::mt19937 random(11);
    for (pf::DWORD rop : {pf::SRCCOPY, pf::SRCAND, pf::SRCINVERT}) {
        Dib target(WIDTH, 1), source(WIDTH, 1, 8, colors);
        ASSERT_TRUE(target.ok() && source.ok());
        scramble(target, random);
        for (int x = 0; x < WIDTH; ++x) source.set_index(x, 0, static_cast<std::uint8_t>(random()));
        const std::vector<std::uint8_t> before(target.row(0), target.row(0) + WIDTH * 3);

        ASSERT_TRUE(pf::BitBlt(target.dc(), 1, 0, 77, 1, source.dc(), 2, 0, rop));
        pf::GdiFlush();
        for (int x = 0; x < WIDTH; ++x) {
            const bool inside = x >= 1 && x < 78;
            const pf::RGBQUAD& q = colors[source.row(0)[x - 1 + 2 < WIDTH ? x - 1 + 2 : 0]];
            const std::uint8_t s[3] = {q.rgbBlue, q.rgbGreen, q.rgbRed};
            for (int c = 0; c < 3; ++c) {
                const std::uint8_t d = before[x * 3 + c];
                ASSERT_EQ(target.row(0)[x * 3 + c], inside ? expected(rop, d, s[c]) : d)
                    << "rop " << std::hex << rop << std::dec << ", pixel " << x << ", byte " << c;
            }
        }
    }
}

}  // namespace
