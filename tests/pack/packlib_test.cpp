// The package writer and reader: BMP and "AP01" layouts, the layout of a
// package shaped like the shipped one, byte-exact round trips, and the
// reader's refusals of damaged packages.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "tests/support/fixtures.h"
#include "tools/packlib/packlib.h"

namespace pack = sg::pack;
using pack::Bytes;
using pack::Severity;
using sg::test::build;

namespace {

// True when some problem of this severity sits at `offset` and mentions `text`.
bool has(const pack::Problems& problems, Severity severity, std::size_t offset, const std::string& text) {
    return std::any_of(problems.begin(), problems.end(), [&](const pack::Problem& p) {
        return p.severity == severity && p.offset == offset && p.message.find(text) != std::string::npos;
    });
}

std::string listing(const pack::Problems& problems) {
    std::string out;
    for (const auto& p : problems) out += pack::to_string(p) + "\n";
    return out;
}

std::int32_t at32(const Bytes& b, std::size_t at) { return pack::get32(b, at); }

pack::PackageRead parse(const Bytes& b) { return pack::package_parse(b.data(), b.size()); }

// ---- BMP ----

TEST(PackBmp, SizesStridesAndRowOrder) {
    EXPECT_EQ(pack::bmp24(sg::test::solid_image(32, 32, {1, 2, 3}), 2).size(), 3128u);
    EXPECT_EQ(pack::bmp24(sg::test::solid_image(64, 64, {1, 2, 3}), 2).size(), 12344u);
    EXPECT_EQ(pack::bmp24(sg::test::solid_image(640, 480, {1, 2, 3}), 2).size(), 921656u);

    // 1 pixel wide: 3 bytes of pixel and 1 of padding; 4 wide: 12, none.
    const struct { int width; std::int64_t stride; } strides[] = {{1, 4}, {4, 12}, {5, 16}, {32, 96}, {640, 1920}};
    for (const auto& s : strides) {
        const Bytes b = pack::bmp24(sg::test::pattern_image(s.width, 3));
        const pack::BmpHeader h = pack::bmp_header(b.data(), b.size());
        EXPECT_EQ(h.stride, s.stride) << s.width;
        EXPECT_EQ(b.size(), 54 + 3 * static_cast<std::size_t>(s.stride)) << s.width;
    }

    const pack::Image image = sg::test::pattern_image(5, 3, 0x77);
    const Bytes b = pack::bmp24(image, 2);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 2), "BM");
    EXPECT_EQ(at32(b, 10), 54);
    EXPECT_EQ(at32(b, 14), 40);
    EXPECT_EQ(at32(b, 34), 0) << "image-size field";
    // Bottom-up: the file's first row is the picture's last (y = 2).
    EXPECT_EQ(b[54], 0);       // B = x = 0
    EXPECT_EQ(b[55], 2);       // G = y = 2
    EXPECT_EQ(b[54 + 15], 0);  // padding of the 15-byte row
    EXPECT_EQ(b[54 + 16 + 1], 1) << "second file row is y = 1";
    const auto back = pack::bmp_image(b.data(), b.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->bgr, image.bgr);
}

TEST(PackBmp, RowsStartAfterTheColourTableNotAtTheDataOffset) {
    pack::Palette8 pal16, pal256;
    for (int i = 0; i < 16; ++i) pal16.entries.push_back({std::uint8_t(i), 0, 0, 0});
    for (int i = 0; i < 256; ++i) pal256.entries.push_back({0, std::uint8_t(i), 0, 0});
    const std::vector<std::uint8_t> idx{1, 2, 3, 4, 5, 6};

    Bytes b16 = pack::bmp8(3, 2, idx, pal16);
    EXPECT_EQ(pack::bmp_header(b16.data(), b16.size()).rowsStart, 118);
    Bytes b0 = pack::bmp8(3, 2, idx, pal256, true);
    EXPECT_EQ(at32(b0, 46), 0);
    EXPECT_EQ(pack::bmp_header(b0.data(), b0.size()).rowsStart, 1078);
    const auto image = pack::bmp_image(b0.data(), b0.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->at(0, 0), (std::array<std::uint8_t, 3>{0, 1, 0}));
    EXPECT_EQ(image->at(2, 1), (std::array<std::uint8_t, 3>{0, 6, 0}));

    // A 24-bit file that says 2 colours used has its rows 8 bytes later.
    Bytes b24 = pack::bmp24(sg::test::solid_image(2, 2, {9, 9, 9}));
    pack::put32(b24, 46, 2);
    EXPECT_EQ(pack::bmp_header(b24.data(), b24.size()).rowsStart, 62);

    // A data offset that disagrees is reported, not followed.
    pack::put32(b16, 10, 1078);
    pack::Problems problems;
    pack::bmp_check(b16.data(), b16.size(), false, 0, problems);
    EXPECT_FALSE(pack::has_errors(problems));
    EXPECT_TRUE(has(problems, Severity::Warning, 10, "read from 118"));
}

TEST(PackBmp, CheckRefusesWhatTheLoaderCannotUse) {
    const Bytes good = pack::bmp24(sg::test::solid_image(4, 4, {1, 2, 3}));
    const auto errors_at = [](Bytes b, bool frame) {
        pack::Problems p;
        pack::bmp_check(b.data(), b.size(), frame, 1000, p);
        return p;
    };
    EXPECT_TRUE(errors_at(good, true).empty());

    Bytes ba = good;
    ba[1] = 'A';
    EXPECT_TRUE(has(errors_at(ba, false), Severity::Error, 1000, "\"BM\""));
    Bytes onebit = good;
    onebit[28] = 1;
    EXPECT_TRUE(has(errors_at(onebit, false), Severity::Error, 1028, "1 bits per pixel"));
    Bytes rle = good;
    rle[30] = 1;
    EXPECT_TRUE(has(errors_at(rle, false), Severity::Error, 1030, "compressed"));
    Bytes negative = good;
    pack::put32(negative, 22, -4);
    EXPECT_TRUE(has(errors_at(negative, false), Severity::Error, 1022, "negative"));

    pack::Palette8 pal;
    pal.entries.assign(2, {0, 0, 0, 0});
    const Bytes eight = pack::bmp8(4, 4, std::vector<std::uint8_t>(16, 1), pal);
    EXPECT_FALSE(pack::has_errors(errors_at(eight, false))) << "8-bit backgrounds are fine";
    // An 8-bit frame loads too: the saver expands it to 24 bits.
    EXPECT_FALSE(pack::has_errors(errors_at(eight, true)));
    // Colours used above 256 is refused whatever the bit count.
    Bytes many = good;
    pack::put32(many, 46, 300);
    EXPECT_TRUE(has(errors_at(many, false), Severity::Error, 1046, "more than 256"));

    // Up to 1000 missing bytes read as zeros; one more is out of reach.
    const Bytes big = pack::bmp24(sg::test::solid_image(100, 20, {1, 2, 3}));
    const Bytes within(big.begin(), big.end() - 1000);
    const auto p1 = errors_at(within, true);
    EXPECT_FALSE(pack::has_errors(p1)) << listing(p1);
    EXPECT_TRUE(has(p1, Severity::Warning, 1054, "1000 bytes past"));
    const Bytes beyond(big.begin(), big.end() - 1001);
    EXPECT_TRUE(has(errors_at(beyond, true), Severity::Error, 1054, "more than 1000 bytes past"));
}

// ---- animation sets and layer blocks ----

TEST(PackAnimSet, LayoutAndRoundTrip) {
    pack::AnimSet set = sg::test::animset(3, 8, 6, 5, 2);
    set.frames[1].duration = 0;
    const Bytes b = pack::animset_bytes(set);
    const std::size_t frame = set.frames[0].bmp.size();
    ASSERT_EQ(b.size(), 256 + 3 * frame);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "AP01");
    EXPECT_EQ(at32(b, 4), 1);
    EXPECT_EQ(at32(b, 8), 3);
    EXPECT_EQ(at32(b, 12), 2);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(at32(b, 16 + 4 * i), static_cast<std::int32_t>(256 + i * frame));
        EXPECT_EQ(at32(b, 96 + 4 * i), static_cast<std::int32_t>(frame));
    }
    EXPECT_EQ(at32(b, 176 + 4), 0);
    EXPECT_EQ(at32(b, 16 + 4 * 3), 0) << "unused entries stay zero";

    const pack::AnimSetRead r = pack::animset_parse(b.data(), b.size());
    EXPECT_TRUE(r.problems.empty()) << listing(r.problems);
    EXPECT_FALSE(r.frameCountOverride);
    EXPECT_EQ(pack::animset_bytes(r), b);

    // Damaged sets come back as they were written, too.
    set.frameCountOverride = 2;
    set.magic = "ap01";
    const Bytes damaged = pack::animset_bytes(set);
    EXPECT_EQ(pack::animset_bytes(pack::animset_parse(damaged.data(), damaged.size())), damaged);
}

TEST(PackAnimSet, ReaderRefusals) {
    const auto problems = [](const pack::AnimSet& set) {
        const Bytes b = pack::animset_bytes(set);
        return pack::animset_parse(b.data(), b.size(), 500).problems;
    };
    pack::AnimSet set = sg::test::animset(2, 4, 4);
    set.magic = "AP0l";
    EXPECT_TRUE(has(problems(set), Severity::Error, 500, "not \"AP01\""));
    set.magic = "AP01";
    set.version = 2;
    EXPECT_TRUE(has(problems(set), Severity::Error, 504, "version is 2"));
    set.version = 1;

    pack::AnimSet full = sg::test::animset(20, 2, 2);
    full.frameCountOverride = 21;
    EXPECT_TRUE(has(problems(full), Severity::Error, 508, "frame count of 21"));
    full.frameCountOverride = -1;
    EXPECT_TRUE(has(problems(full), Severity::Error, 508, "frame count of -1"));

    // Frame 1 ending up to 1000 bytes past the set reads zeros; one byte
    // more is out of the loader's reach.
    Bytes b = pack::animset_bytes(set);
    const auto reach = static_cast<std::int32_t>(b.size()) + 1000 - at32(b, 16 + 4);
    pack::put32(b, 96 + 4, reach);
    const auto near = pack::animset_parse(b.data(), b.size(), 500);
    EXPECT_TRUE(has(near.problems, Severity::Warning, 500 + 20, "frame 1: ends 1000 bytes past"))
        << listing(near.problems);
    pack::put32(b, 96 + 4, reach + 1);
    const auto far = pack::animset_parse(b.data(), b.size(), 500);
    EXPECT_TRUE(has(far.problems, Severity::Error, 500 + 20, "frame 1: bytes")) << listing(far.problems);

    // A refused frame is reported at the frame's own bytes.
    set.frames[1].bmp[30] = 1;  // RLE
    const std::size_t frame1 = 256 + set.frames[0].bmp.size();
    EXPECT_TRUE(has(problems(set), Severity::Error, 500 + frame1 + 30, "frame 1: picture is compressed"))
        << listing(problems(set));
}

TEST(PackLayerBlock, FieldsInPackageOrder) {
    pack::LayerSettings s;
    std::int32_t* fields[] = {&s.enabled,     &s.setOffset,  &s.setSize,    &s.instanceCount,
                              &s.reentryCycles, &s.startX,   &s.startY,     &s.maxWait,
                              &s.directionCode, &s.entryEdge, &s.placement, &s.startCorner,
                              &s.keepInside,  &s.speedClass, &s.swayAxis,   &s.swayRow,
                              &s.randomStart, &s.delayMode,  &s.loops};
    for (int i = 0; i < 19; ++i) *fields[i] = 1000 + i;
    s.startY = -7;
    const Bytes b = pack::layer_block_bytes(s);
    ASSERT_EQ(b.size(), 76u);
    for (int i = 0; i < 19; ++i) EXPECT_EQ(at32(b, 4 * i), i == 6 ? -7 : 1000 + i) << "field " << i;
    EXPECT_EQ(pack::layer_block_bytes(pack::layer_block_parse(b.data())), b);
}

// ---- a package shaped like the shipped one ----

pack::Package shipped_shape() {
    pack::Package p;
    p.scene.title = "snowglobe demo 0001";  // 19 bytes
    p.scene.backgroundMode = 4;
    p.scene.pictureFit = 1;
    p.scene.picture = pack::bmp24(sg::test::pattern_image(640, 480), 2);
    p.scene.leftoverTileOffset = 7340032;
    p.scene.leftoverTileSize = 77;
    p.scene.leftoverSoundOffset = 6000000;
    p.scene.leftoverSoundSize = 12;
    for (int k = 0; k < 4; ++k) {
        const int side = k < 2 ? 32 : 64;
        pack::AnimSet set;
        for (int i = 0; i < 20; ++i) set.frames.push_back({pack::bmp24(sg::test::pattern_image(side, side, std::uint8_t(i)), 2), 2});
        pack::Layer& layer = p.layers[k];
        layer = sg::test::enabled_layer(set, k < 2 ? 15 : 10);
        layer.settings.speedClass = k % 2 ? 2 : 1;
    }
    for (int k = 4; k < 10; ++k) {
        p.layers[k].settings.enabled = 0;
        p.layers[k].settings.setOffset = 0x1000 + k;
        p.layers[k].settings.setSize = 0x2000 * k;
        p.layers[k].keepSetFields = true;
    }
    p.info.lineShown = {1, 1, 1, 1, 1};
    p.info.lines = {"a", "bb", "ccc", "dddd", "eeeee"};
    p.entry12 = {0, 1};
    p.entry13 = {132, 0x5a5a};
    p.padTo = 3145728;
    return p;
}

TEST(PackPackage, ShippedShapeLayout) {
    pack::Layout layout;
    const Bytes b = pack::package_bytes(shipped_shape(), &layout);
    ASSERT_EQ(b.size(), 3145728u);
    EXPECT_EQ(layout.endOfData, 1544292u);

    const std::int32_t offsets[14] = {112,       922108,      985000,      1047892,     1295104,
                                      1542316,   1542316 + 76, 1542316 + 152, 1542316 + 228, 1542316 + 304,
                                      1542316 + 380, 1542772, 0, 132};
    const std::int32_t sizes[14] = {921996, 62892, 62892, 247212, 247212, 76, 76, 76, 76, 76, 76, 1520, 1, 0x5a5a};
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(at32(b, 8 * i), offsets[i]) << "entry " << i;
        EXPECT_EQ(at32(b, 8 * i + 4), sizes[i]) << "entry " << i;
        EXPECT_EQ(layout.offsets[i], offsets[i]);
        EXPECT_EQ(layout.sizes[i], sizes[i]);
    }

    // Scene header.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[112])), "snowglobe demo 0001");
    const std::size_t h = 112;
    EXPECT_EQ(at32(b, h + 300), 4);
    EXPECT_EQ(at32(b, h + 304), 7340032) << "leftover tile offset";
    EXPECT_EQ(at32(b, h + 308), 77);
    EXPECT_EQ(at32(b, h + 312), 1);
    EXPECT_EQ(at32(b, h + 316), 340);
    EXPECT_EQ(at32(b, h + 320), 921656);
    EXPECT_EQ(at32(b, h + 324), 6000000);
    EXPECT_EQ(at32(b, h + 332), 0);
    EXPECT_EQ(at32(b, h + 336), 0);
    EXPECT_EQ(b[h + 340], 'B');

    // Layer blocks: set fields of enabled layers, leftovers of the others.
    EXPECT_EQ(at32(b, 922108 + 4), 76);
    EXPECT_EQ(at32(b, 922108 + 8), 62816);
    EXPECT_EQ(at32(b, 1047892 + 8), 247136);
    EXPECT_EQ(at32(b, 1295104 + 12), 10);
    EXPECT_EQ(std::string(&b[922108 + 76], &b[922108 + 80]), "AP01");
    EXPECT_EQ(at32(b, 922108 + 76 + 96), 3128);
    EXPECT_EQ(at32(b, 1047892 + 76 + 96), 12344);
    EXPECT_EQ(at32(b, 1542316 + 4), 0x1004);
    EXPECT_EQ(at32(b, 1542316 + 8), 0x8000);
    EXPECT_EQ(at32(b, 1542316 + 16), 65535);

    // Info block, then zeros to the end.
    EXPECT_EQ(at32(b, 1542772), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[1542772 + 920])), "dddd");
    EXPECT_TRUE(std::all_of(b.begin() + 1544292, b.end(), [](std::uint8_t c) { return c == 0; }));
}

TEST(PackPackage, ShippedShapeReadsCleanAndRoundTrips) {
    const Bytes b = pack::package_bytes(shipped_shape());
    const pack::PackageRead r = parse(b);
    EXPECT_TRUE(r.problems.empty()) << listing(r.problems);
    EXPECT_EQ(r.layout.endOfData, 1544292u);
    EXPECT_EQ(r.padTo, 3145728u);
    EXPECT_EQ(r.scene.title, "snowglobe demo 0001");
    EXPECT_EQ(r.scene.picture.size(), 921656u);
    ASSERT_TRUE(r.layers[2].set);
    EXPECT_EQ(r.layers[2].set->frames.size(), 20u);
    EXPECT_FALSE(r.layers[9].set);
    EXPECT_EQ(r.layers[9].settings.setSize, 0x12000);
    EXPECT_EQ(r.entry13[1], 0x5a5a);
    EXPECT_EQ(pack::package_bytes(r), b);
}

TEST(PackPackage, RoundTripsEveryKindOfPackage) {
    std::vector<pack::Package> packages;
    for (int mode = 0; mode <= 4; ++mode) packages.push_back(sg::test::ready_package(mode, mode * 2));

    pack::Package sound = sg::test::ready_package(3);
    sound.scene.sound = sg::test::silent_wav(100);
    sound.optionalBlock1 = {1, 2, 3};
    sound.scene.optionalBlock2Present = 1;
    sound.optionalBlock2.assign(52428, 0xAB);
    packages.push_back(sound);

    pack::Package odd = sg::test::ready_package(4);
    odd.layers[5].set = sg::test::animset(2, 3, 3);  // a disabled layer that keeps its set
    odd.layers[6] = sg::test::enabled_layer(sg::test::animset(0, 1, 1), 0);
    odd.layers[7].settings = {.enabled = 0, .setOffset = -5, .setSize = 99};
    odd.layers[7].keepSetFields = true;
    odd.info.lineShown = {0, 1, 0, 2, 0};
    odd.padTo = 70000;
    packages.push_back(odd);

    // Damaged on purpose: the reader reports them, and still gets them back.
    pack::Package damaged = sg::test::ready_package(0, 1);
    damaged.layers[1].settings.setSize = 3;  // shorter than the set stored after it
    damaged.layers[1].keepSetFields = true;
    damaged.layers[2] = sg::test::enabled_layer(sg::test::animset(2, 4, 4), 1);
    damaged.layers[2].set->version = 2;
    damaged.layers[2].set->frameCountOverride = 21;
    damaged.scene.backgroundMode = 4;  // no picture stored: the leftovers point nowhere
    damaged.scene.leftoverPictureOffset = 1 << 30;
    packages.push_back(damaged);

    for (std::size_t i = 0; i < packages.size(); ++i) {
        const Bytes b = build(packages[i]);
        const pack::PackageRead r = parse(b);
        EXPECT_EQ(r.ok(), i + 1 != packages.size()) << "package " << i << "\n" << listing(r.problems);
        EXPECT_EQ(pack::package_bytes(r), b) << "package " << i;
    }
}

TEST(PackPackage, WriterRefusesMisuse) {
    pack::Package p = sg::test::ready_package(0);
    p.scene.title = std::string(300, 'x');
    EXPECT_THROW(build(p), std::runtime_error);
    p.scene.title = std::string(299, 'x');
    EXPECT_NO_THROW(build(p));
    p.scene.picture = pack::bmp24(sg::test::pattern_image(2, 2));  // mode 0 stores no picture
    EXPECT_THROW(build(p), std::runtime_error);
    p = sg::test::ready_package(0);
    p.padTo = 1000;
    EXPECT_THROW(build(p), std::runtime_error);
    p = sg::test::ready_package(0);
    p.layers[0].set = sg::test::animset(21, 1, 1);
    EXPECT_THROW(build(p), std::runtime_error);
}

// The text record: 932 writes today's bytes; another code page adds block 1
// (or fills the sound's), is read back, and changes nothing else.
TEST(PackPackage, TextRecordRoundTrip) {
    for (const bool sound : {false, true}) {
        pack::Package p = sg::test::ready_package(3, 1);
        if (sound) {
            p.scene.sound = sg::test::silent_wav(100);
            p.optionalBlock1.assign(120, 0);
            p.optionalBlock1[12] = 0x77;  // the rest of a sound's block is kept
        }
        pack::Layout plainLayout, layout;
        const Bytes plain = pack::package_bytes(p, &plainLayout);
        EXPECT_EQ(parse(plain).textCodePage, 932u);
        p.textCodePage = 1252;
        const Bytes b = pack::package_bytes(p, &layout);
        const std::size_t block = static_cast<std::size_t>(layout.offsets[12]);
        EXPECT_EQ(layout.sizes[12], 120);
        EXPECT_EQ(b.size(), plain.size() + (sound ? 0u : 120u));
        EXPECT_EQ(std::string(&b[block], &b[block + 4]), "SGTX");
        EXPECT_EQ(at32(b, block + 4), 1);
        EXPECT_EQ(at32(b, block + 8), 1252);
        EXPECT_EQ(b[block + 12], sound ? 0x77 : 0);
        // Everything before block 1 is the same bytes as without the record,
        // apart from directory entry 12.
        for (std::size_t i = 0; i < std::min<std::size_t>(block, plain.size()); ++i) {
            if (i >= 96 && i < 104) continue;
            ASSERT_EQ(b[i], plain[i]) << "byte " << i << (sound ? " with sound" : "");
        }

        const pack::PackageRead r = parse(b);
        EXPECT_TRUE(r.ok()) << listing(r.problems);
        EXPECT_TRUE(r.problems.empty()) << listing(r.problems);
        EXPECT_EQ(r.textCodePage, 1252u);
        EXPECT_EQ(pack::package_bytes(r), b);
        if (sound) {
            EXPECT_EQ(r.optionalBlock1[0], 0) << "the record is not kept as leftover bytes";
        }
    }
    // A padded package keeps its size.
    pack::Package padded = sg::test::ready_package(0);
    padded.textCodePage = 874;
    padded.padTo = 20000;
    const Bytes b = pack::package_bytes(padded);
    EXPECT_EQ(b.size(), 20000u);
    const pack::PackageRead r = parse(b);
    EXPECT_EQ(r.textCodePage, 874u);
    EXPECT_EQ(pack::package_bytes(r), b);
}

TEST(PackPackage, TextRecordsTheEngineIgnoresAreWarnedAbout) {
    pack::Package p = sg::test::ready_package(0);
    p.textCodePage = 1251;
    pack::Layout layout;
    const Bytes good = pack::package_bytes(p, &layout);
    const std::size_t block = static_cast<std::size_t>(layout.offsets[12]);
    struct Case {
        std::size_t at;
        std::int32_t value;
        const char* text;
    };
    for (const Case& c : {Case{4, 2, "version 2 is unknown"}, Case{8, 65001, "code page 65001, which is not allowed"},
                          Case{8, 932, "the default"}}) {
        Bytes b = good;
        pack::put32(b, block + c.at, c.value);
        const pack::PackageRead r = parse(b);
        EXPECT_TRUE(r.ok()) << listing(r.problems);
        EXPECT_TRUE(has(r.problems, Severity::Warning, block + c.at, c.text)) << listing(r.problems);
        EXPECT_EQ(r.textCodePage, 932u);
    }
    Bytes b = good;
    b[block] = 'X';  // no record at all: entry 12 is a leftover, nothing to say about it
    EXPECT_EQ(parse(b).textCodePage, 932u);
    // Read as the engine reads it: all 12 bytes inside the package, or none.
    b = good;
    b.resize(block + 12);
    EXPECT_EQ(parse(b).textCodePage, 1251u);
    b.resize(block + 11);
    EXPECT_EQ(parse(b).textCodePage, 932u);
}

TEST(PackPackage, WriterRefusesTextRecordMisuse) {
    pack::Package p = sg::test::ready_package(0);
    p.textCodePage = 65001;
    EXPECT_THROW(build(p), std::runtime_error);
    p.textCodePage = 1252;
    p.scene.sound = sg::test::silent_wav(10);
    p.optionalBlock1 = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};  // byte 11 is the record's
    EXPECT_THROW(build(p), std::runtime_error);
    p.optionalBlock1[11] = 0;
    p.optionalBlock1.push_back(1);  // byte 12 is free
    EXPECT_NO_THROW(build(p));
}

// The monitors record: primary writes today's bytes; each and span add block
// 1 for the record alone, or fill the sound's beside the text record, and
// read back to the same bytes.
TEST(PackPackage, MonitorsRecordRoundTrip) {
    using sg::format::MonitorMode;
    for (const bool sound : {false, true}) {
        pack::Package p = sg::test::ready_package(3, 1);
        if (sound) {
            p.textCodePage = 1252;
            p.scene.sound = sg::test::silent_wav(100);
            p.optionalBlock1.assign(120, 0);
            p.optionalBlock1[24] = 0x77;  // the rest of a sound's block is kept
        }
        const Bytes plain = pack::package_bytes(p);
        for (const MonitorMode mode : {MonitorMode::Each, MonitorMode::Span}) {
            p.monitorMode = mode;
            pack::Layout layout;
            const Bytes b = pack::package_bytes(p, &layout);
            const std::size_t block = static_cast<std::size_t>(layout.offsets[12]);
            EXPECT_EQ(b.size(), plain.size() + (sound ? 0u : 120u)) << sound;
            EXPECT_EQ(std::string(&b[block], &b[block + 4]), sound ? "SGTX" : std::string(4, '\0')) << sound;
            EXPECT_EQ(std::string(&b[block + 12], &b[block + 16]), "SGMN") << sound;
            EXPECT_EQ(at32(b, block + 16), 1) << sound;
            EXPECT_EQ(at32(b, block + 20), static_cast<std::int32_t>(mode)) << sound;
            EXPECT_EQ(b[block + 24], sound ? 0x77 : 0) << sound;

            const pack::PackageRead r = parse(b);
            EXPECT_TRUE(r.problems.empty()) << listing(r.problems);
            EXPECT_EQ(r.monitorMode, mode) << sound;
            EXPECT_EQ(pack::package_bytes(r), b) << sound;
            if (sound) {
                EXPECT_EQ(r.optionalBlock1[12], 0) << "the record is not kept as leftover bytes";
            }
        }
    }
}

// Records the engine ignores are warned about and read as primary; the
// writer refuses a mode it has no record for and data where the record goes.
TEST(PackPackage, MonitorsRecordsTheEngineIgnoresAndWriterMisuse) {
    pack::Package p = sg::test::ready_package(0);
    p.monitorMode = sg::format::MonitorMode::Span;
    pack::Layout layout;
    const Bytes good = pack::package_bytes(p, &layout);
    const std::size_t record = static_cast<std::size_t>(layout.offsets[12]) + 12;
    struct Case {
        std::size_t at;
        std::int32_t value;
        const char* text;
    };
    for (const Case& c : {Case{4, 2, "version 2 is unknown; full screen plays on the primary monitor"},
                          Case{8, 7, "mode 7, which is unknown; full screen plays on the primary monitor"},
                          Case{8, -1, "mode -1, which is unknown"}, Case{8, 0, "primary, the default"}}) {
        Bytes b = good;
        pack::put32(b, record + c.at, c.value);
        const pack::PackageRead r = parse(b);
        EXPECT_TRUE(r.ok()) << listing(r.problems);
        EXPECT_TRUE(has(r.problems, Severity::Warning, record + c.at, c.text)) << listing(r.problems);
        EXPECT_EQ(r.monitorMode, sg::format::MonitorMode::Primary) << c.text;
        EXPECT_EQ(sg::format::monitors_record_mode(&b[record - 12], 24), sg::format::MonitorMode::Primary) << c.text;
    }
    // Read as the engine reads it: the block's first 24 bytes inside the package, or none.
    Bytes b = good;
    b.resize(record + 12);
    EXPECT_EQ(parse(b).monitorMode, sg::format::MonitorMode::Span);
    b.resize(record + 11);
    EXPECT_EQ(parse(b).monitorMode, sg::format::MonitorMode::Primary);

    p.monitorMode = static_cast<sg::format::MonitorMode>(3);
    EXPECT_THROW(build(p), std::runtime_error);
    p.monitorMode = sg::format::MonitorMode::Each;
    p.scene.sound = sg::test::silent_wav(10);
    p.optionalBlock1.assign(24, 0);
    p.optionalBlock1[23] = 1;  // byte 23 is the record's
    EXPECT_THROW(build(p), std::runtime_error);
    p.optionalBlock1[23] = 0;
    p.optionalBlock1[11] = 1;  // bytes 0 to 11 are free without a text record
    p.optionalBlock1.push_back(1);
    EXPECT_NO_THROW(build(p));
}

// ---- damaged packages ----

class PackDamage : public ::testing::Test {
protected:
    // Layer 0 enabled (set at chunk offset 76), mode 4 picture.
    Bytes b = build(sg::test::ready_package(4, 0));
    std::size_t scene = static_cast<std::size_t>(at32(b, 0));
    std::size_t chunk0 = static_cast<std::size_t>(at32(b, 8));
    std::size_t set0 = chunk0 + 76;
    std::size_t frame0 = set0 + static_cast<std::size_t>(at32(b, set0 + 16));

    pack::Problems problems() const { return parse(b).problems; }
};

TEST_F(PackDamage, TruncatedPackages) {
    for (std::size_t size : {std::size_t(0), std::size_t(111)}) {
        const auto r = pack::package_parse(b.data(), size);
        EXPECT_TRUE(has(r.problems, Severity::Error, 0, "112-byte directory")) << size;
    }
    EXPECT_FALSE(pack::package_parse(nullptr, 5000).ok());
    // Cut inside layer 0's set: its set, the later layers and the info block are gone.
    b.resize(set0 + 100);
    const auto p = problems();
    EXPECT_TRUE(has(p, Severity::Error, chunk0 + 4, "layer 0: animation set")) << listing(p);
    EXPECT_TRUE(has(p, Severity::Error, 88, "info block"));
}

TEST_F(PackDamage, OffsetsPastTheEnd) {
    const auto size = static_cast<std::int32_t>(b.size());
    pack::put32(b, 8 * 11, size - 1519);  // info block one byte short
    pack::put32(b, 8 * 3, size);           // layer 2 block
    pack::put32(b, scene + 320, at32(b, scene + 320) + size);  // picture size
    const auto p = problems();
    EXPECT_TRUE(has(p, Severity::Error, 88, "info block")) << listing(p);
    EXPECT_TRUE(has(p, Severity::Error, 24, "layer 2 block"));
    // The picture is read from the bytes that are there, as the saver does.
    EXPECT_TRUE(has(p, Severity::Warning, scene + 320, "single picture size field says"));
    pack::put32(b, scene + 316, size);  // the picture itself past the end
    EXPECT_TRUE(has(problems(), Severity::Error, scene + 316, "single picture"));
    pack::put32(b, 0, -4);
    EXPECT_TRUE(has(problems(), Severity::Error, 0, "scene header"));
}

TEST_F(PackDamage, BadSets) {
    b[set0 + 3] = '2';
    EXPECT_TRUE(has(problems(), Severity::Error, set0, "layer 0: animation set starts with \"AP02\""));
    b[set0 + 3] = '1';
    pack::put32(b, set0 + 4, 2);
    EXPECT_TRUE(has(problems(), Severity::Error, set0 + 4, "version is 2"));
    pack::put32(b, set0 + 4, 1);
    pack::put32(b, set0 + 8, 21);
    EXPECT_TRUE(has(problems(), Severity::Error, set0 + 8, "frame count of 21"));
    pack::put32(b, set0 + 8, 4);
    EXPECT_TRUE(problems().empty());
}

TEST_F(PackDamage, BadPicturesAndTitle) {
    b[frame0 + 28] = 1;  // 1-bit frame
    EXPECT_TRUE(has(problems(), Severity::Error, frame0 + 28, "layer 0: frame 0: picture has 1 bits"));
    b[frame0 + 28] = 24;
    pack::put32(b, frame0 + 22, -16);
    EXPECT_TRUE(has(problems(), Severity::Error, frame0 + 22, "negative"));
    pack::put32(b, frame0 + 22, 16);
    b[scene + 340 + 30] = 1;  // RLE background
    EXPECT_TRUE(has(problems(), Severity::Error, scene + 340 + 30, "compressed"));
    b[scene + 340 + 30] = 0;
    std::fill(b.begin() + static_cast<std::ptrdiff_t>(scene),
              b.begin() + static_cast<std::ptrdiff_t>(scene + 300), 'T');
    const auto r = parse(b);
    EXPECT_TRUE(has(r.problems, Severity::Error, scene, "no NUL"));
    EXPECT_EQ(r.scene.title.size(), 299u);
}

TEST_F(PackDamage, FieldsThatAreNotReadAreNotChecked) {
    // Layer 3 is off: its set fields may point anywhere. Mode 4 ignores the tile fields.
    const std::size_t chunk3 = static_cast<std::size_t>(at32(b, 32));
    pack::put32(b, chunk3 + 4, -1000);
    pack::put32(b, chunk3 + 8, 1 << 30);
    pack::put32(b, scene + 304, -77);
    pack::put32(b, 8 * 12 + 4, 12345);  // entry 12 without a sound
    pack::put32(b, 8 * 4 + 4, 0);       // directory sizes are not read
    EXPECT_TRUE(problems().empty()) << listing(problems());

    // An enabled layer's settings that index tables are clamped by the
    // saver: warned of, with what it uses instead.
    pack::put32(b, chunk0 + 12, 51);
    pack::put32(b, chunk0 + 52, 5);
    const auto p = problems();
    EXPECT_FALSE(pack::has_errors(p));
    EXPECT_TRUE(has(p, Severity::Warning, chunk0 + 12, "instance count 51 is outside 0..50; the saver uses 50"));
    EXPECT_TRUE(has(p, Severity::Warning, chunk0 + 52, "speed class 5 is outside 0..4; the saver uses 4"));
}

TEST_F(PackDamage, SoundMustBeAWavThatFits) {
    pack::Package p = sg::test::ready_package(0);
    p.scene.sound = sg::test::silent_wav(10);
    b = build(p);
    ASSERT_TRUE(problems().empty()) << listing(problems());
    const std::size_t wav = scene + 340;
    pack::put32(b, wav + 4, static_cast<std::int32_t>(b.size()));
    EXPECT_TRUE(has(problems(), Severity::Error, wav + 4, "runs past the end"));
    b[wav] = 'X';
    EXPECT_TRUE(has(problems(), Severity::Error, wav, "not a WAV"));
}

TEST_F(PackDamage, AnyCorruptionIsReportedNotCrashedOn) {
    // Every truncation of the directory and headers, and bytes overwritten
    // at random all over: the reader must stay inside the bytes it is given
    // (the sanitizer build catches any stray read) and always return.
    pack::Package p = sg::test::ready_package(4, 0);
    p.scene.sound = sg::test::silent_wav(8);
    const Bytes good = build(p);
    for (std::size_t size = 0; size < 600; ++size) (void)pack::package_parse(good.data(), size);
    std::uint32_t seed = 12345;
    const auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int round = 0; round < 3000; ++round) {
        Bytes bad = good;
        for (int n = 1 + static_cast<int>(next() % 4); n > 0; --n) {
            // Aim most hits at the directory, headers and tables.
            const std::size_t limit = next() % 2 ? 700 : bad.size();
            bad[next() % limit] = static_cast<std::uint8_t>(next() % 3 ? next() : 0xFF);
        }
        bad.resize(bad.size() - next() % 64);
        const pack::PackageRead r = parse(bad);
        for (const auto& problem : r.problems) ASSERT_FALSE(problem.message.empty());
    }
}

}  // namespace
