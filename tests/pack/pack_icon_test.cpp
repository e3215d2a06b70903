// bind --icon: the six images of icon group 101 (16 and 32 pixels square, at
// 4, 8 and 32 bits) as RT_ICON holds them, the group that lists them, and a
// second icon replacing the first without leaving its images behind.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "tools/core/container.h"
#include "tools/core/icon.h"
#include "tools/core/images.h"

using namespace sg::packtool;

namespace {

// An opaque picture twice as wide as high: its icons have clear bands above
// and below. Left half orange, right half blue.
Bytes wide_png() {
    Image image;
    image.width = 48;
    image.height = 24;
    image.bgr.resize(48 * 24 * 3);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 48; ++x) {
            std::uint8_t* p = &image.bgr[(static_cast<std::size_t>(y) * 48 + x) * 3];
            if (x < 24) p[0] = 0, p[1] = 128, p[2] = 255;
            else p[0] = 255, p[1] = 0, p[2] = 0;
        }
    return png_encode(image);
}

struct Decoded {
    int width = 0, height = 0, bits = 0;
    std::vector<std::array<std::uint8_t, 4>> bgra;  // top-down
    std::vector<bool> clear;                        // the mask: top-down
};

// Reads an RT_ICON image the way the system does.
Decoded decode(const Bytes& b) {
    Decoded d;
    EXPECT_GE(b.size(), 40u);
    EXPECT_EQ(read_u32(&b[0]), 40u);
    d.width = read_i32(&b[4]);
    d.height = read_i32(&b[8]) / 2;
    d.bits = read_u16(&b[14]);
    EXPECT_EQ(read_i32(&b[8]), 2 * d.width);
    EXPECT_EQ(read_u16(&b[12]), 1);
    const std::size_t pal = d.bits <= 8 ? (std::size_t{1} << d.bits) : 0;
    const std::size_t row = (static_cast<std::size_t>(d.width) * d.bits + 31) / 32 * 4;
    const std::size_t mrow = (static_cast<std::size_t>(d.width) + 31) / 32 * 4;
    EXPECT_EQ(b.size(), 40 + pal * 4 + row * d.height + mrow * d.height);
    const std::uint8_t* colour = &b[40 + pal * 4];
    const std::uint8_t* mask = colour + row * d.height;
    for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x) {
            const std::uint8_t* r = colour + row * (d.height - 1 - y);
            std::array<std::uint8_t, 4> px{};
            if (d.bits == 32) {
                std::memcpy(px.data(), r + x * 4, 4);
            } else {
                int index = d.bits == 8 ? r[x] : (x % 2 ? r[x / 2] & 15 : r[x / 2] >> 4);
                std::memcpy(px.data(), &b[40 + static_cast<std::size_t>(index) * 4], 3);
            }
            d.bgra.push_back(px);
            d.clear.push_back(mask[mrow * (d.height - 1 - y) + x / 8] & (0x80 >> (x % 8)));
        }
    return d;
}

Bytes fixture() {
#ifdef SG_PACK_FIXTURE_DIR
    std::ifstream in(std::string(SG_PACK_FIXTURE_DIR) + "/pe-fixture-x86_64.exe", std::ios::binary);
    if (in) return Bytes(std::istreambuf_iterator<char>(in), {});
#endif
    return {};
}

}  // namespace

TEST(PackIcon, SixImagesFitThePictureWithClearBands) {
    std::vector<Bytes> images = icon_images(wide_png(), "wide.png");
    ASSERT_EQ(images.size(), 6u);
    const int sizes[] = {16, 16, 16, 32, 32, 32}, bits[] = {4, 8, 32, 4, 8, 32};
    for (std::size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE("image " + std::to_string(i));
        Decoded d = decode(images[i]);
        ASSERT_EQ(d.width, sizes[i]);
        ASSERT_EQ(d.bits, bits[i]);
        const int n = d.width;
        auto at = [&](int x, int y) { return static_cast<std::size_t>(y) * n + x; };
        // The picture fills the middle half of the rows; the bands are clear.
        EXPECT_TRUE(d.clear[at(n / 4, 1)]);
        EXPECT_TRUE(d.clear[at(3 * n / 4, n - 2)]);
        EXPECT_FALSE(d.clear[at(n / 4, n / 2)]);
        EXPECT_FALSE(d.clear[at(3 * n / 4, n / 2)]);
        if (d.bits == 32) {
            EXPECT_EQ(d.bgra[at(n / 4, 1)][3], 0);
        }
        // Left orange (or the nearest palette colour: olive at 4 bits), right blue.
        auto left = d.bgra[at(n / 4, n / 2)], right = d.bgra[at(3 * n / 4, n / 2)];
        EXPECT_EQ(right[0], 255);
        EXPECT_EQ(right[2], 0);
        EXPECT_GE(left[2], d.bits == 4 ? 128 : 192);
        EXPECT_LE(left[0], 64);
        if (d.bits == 32) {
            EXPECT_EQ(left[1], 128);
            EXPECT_EQ(left[3], 255);
        }
    }
}

TEST(PackIcon, UnreadablePicturesAreRefused) {
    EXPECT_THROW(icon_images(Bytes{'n', 'o', 'p', 'e'}, "x"), Failure);
    Bytes png = wide_png();
    png.resize(png.size() / 2);
    EXPECT_THROW(icon_images(png, "cut.png"), Failure);
}

TEST(PackIcon, BoundSaverHoldsGroup101AndItsSixImages) {
    const Bytes exe = fixture();
    if (exe.empty()) GTEST_SKIP() << "no mingw-w64 build of the fixture program";
    const std::vector<Bytes> images = icon_images(wide_png(), "wide.png");
    auto with_icon = [&](const Bytes& file, const std::vector<Bytes>& icons) {
        return pe::rebuild_resources(file, [&](std::vector<pe::Resource>& list) { set_icon_group(list, icons); }, "t");
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Bytes bound = with_icon(exe, images);
        if (round == 1) bound = with_icon(bound, images);  // again: replaced, not piled up
        EXPECT_TRUE(pe::layout_problems(bound).empty());
        auto list = pe::resources(bound, pe::parse(bound, "t"), "t");
        const pe::Resource* group = nullptr;
        std::map<std::uint32_t, const pe::Resource*> icons;
        for (const pe::Resource& r : list) {
            if (r.type == pe::ResName::of(RT_GROUP_ICON) && r.name == pe::ResName::of(101)) group = &r;
            if (r.type == pe::ResName::of(RT_ICON)) icons[r.name.id] = &r;
        }
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->language.id, PACKAGE_LANGUAGE);
        ASSERT_EQ(icons.size(), 6u);
        const Bytes& g = group->data;
        ASSERT_EQ(g.size(), 6u + 14 * 6);
        EXPECT_EQ(read_u16(&g[2]), 1);
        ASSERT_EQ(read_u16(&g[4]), 6);
        std::set<std::pair<int, int>> seen;
        for (int i = 0; i < 6; ++i) {
            const std::uint8_t* e = &g[6 + 14 * i];
            auto it = icons.find(read_u16(e + 12));
            ASSERT_NE(it, icons.end()) << "entry " << i << " names a missing image";
            Decoded d = decode(it->second->data);
            EXPECT_EQ(e[0], d.width);
            EXPECT_EQ(e[1], d.width);
            EXPECT_EQ(e[2], d.bits == 4 ? 16 : 0);
            EXPECT_EQ(read_u16(e + 6), d.bits);
            EXPECT_EQ(read_u32(e + 8), it->second->data.size());
            seen.insert({d.width, d.bits});
        }
        EXPECT_EQ(seen, (std::set<std::pair<int, int>>{{16, 4}, {16, 8}, {16, 32}, {32, 4}, {32, 8}, {32, 32}}));
        // The package is still there.
        EXPECT_TRUE(pe::find_resource(bound, pe::ResName::of("KAVREN"), pe::ResName::of(103), PACKAGE_LANGUAGE, "t"));
    }
}

TEST(PackIcon, ImagesOfOtherGroupsStay) {
    std::vector<pe::Resource> list;
    auto add = [&](std::uint32_t type, std::uint32_t name, Bytes data) {
        list.push_back({pe::ResName::of(type), pe::ResName::of(name), pe::ResName::of(1033), 0, std::move(data)});
    };
    auto group_of = [](std::vector<std::uint16_t> ids) {
        Bytes g(6 + 14 * ids.size(), 0);
        write_u16(&g[2], 1);
        write_u16(&g[4], static_cast<std::uint32_t>(ids.size()));
        for (std::size_t i = 0; i < ids.size(); ++i) write_u16(&g[6 + 14 * i + 12], ids[i]);
        return g;
    };
    add(RT_ICON, 1, {1}), add(RT_ICON, 2, {2}), add(RT_ICON, 3, {3});
    add(RT_GROUP_ICON, 101, group_of({1, 2}));
    add(RT_GROUP_ICON, 102, group_of({2, 3}));
    set_icon_group(list, icon_images(wide_png(), "wide.png"));
    std::set<std::uint32_t> ids;
    for (const pe::Resource& r : list)
        if (r.type == pe::ResName::of(RT_ICON)) ids.insert(r.name.id);
    // 1 went with the old group; 2 and 3 belong to group 102; six new ones.
    for (const pe::Resource& r : list) EXPECT_NE(r.data, Bytes{1});
    EXPECT_EQ(ids.size(), 8u);
    EXPECT_TRUE(ids.count(2) && ids.count(3));
    for (const pe::Resource& r : list)
        if (r.type == pe::ResName::of(RT_GROUP_ICON) && r.name.id == 101) {
            EXPECT_EQ(r.language.id, 1033u);
        }
}
