// Surfaces and the BMP loader, against the software GDI and the real one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>
#include <utility>

#include "platform/diagnostics.h"
#include "scene/surface.h"
#include "tests/support/portable_helpers.h"
#include "tests/support/boxes.h"

namespace {

using sgtest::Bgr;
using sgtest::BmpSpec;
using sgtest::bmp_bytes;
using sgtest::Dib;

// A zero-filled record, as the engine's global tables hold them.
struct Record {
    sg::Surface s{};
    sg::BmpRefusal refusal = sg::BmpRefusal::None;
    Record() { sg::surface_reset(&s); }
    ~Record() { sg::surface_release(&s); }
};

bool load(Record& r, const std::vector<std::uint8_t>& file) {
    return sg::surface_load_bmp(&r.s, file.data(), static_cast<int>(file.size()), &r.refusal);
}

// The loaded pixel memory must be the file's bytes from `offset`, for stride x height bytes.
void expect_rows_from(const sg::Surface& s, const std::vector<std::uint8_t>& file, std::size_t offset) {
    const std::size_t bytes = static_cast<std::size_t>(s.stride) * static_cast<std::size_t>(s.infoHeader.biHeight);
    ASSERT_NE(s.bits, nullptr);
    std::vector<std::uint8_t> expected(bytes, 0);
    for (std::size_t i = 0; i < bytes && offset + i < file.size(); ++i) expected[i] = file[offset + i];
    pf::GdiFlush();
    EXPECT_EQ(std::vector<std::uint8_t>(s.bits, s.bits + bytes), expected);
}

Bgr color_bgr(int i) {
    const pf::RGBQUAD c = sgtest::table_color(i);
    return {c.rgbBlue, c.rgbGreen, c.rgbRed};
}

TEST(Surface, CreateMakesABlackDrawable24BitSurface) {
    const int start = pf::diagnostics::gdi_objects_alive();
    {
        Record r;
        ASSERT_EQ(sg::surface_create(&r.s, 5, 3, 24), 1);
        const pf::BITMAPINFOHEADER& h = r.s.infoHeader;
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, 5);
        EXPECT_EQ(h.biHeight, 3);
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, 24);
        EXPECT_EQ(h.biCompression, pf::BI_RGB);
        EXPECT_EQ(h.biSizeImage, 16u * 3u);
        EXPECT_EQ(h.biClrUsed, 0u);
        EXPECT_EQ(sg::surface_width(&r.s), 5);
        EXPECT_EQ(sg::surface_height(&r.s), 3);
        ASSERT_NE(r.s.bits, nullptr);
        ASSERT_NE(r.s.memoryDC, nullptr);
        ASSERT_NE(r.s.previousObject, nullptr);
        for (int i = 0; i < 16 * 3; ++i) ASSERT_EQ(r.s.bits[i], 0);
        EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start + 2) << "the DIB and its DC; the reference DC is gone";

        pf::BitBlt(r.s.memoryDC, 4, 0, 1, 1, nullptr, 0, 0, pf::WHITENESS);
        pf::GdiFlush();
        EXPECT_EQ(r.s.bits[2 * 16 + 12], 0xFF) << "top-right pixel, in the last row in memory";
        EXPECT_EQ(r.s.bits[2 * 16 + 15], 0x00) << "filler";
    }
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start);
}

TEST(Surface, StrideFollowsWidthAndRowsComeStraightFromTheFile) {
    const struct {
        int width;
        int stride;
    } cases[] = {{1, 4}, {2, 8}, {4, 12}, {5, 16}, {32, 96}, {640, 1920}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        BmpSpec shape;
        shape.width = c.width;
        shape.height = 3;
        shape.tailBytes = 2;  // as the shipped pictures: two bytes nobody reads
        const auto file = bmp_bytes(shape);
        Record r;
        ASSERT_EQ(load(r, file), 1);
        EXPECT_EQ(sg::surface_stride(&r.s), c.stride);
        EXPECT_EQ(sg::surface_width(&r.s), c.width);
        expect_rows_from(r.s, file, 54);  // filler bytes included, as the file has them
    }
}

// Rows follow the headers (taken as 54 bytes whatever the header size says)
// and the colour table directly; the pixel-data offset field is never used.
TEST(Surface, RowsFollowTheColourTable) {
    struct Case {
        int bitCount;
        std::uint32_t clrUsed;
        std::uint32_t pixelOffsetField;
        std::uint32_t headerSize;
        std::size_t rowsAt;
    };
    const Case cases[] = {
        {8, 0, 0, 40, 1078},  {8, 16, 0, 40, 118}, {8, 16, 1078, 40, 118}, {8, 256, 0, 40, 1078},
        {8, 1, 54, 40, 58},   {24, 2, 0, 40, 62},  {24, 0, 0, 124, 54},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bitCount << " bits, " << c.clrUsed << " colours, offset field "
                                        << c.pixelOffsetField << ", header size " << c.headerSize);
        BmpSpec shape;
        shape.width = 6;  // 8-bit rows of 6 bytes padded to 8, 24-bit rows of 18 padded to 20
        shape.height = 2;
        shape.bitCount = c.bitCount;
        shape.clrUsed = c.clrUsed;
        shape.pixelOffset = c.pixelOffsetField;
        shape.headerSize = c.headerSize;
        shape.pixelSeed = 12;
        const auto file = bmp_bytes(shape);
        Record r;
        ASSERT_EQ(load(r, file), 1);
        EXPECT_EQ(r.s.stride, c.bitCount == 8 ? 8 : 20);
        EXPECT_EQ(r.s.infoHeader.biBitCount, c.bitCount) << "an 8-bit file stays an 8-bit DIB";
        EXPECT_EQ(r.s.infoHeader.biSize, c.headerSize) << "the record keeps the file's header";
        expect_rows_from(r.s, file, c.rowsAt);
    }
}

// The DIB keeps the file's colour table; entries the file does not have read
// as black when the picture is drawn.
TEST(Surface, EightBitColoursComeFromTheFilesShortTable) {
    BmpSpec shape;
    shape.width = 4;
    shape.height = 2;
    shape.bitCount = 8;
    shape.clrUsed = 16;
    shape.pixelSeed = 10;  // indices 10..13 in the bottom row, 14..17 in the top row
    const auto file = bmp_bytes(shape);
    Record r;
    ASSERT_EQ(load(r, file), 1);
    Dib target(4, 2);
    target.fill({0xEE, 0xEE, 0xEE});
    pf::BitBlt(target.dc(), 0, 0, 4, 2, r.s.memoryDC, 0, 0, pf::SRCCOPY);
    EXPECT_EQ(target.at(0, 1), color_bgr(10));
    EXPECT_EQ(target.at(3, 1), color_bgr(13));
    EXPECT_EQ(target.at(1, 0), color_bgr(15));
    EXPECT_EQ(target.at(2, 0), (Bgr{0, 0, 0})) << "index 16 is past a 16-entry table";
    EXPECT_EQ(target.at(3, 0), (Bgr{0, 0, 0}));
}

TEST(Surface, ShortFilesLoadWithinTheGraceAndNotBeyond) {
    sgtest::BoxCapture boxes;
    for (int bitCount : {24, 8}) {
        SCOPED_TRACE(bitCount);
        BmpSpec shape;
        shape.width = 40;
        shape.height = 40;  // 4,800 or 1,600 bytes of rows
        shape.bitCount = bitCount;
        shape.clrUsed = bitCount == 8 ? 4 : 0;

        shape.cutBytes = 1000;
        auto file = bmp_bytes(shape);
        Record r;
        ASSERT_EQ(load(r, file), 1);
        expect_rows_from(r.s, file, bitCount == 8 ? 70 : 54);  // the missing bytes read as zero
        EXPECT_EQ(r.refusal, sg::BmpRefusal::None);

        shape.cutBytes = 1001;
        file = bmp_bytes(shape);
        Record refused;
        EXPECT_EQ(load(refused, file), 0);
        EXPECT_EQ(refused.refusal, sg::BmpRefusal::UnsupportedBmp);
        EXPECT_TRUE(boxes.boxes().empty()) << "the caller reports it";
    }
}

TEST(Surface, EveryRefusalSaysWhyAndLeavesNothingBehind) {
    struct Case {
        const char* what;
        BmpSpec shape;
        bool notBmp;
    };
    auto with = [](auto change) {
        BmpSpec s;
        s.width = 3;
        s.height = 2;
        change(s);
        return s;
    };
    const Case cases[] = {
        {"type BA", with([](BmpSpec& s) { s.type[1] = 'A'; }), true},
        {"RLE 8-bit", with([](BmpSpec& s) { s.bitCount = 8; s.compression = 1; }), false},
        {"RLE 4-bit", with([](BmpSpec& s) { s.bitCount = 4; s.compression = 2; }), false},
        {"bitfields 24-bit", with([](BmpSpec& s) { s.compression = 3; }), false},
        {"1 bit", with([](BmpSpec& s) { s.bitCount = 1; s.colorEntries = 2; }), false},
        {"4 bits", with([](BmpSpec& s) { s.bitCount = 4; s.colorEntries = 16; }), false},
        {"16 bits", with([](BmpSpec& s) { s.bitCount = 16; }), false},
        {"32 bits", with([](BmpSpec& s) { s.bitCount = 32; }), false},
        {"0 bits", with([](BmpSpec& s) { s.bitCount = 0; }), false},
        {"2 bits", with([](BmpSpec& s) { s.bitCount = 2; }), false},
        {"width 0", with([](BmpSpec& s) { s.width = 0; }), false},
        {"width -3", with([](BmpSpec& s) { s.width = -3; s.colorEntries = 0; }), false},
        {"height 0", with([](BmpSpec& s) { s.height = 0; }), false},
        {"height -2 (top-down)", with([](BmpSpec& s) { s.height = -2; s.colorEntries = 0; }), false},
        {"257 colours, 8-bit", with([](BmpSpec& s) { s.bitCount = 8; s.clrUsed = 257; }), false},
        {"4096 colours, 24-bit", with([](BmpSpec& s) { s.clrUsed = 4096; s.colorEntries = 0; }), false},
        {"rows overflow", with([](BmpSpec& s) { s.width = 1; s.height = 1; }), false},
        {"rows past the grace", with([](BmpSpec& s) { s.width = 1; s.height = 1; }), false},
    };
    sgtest::BoxCapture boxes;
    const int start = pf::diagnostics::gdi_objects_alive();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto file = bmp_bytes(c.shape);
        if (std::string(c.what) == "rows overflow") {
            sg::format::write_u32(&file[18], 0x7FFFFFFF);  // 6 GB per row, times 2^31 - 1 rows
            sg::format::write_u32(&file[22], 0x7FFFFFFF);
        } else if (std::string(c.what) == "rows past the grace") {
            sg::format::write_u32(&file[22], 400);  // 400 rows of 4 bytes where 1 is given
        }
        boxes.clear();
        Record r;
        r.s.bits = reinterpret_cast<pf::BYTE*>(&r);  // stale from an earlier life
        EXPECT_EQ(load(r, file), 0);
        EXPECT_TRUE(boxes.boxes().empty()) << "the caller reports it";
        EXPECT_EQ(r.refusal, c.notBmp ? sg::BmpRefusal::UnsupportedFile : sg::BmpRefusal::UnsupportedBmp);
        EXPECT_EQ(sg::bmp_refusal_text(r.refusal),
                  std::string(c.notBmp ? sg::MSG_UNSUPPORTED_FILE : sg::MSG_UNSUPPORTED_BMP));
        // The headers are kept; no bitmap, DC or pixels are.
        EXPECT_EQ(std::memcmp(&r.s.infoHeader, file.data() + 14, 40), 0);
        EXPECT_EQ(r.s.fileHeader.bfType, file[0] | (file[1] << 8));
        EXPECT_EQ(r.s.dib, nullptr);
        EXPECT_EQ(r.s.memoryDC, nullptr);
        EXPECT_EQ(r.s.bits, nullptr);
        EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start);
    }
}

TEST(Surface, EmptyAndTinyImagesAreNotBmpFiles) {
    sgtest::BoxCapture boxes;
    const std::uint8_t two[2] = {'B', 'M'};
    Record a, b, c;
    EXPECT_FALSE(sg::surface_load_bmp(&a.s, nullptr, 0, &a.refusal));
    EXPECT_FALSE(sg::surface_load_bmp(&b.s, two, 1, &b.refusal));  // "B" and then zeros
    EXPECT_FALSE(sg::surface_load_bmp(&c.s, two, 2, &c.refusal));  // "BM" with a zero header: no bit count
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(a.refusal, sg::BmpRefusal::UnsupportedFile);
    EXPECT_EQ(b.refusal, sg::BmpRefusal::UnsupportedFile);
    EXPECT_EQ(c.refusal, sg::BmpRefusal::UnsupportedBmp);
}

// A picture GDI will not make (two planes) fails without a message.
TEST(Surface, ABitmapGdiRefusesFailsTheLoadSilently) {
    sgtest::BoxCapture boxes;
    BmpSpec shape;
    shape.planes = 2;
    const auto file = bmp_bytes(shape);
    const int start = pf::diagnostics::gdi_objects_alive();
    Record r;
    EXPECT_EQ(load(r, file), 0);
    EXPECT_EQ(boxes.boxes().size(), 0u);
    EXPECT_EQ(r.refusal, sg::BmpRefusal::None) << "nothing for the caller to report";
    EXPECT_EQ(r.s.dib, nullptr);
    EXPECT_EQ(r.s.memoryDC, nullptr);
    EXPECT_EQ(r.s.bits, nullptr);
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start);
}

TEST(Surface, ReleaseIsHarmlessOnFreshEmptyAndReleasedRecords) {
    const int start = pf::diagnostics::gdi_objects_alive();
    sg::Surface fresh{};
    sg::surface_release(&fresh);
    EXPECT_EQ(fresh.initialized, 0) << "nothing to do on fresh storage";

    sg::Surface s{};
    sg::surface_reset(&s);
    sg::surface_release(&s);

    const auto file = bmp_bytes({});
    ASSERT_TRUE(sg::surface_load_bmp(&s, file.data(), static_cast<int>(file.size())));
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start + 2);
    sg::surface_release(&s);
    EXPECT_EQ(s.dib, nullptr);
    EXPECT_EQ(s.memoryDC, nullptr);
    EXPECT_EQ(s.previousObject, nullptr);
    EXPECT_EQ(s.initialized, 1);
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start);
    sg::surface_release(&s);
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start);

    // Built again after its release, the record works as new.
    sg::surface_create(&s, 2, 2, 24);
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start + 2);
    sg::surface_release(&s);
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start);
}

// A surface owns its bitmap and DC: building it again, moving it or letting
// it go out of scope leaves exactly one live pair or none.
TEST(Surface, OwnsItsBitmapThroughRebuildMoveAndScope) {
    const int start = pf::diagnostics::gdi_objects_alive();
    {
        sg::Surface s;
        sg::surface_create(&s, 4, 4, 24);
        sg::surface_create(&s, 8, 2, 24);  // a live surface built again
        EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start + 2);
        ASSERT_NE(s.memoryDC, nullptr);
        pf::BitBlt(s.memoryDC, 0, 0, 8, 2, nullptr, 0, 0, pf::WHITENESS);  // the new DIB is selected
        pf::GdiFlush();
        EXPECT_EQ(s.bits[0], 0xFF);
        sg::surface_release(&s);
        EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start);

        sg::surface_create(&s, 2, 2, 24);
        sg::Surface moved = std::move(s);
        EXPECT_EQ(s.memoryDC, nullptr);
        EXPECT_NE(moved.memoryDC, nullptr);
        sg::surface_release(&s);  // the moved-from record holds nothing
        EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start + 2);
    }
    EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), start) << "released when it goes";
}

TEST(Surface, ResetOfAnUsedRecordForgetsTheHeaderButNotTheFileHeader) {
    Record r;
    ASSERT_EQ(load(r, bmp_bytes({})), 1);
    sg::surface_release(&r.s);
    r.s.stride = 99;
    sg::surface_reset(&r.s);
    EXPECT_EQ(r.s.infoHeader.biWidth, 0);
    EXPECT_EQ(r.s.stride, 0);
    EXPECT_EQ(r.s.fileHeader.bfType, 0x4D42);
}

TEST(Blocks, ZeroFilledAndGivenBack) {
    auto* block = static_cast<std::uint8_t*>(sg::block_alloc(5000));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(block[i], 0);
    block[4999] = 1;
    EXPECT_EQ(sg::block_free(block), 1);
    EXPECT_EQ(sg::block_free(nullptr), 1);
}

}  // namespace
