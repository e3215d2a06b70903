// Block transfers with raster operations, the same expectations against the
// software GDI and against the real one.
#include <gtest/gtest.h>

#include <vector>

#include "platform/diagnostics.h"
#include "tests/support/portable_helpers.h"

namespace {

using sgtest::Bgr;
using sgtest::Dib;

const Bgr kSource{0xFE, 0xDC, 0xBA};
const Bgr kTarget{0x89, 0xAB, 0xCD};
const Bgr kUntouched{0xEE, 0xEE, 0xEE};

// A source whose every pixel is different: blue x, green y, red fixed.
Bgr numbered(int x, int y) {
    return {static_cast<std::uint8_t>(0x10 + x), static_cast<std::uint8_t>(0x40 + y), 0x99};
}

TEST(RasterOps, EachOperationCombinesEveryByte) {
    struct Case {
        pf::DWORD rop;
        Bgr expected;
    };
    const Case cases[] = {
        {pf::SRCCOPY, kSource},
        {pf::SRCAND, {0x88, 0x88, 0x88}},
        {pf::SRCINVERT, {0x77, 0x77, 0x77}},
        {pf::BLACKNESS, {0x00, 0x00, 0x00}},
        {pf::WHITENESS, {0xFF, 0xFF, 0xFF}},
    };
    Dib source(3, 2), target(3, 2);
    ASSERT_TRUE(source.ok() && target.ok());
    source.fill(kSource);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.rop);
        target.fill(kTarget);
        EXPECT_TRUE(pf::BitBlt(target.dc(), 0, 0, 3, 2, source.dc(), 0, 0, c.rop));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) EXPECT_EQ(target.at(x, y), c.expected);
    }
}

// BLACKNESS and WHITENESS use no source: none is needed, and one that is given
// does not clip them. A copy without a source fails.
TEST(RasterOps, FillsIgnoreTheSource) {
    Dib source(1, 1), target(4, 4);
    target.fill(kTarget);
    EXPECT_TRUE(pf::BitBlt(target.dc(), 1, 0, 2, 2, nullptr, 0, 0, pf::WHITENESS));
    EXPECT_TRUE(pf::BitBlt(target.dc(), -1, 2, 3, 9, source.dc(), 0, 0, pf::BLACKNESS));
    EXPECT_FALSE(pf::BitBlt(target.dc(), 0, 0, 4, 4, nullptr, 0, 0, pf::SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const Bgr expected = (x < 2 && y >= 2)             ? Bgr{0, 0, 0}
                                 : (x >= 1 && x < 3 && y < 2) ? Bgr{0xFF, 0xFF, 0xFF}
                                                              : kTarget;
            EXPECT_EQ(target.at(x, y), expected) << x << "," << y;
        }
}

// The two-blit transparency the composition relies on: mask with SRCAND,
// then cut-out with SRCINVERT.
TEST(RasterOps, MaskThenCutOutDrawsOnlyOpaquePixels) {
    Dib background(2, 1), mask(2, 1), cutout(2, 1);
    background.fill(kTarget);
    mask.set(0, 0, {0xFF, 0xFF, 0xFF});  // transparent
    mask.set(1, 0, {0x00, 0x00, 0x00});  // opaque
    cutout.set(0, 0, {0x00, 0x00, 0x00});
    cutout.set(1, 0, kSource);
    pf::BitBlt(background.dc(), 0, 0, 2, 1, mask.dc(), 0, 0, pf::SRCAND);
    pf::BitBlt(background.dc(), 0, 0, 2, 1, cutout.dc(), 0, 0, pf::SRCINVERT);
    EXPECT_EQ(background.at(0, 0), kTarget);
    EXPECT_EQ(background.at(1, 0), kSource);
}

// Rows are bottom-up and padded to 4 bytes: the first row in memory is the
// bottom row of the picture, and the filler bytes are nobody's pixels.
TEST(RasterOps, RowsAreBottomUpAndPaddedToFourBytes) {
    for (int width : {1, 2, 3, 4, 5}) {
        SCOPED_TRACE(width);
        const int stride = (3 * width + 3) / 4 * 4;
        Dib target(width, 3);
        ASSERT_TRUE(target.ok());
        std::uint8_t* bits = target.memory();
        for (int i = 0; i < stride * 3; ++i) ASSERT_EQ(bits[i], 0) << "new bitmaps are black";
        for (int r = 0; r < 3; ++r)
            for (int i = 3 * width; i < stride; ++i) bits[r * stride + i] = 0x5A;

        Dib source(width, 3);
        source.fill(kSource);
        source.memory()[0] = 0x01;  // first byte in memory: bottom-left pixel
        for (pf::DWORD rop : {pf::SRCCOPY, pf::SRCINVERT, pf::WHITENESS, pf::BLACKNESS, pf::SRCCOPY})
            pf::BitBlt(target.dc(), 0, 0, width, 3, source.dc(), 0, 0, rop);
        bits = target.memory();
        for (int r = 0; r < 3; ++r)
            for (int i = 3 * width; i < stride; ++i) EXPECT_EQ(bits[r * stride + i], 0x5A);
        EXPECT_EQ(target.at(0, 2), (Bgr{0x01, 0xDC, 0xBA}));
        EXPECT_EQ(bits[0], 0x01);
        EXPECT_EQ(target.at(0, 0), kSource);
    }
}

// Every combination of target and source origins around all four edges of
// both bitmaps: a pixel changes exactly where its target and its source both
// exist, whatever the offsets.
TEST(RasterOps, ClipsAgainstBothBitmapsAtEveryEdge) {
    constexpr int TW = 5, TH = 4, SW = 3, SH = 3;
    Dib source(SW, SH), target(TW, TH);
    for (int y = 0; y < SH; ++y)
        for (int x = 0; x < SW; ++x) source.set(x, y, numbered(x, y));
    int blits = 0;
    for (int x : {-4, -1, 0, 2, 4, 6})
        for (int y : {-3, -1, 0, 2, 3})
            for (int sx : {-2, -1, 0, 1, 3})
                for (int sy : {-3, 0, 2})
                    for (int w : {1, 3, 6})
                        for (int h : {2, 5}) {
                            target.fill(kUntouched);
                            ASSERT_TRUE(pf::BitBlt(target.dc(), x, y, w, h, source.dc(), sx, sy, pf::SRCCOPY));
                            ++blits;
                            for (int ty = 0; ty < TH; ++ty)
                                for (int tx = 0; tx < TW; ++tx) {
                                    const int ux = tx - x + sx, uy = ty - y + sy;
                                    const bool drawn = tx >= x && tx < x + w && ty >= y && ty < y + h &&
                                                       ux >= 0 && ux < SW && uy >= 0 && uy < SH;
                                    ASSERT_EQ(target.at(tx, ty), drawn ? numbered(ux, uy) : kUntouched)
                                        << "blit " << x << "," << y << " " << w << "x" << h << " from " << sx
                                        << "," << sy << " at " << tx << "," << ty;
                                }
                        }
    EXPECT_EQ(blits, 6 * 5 * 5 * 3 * 3 * 2);
}

TEST(RasterOps, OverlappingCopyWithinOneBitmapReadsTheOldPixels) {
    Dib dib(6, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) dib.set(x, y, numbered(x, y));
    pf::BitBlt(dib.dc(), 1, 1, 5, 4, dib.dc(), 0, 0, pf::SRCCOPY);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(dib.at(x, y), (x >= 1 && y >= 1) ? numbered(x - 1, y - 1) : numbered(x, y));
    pf::BitBlt(dib.dc(), 0, 0, 6, 5, dib.dc(), 1, 1, pf::SRCCOPY);
    EXPECT_EQ(dib.at(0, 0), numbered(0, 0));
    EXPECT_EQ(dib.at(4, 3), numbered(4, 3));
}

TEST(RasterOps, EightBitSourcesGoThroughTheirColourTable) {
    // Two entries only: indices past the table come out black.
    std::vector<pf::RGBQUAD> table = {{0x11, 0x22, 0x33, 0x00}, {0x44, 0x55, 0x66, 0x77}};
    Dib source(5, 1, 8, table, 2), target(5, 1);
    ASSERT_TRUE(source.ok());
    const std::uint8_t indices[5] = {0, 1, 2, 17, 255};
    for (int x = 0; x < 5; ++x) source.set_index(x, 0, indices[x]);
    target.fill(kTarget);
    pf::BitBlt(target.dc(), 0, 0, 5, 1, source.dc(), 0, 0, pf::SRCCOPY);
    EXPECT_EQ(target.at(0, 0), (Bgr{0x11, 0x22, 0x33}));
    EXPECT_EQ(target.at(1, 0), (Bgr{0x44, 0x55, 0x66})) << "the reserved byte is no colour";
    for (int x = 2; x < 5; ++x) EXPECT_EQ(target.at(x, 0), (Bgr{0, 0, 0}));

    target.fill(kTarget);
    pf::BitBlt(target.dc(), 0, 0, 5, 1, source.dc(), 0, 0, pf::SRCAND);
    EXPECT_EQ(target.at(0, 0), (Bgr{0x89 & 0x11, 0xAB & 0x22, 0xCD & 0x33}));
    EXPECT_EQ(target.at(3, 0), (Bgr{0, 0, 0}));

    target.fill(kTarget);
    pf::BitBlt(target.dc(), 0, 0, 5, 1, source.dc(), 0, 0, pf::SRCINVERT);
    EXPECT_EQ(target.at(1, 0), (Bgr{0x89 ^ 0x44, 0xAB ^ 0x55, 0xCD ^ 0x66}));
    EXPECT_EQ(target.at(4, 0), kTarget);
}

TEST(RasterOps, EightBitSourceWithAFullTableAndPaddedRows) {
    std::vector<pf::RGBQUAD> table;
    for (int i = 0; i < 256; ++i)
        table.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                         static_cast<std::uint8_t>(i ^ 0x5A), 0});
    Dib source(3, 2, 8, table), target(4, 3);  // 8-bit rows of 3 bytes padded to 4
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) source.set_index(x, y, static_cast<std::uint8_t>(77 * (x + 3 * y)));
    target.fill(kUntouched);
    pf::BitBlt(target.dc(), 1, 1, 3, 2, source.dc(), 0, 0, pf::SRCCOPY);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const auto i = static_cast<std::uint8_t>(77 * (x + 3 * y));
            EXPECT_EQ(target.at(x + 1, y + 1), (Bgr{i, static_cast<std::uint8_t>(255 - i),
                                                    static_cast<std::uint8_t>(i ^ 0x5A)}));
        }
    EXPECT_EQ(target.at(0, 1), kUntouched);
    EXPECT_EQ(target.at(3, 0), kUntouched);
}

TEST(GdiObjects, DcsAndBitmapsAreCountedUntilDeleted) {
    const int start = pf::diagnostics::gdi_objects_alive();
    pf::HDC reference = pf::CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(reference, nullptr);
    pf::BITMAPINFO info{};
    info.bmiHeader = {sizeof(pf::BITMAPINFOHEADER), 2, 2, 1, 24, pf::BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    pf::HBITMAP dib = pf::CreateDIBSection(reference, &info, pf::DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    ASSERT_NE(bits, nullptr);
    pf::HDC first = pf::CreateCompatibleDC(reference);
    pf::HDC second = pf::CreateCompatibleDC(reference);
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start + 4);

    // A fresh memory DC holds a stock bitmap, handed back on the first select.
    pf::HGDIOBJ stock = pf::SelectObject(first, dib);
    EXPECT_NE(stock, nullptr);
    EXPECT_EQ(pf::SelectObject(second, dib), nullptr) << "a bitmap lives in one DC at a time";
    EXPECT_EQ(pf::SelectObject(first, stock), dib);
    EXPECT_NE(pf::SelectObject(second, dib), nullptr);
    pf::SelectObject(second, stock);

    EXPECT_TRUE(pf::DeleteDC(second));
    EXPECT_TRUE(pf::DeleteDC(first));
    EXPECT_TRUE(pf::DeleteObject(dib));
    EXPECT_TRUE(pf::DeleteDC(reference));
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start);
    EXPECT_NE(pf::GetStockObject(pf::BLACK_BRUSH), nullptr);
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start);
}

TEST(GdiObjects, DibSectionsThatCannotBeMadeAreRefused) {
    struct Case {
        int width, height, bitCount;
        pf::DWORD compression;
        pf::WORD planes;
    };
    const Case cases[] = {
        {0, 2, 24, pf::BI_RGB, 1},      {2, 0, 24, pf::BI_RGB, 1},  {-2, 2, 24, pf::BI_RGB, 1},
        {2, 2, 7, pf::BI_RGB, 1},       {2, 2, 24, 1, 1},           {2, 2, 24, pf::BI_RGB, 2},
        {100000, 100000, 24, pf::BI_RGB, 1},
    };
    const int start = pf::diagnostics::gdi_objects_alive();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " bits " << c.bitCount);
        pf::BITMAPINFO info{};
        info.bmiHeader = {sizeof(pf::BITMAPINFOHEADER), c.width, c.height, c.planes,
                          static_cast<pf::WORD>(c.bitCount), c.compression, 0, 0, 0, 0, 0};
        void* bits = &info;
        EXPECT_EQ(pf::CreateDIBSection(nullptr, &info, pf::DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
        EXPECT_EQ(bits, nullptr);
    }
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start);
}

}  // namespace
