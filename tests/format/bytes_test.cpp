// Little-endian fields and the checked view that every reader of a file
// format goes through.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "format/bytes.h"

namespace {

using namespace sg::format;
constexpr std::int64_t MAX = std::numeric_limits<std::int64_t>::max();

TEST(Bytes, FieldsAreLittleEndianBothWays) {
    std::uint8_t b[8] = {};
    write_u32(b, 0x12345678);
    EXPECT_EQ(std::vector<std::uint8_t>(b, b + 4), (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(read_u16(b + 2), 0x1234);
    write_i32(b, -2);
    EXPECT_EQ(read_i32(b), -2);
    EXPECT_EQ(read_u32(b), 0xFFFFFFFEu);
    write_i16(b, -1);
    EXPECT_EQ(read_i16(b), -1);
    write_u64(b, 0x8000000000000001ull);
    EXPECT_EQ(read_u64(b), 0x8000000000000001ull);
    EXPECT_EQ(b[7], 0x80);

    std::vector<std::uint8_t> grown;
    append_u16(grown, 0xBEEF);
    append_u32(grown, 0x01020304);
    EXPECT_EQ(grown, (std::vector<std::uint8_t>{0xEF, 0xBE, 0x04, 0x03, 0x02, 0x01}));
}

TEST(Bytes, RangesOutsideTheBytesOrThatWouldWrapAreRefused) {
    EXPECT_TRUE(in_bounds(0, 10, 10));
    EXPECT_TRUE(in_bounds(10, 0, 10));
    EXPECT_FALSE(in_bounds(10, 1, 10));
    EXPECT_FALSE(in_bounds(-1, 1, 10));
    EXPECT_FALSE(in_bounds(1, -1, 10));
    EXPECT_FALSE(in_bounds(8, MAX, 10)) << "offset + size wraps";

    const std::uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const ByteView v(data, sizeof data);
    EXPECT_EQ(v.at(4, 6), data + 4);
    EXPECT_EQ(v.at(4, 7), nullptr);
    EXPECT_EQ(v.at(2, MAX), nullptr);
    ASSERT_TRUE(v.sub(2, 4));
    EXPECT_EQ(v.sub(2, 4)->data(), data + 2);
    EXPECT_EQ(v.sub(2, 4)->size(), 4u);
    EXPECT_FALSE(v.sub(MAX, 2));
    EXPECT_FALSE(ByteView(nullptr, 100).contains(0, 1)) << "no bytes behind a null pointer";
}

TEST(Bytes, FieldReadsOutsideTheViewAreZero) {
    const std::uint8_t data[5] = {1, 2, 3, 4, 5};
    const ByteView v(data, sizeof data);
    EXPECT_EQ(v.u32(0), 0x04030201u);
    EXPECT_EQ(v.u32(2), 0x00050403u) << "the last byte, then zeros";
    EXPECT_EQ(v.u32(-1), 0x03020100u);
    EXPECT_EQ(v.u32(MAX), 0u);
    EXPECT_EQ(v.u16(std::numeric_limits<std::int64_t>::min()), 0u);
    EXPECT_EQ(v.i32(5), 0);
}

}  // namespace
