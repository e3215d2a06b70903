// What only the software GDI has: window DCs over a framebuffer that record
// what was drawn, the view of a DC's pixels, and its handle checks. (The
// Windows build has none of this; the tests there are the portable ones.)
#ifndef _WIN32

#include <gtest/gtest.h>

#include "platform/diagnostics.h"
#include "platform/soft/soft.h"
#include "tests/support/portable_helpers.h"

namespace {

using sgtest::Bgr;
using sgtest::Dib;

bool same(const pf::RECT& r, int left, int top, int right, int bottom) {
    return r.left == left && r.top == top && r.right == right && r.bottom == bottom;
}

Bgr frame_pixel(const pf::soft::Framebuffer& f, int x, int y) {
    const std::uint8_t* p = f.pixels.data() + static_cast<std::size_t>(f.height - 1 - y) * f.stride + x * 3;
    return {p[0], p[1], p[2]};
}

TEST(SoftWindowDc, DrawsIntoTheFramebufferAndRecordsClippedRectangles) {
    pf::soft::Framebuffer frame;
    frame.resize(5, 4);
    EXPECT_EQ(frame.stride, 16);
    EXPECT_EQ(frame.pixels.size(), 64u);
    Dib source(3, 3), copy(5, 4);
    const int start = pf::diagnostics::gdi_objects_alive();
    pf::HDC dc = pf::soft::window_dc_create(&frame);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start) << "window DCs are not counted";

    source.fill({1, 2, 3});
    EXPECT_TRUE(pf::BitBlt(dc, -1, 2, 3, 3, source.dc(), 0, 0, pf::SRCCOPY));
    EXPECT_TRUE(pf::BitBlt(dc, 7, 0, 3, 3, source.dc(), 0, 0, pf::SRCCOPY));  // wholly outside
    EXPECT_TRUE(pf::BitBlt(dc, 4, 0, 9, 1, nullptr, 0, 0, pf::WHITENESS));
    EXPECT_TRUE(pf::StretchBlt(dc, 0, 0, 5, 4, source.dc(), 0, 0, 3, 3, pf::SRCAND));

    const std::vector<pf::RECT> drawn = pf::soft::window_dc_take_drawn(dc);
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_TRUE(same(drawn[0], 0, 2, 2, 4));
    EXPECT_TRUE(same(drawn[1], 4, 0, 5, 1));
    EXPECT_TRUE(same(drawn[2], 0, 0, 5, 4));
    EXPECT_TRUE(pf::soft::window_dc_take_drawn(dc).empty()) << "taking empties the list";

    EXPECT_EQ(frame_pixel(frame, 0, 3), (Bgr{1, 2, 3}));
    EXPECT_EQ(frame_pixel(frame, 4, 0), (Bgr{1, 2, 3}));  // white AND source
    EXPECT_EQ(frame_pixel(frame, 2, 0), (Bgr{0, 0, 0}));

    // The window's picture can be a source too (the desktop snapshot).
    EXPECT_TRUE(pf::BitBlt(copy.dc(), 0, 0, 5, 4, dc, 0, 0, pf::SRCCOPY));
    EXPECT_EQ(copy.at(1, 2), (Bgr{1, 2, 3}));

    // A framebuffer resized under its DC is drawn at its new size.
    frame.resize(2, 2);
    EXPECT_TRUE(pf::BitBlt(dc, 0, 0, 5, 5, nullptr, 0, 0, pf::WHITENESS));
    const auto after = pf::soft::window_dc_take_drawn(dc);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_TRUE(same(after[0], 0, 0, 2, 2));

    EXPECT_FALSE(pf::DeleteDC(dc)) << "window DCs are given back, not deleted";
    pf::soft::window_dc_delete(dc);
    EXPECT_FALSE(pf::BitBlt(dc, 0, 0, 1, 1, nullptr, 0, 0, pf::WHITENESS));
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start);
}

TEST(SoftGdi, DibViewShowsTheSelectedBitmap) {
    std::vector<pf::RGBQUAD> table(4, pf::RGBQUAD{});
    Dib wide(7, 3), indexed(5, 2, 8, table, 4);
    pf::soft::DibView v{};
    ASSERT_TRUE(pf::soft::dib_view(wide.dc(), &v));
    EXPECT_EQ(v.width, 7);
    EXPECT_EQ(v.height, 3);
    EXPECT_EQ(v.bitCount, 24);
    EXPECT_EQ(v.stride, 24);
    EXPECT_EQ(v.bits, wide.memory());
    ASSERT_TRUE(pf::soft::dib_view(indexed.dc(), &v));
    EXPECT_EQ(v.bitCount, 8);
    EXPECT_EQ(v.stride, 8);

    pf::HDC fresh = pf::CreateCompatibleDC(nullptr);
    EXPECT_FALSE(pf::soft::dib_view(fresh, &v)) << "only the stock bitmap";
    pf::DeleteDC(fresh);
    EXPECT_FALSE(pf::soft::dib_view(fresh, &v)) << "a deleted DC";
}

TEST(SoftGdi, DeletingASelectedBitmapAndStaleHandles) {
    const int start = pf::diagnostics::gdi_objects_alive();
    pf::BITMAPINFO info{};
    info.bmiHeader = {sizeof(pf::BITMAPINFOHEADER), 2, 2, 1, 24, pf::BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    pf::HBITMAP dib = pf::CreateDIBSection(nullptr, &info, pf::DIB_RGB_COLORS, &bits, nullptr, 0);
    pf::HDC dc = pf::CreateCompatibleDC(nullptr);
    pf::HGDIOBJ stock = pf::SelectObject(dc, dib);
    static_cast<std::uint8_t*>(bits)[0] = 0x42;

    // Deleted while selected: the handle goes, the pixels stay with the DC.
    EXPECT_TRUE(pf::DeleteObject(dib));
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start + 1);
    EXPECT_FALSE(pf::DeleteObject(dib)) << "already deleted";
    Dib copy(2, 2);
    EXPECT_TRUE(pf::BitBlt(copy.dc(), 0, 0, 2, 2, dc, 0, 0, pf::SRCCOPY));
    EXPECT_EQ(copy.at(0, 1)[0], 0x42);
    pf::HDC other = pf::CreateCompatibleDC(nullptr);
    EXPECT_EQ(pf::SelectObject(other, dib), nullptr);
    pf::DeleteDC(other);
    EXPECT_EQ(pf::SelectObject(dc, stock), dib);
    EXPECT_EQ(pf::SelectObject(dc, dib), nullptr);
    EXPECT_TRUE(pf::DeleteObject(stock)) << "stock objects stay";
    EXPECT_TRUE(pf::DeleteDC(dc));
    EXPECT_FALSE(pf::DeleteDC(dc));
    EXPECT_FALSE(pf::BitBlt(dc, 0, 0, 1, 1, nullptr, 0, 0, pf::BLACKNESS));
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start + 2) << "the copy's DIB and DC";
}

// Screen-sized pixel memory takes another allocation path than small
// bitmaps (aligned, with a huge-page hint): it must come zeroed all the way
// to its last byte, also when it replaces memory that held a picture.
TEST(SoftGdi, ScreenSizedPixelsStartBlackToTheLastByte) {
    auto all_zero = [](const std::uint8_t* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            if (p[i] != 0) return false;
        return true;
    };
    Dib screen(1920, 1080);
    const std::size_t bytes = std::size_t{1920} * 3 * 1080;
    ASSERT_TRUE(screen.ok());
    EXPECT_TRUE(all_zero(screen.memory(), bytes));
    EXPECT_TRUE(pf::BitBlt(screen.dc(), 0, 0, 1920, 1080, nullptr, 0, 0, pf::WHITENESS));
    EXPECT_EQ(screen.at(1919, 1079), (Bgr{0xFF, 0xFF, 0xFF}));

    pf::soft::Framebuffer frame;
    frame.resize(1366, 768);
    std::fill(frame.pixels.begin(), frame.pixels.end(), std::uint8_t{0x5A});
    frame.resize(1920, 1080);
    EXPECT_EQ(frame.pixels.size(), bytes);
    EXPECT_TRUE(all_zero(frame.pixels.data(), frame.pixels.size()));
    frame.resize(0, 0);
    EXPECT_TRUE(frame.pixels.empty());
}

TEST(SoftGdi, OnlyTheFiveOperationsAndTwentyFourBitTargets) {
    std::vector<pf::RGBQUAD> table(2, pf::RGBQUAD{});
    Dib target(2, 2), indexed(2, 2, 8, table, 2);
    EXPECT_FALSE(pf::BitBlt(target.dc(), 0, 0, 2, 2, target.dc(), 0, 0, 0x00AA0029));
    EXPECT_FALSE(pf::BitBlt(indexed.dc(), 0, 0, 2, 2, target.dc(), 0, 0, pf::SRCCOPY));
    EXPECT_FALSE(pf::BitBlt(target.dc(), 0, 0, -2, 2, target.dc(), 0, 0, pf::SRCCOPY));
    pf::HDC reference = pf::CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_FALSE(pf::BitBlt(reference, 0, 0, 2, 2, target.dc(), 0, 0, pf::SRCCOPY));
    pf::DeleteDC(reference);
    EXPECT_EQ(pf::CreateICA("PRINTER", nullptr, nullptr, nullptr), nullptr);
}

}  // namespace

#endif  // _WIN32
