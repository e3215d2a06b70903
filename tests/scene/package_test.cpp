// The package copy-out: what is taken, what is ignored, and every block that
// lies outside the package refused like a missing package (no read past the
// end: run under AddressSanitizer, the bytes are an exactly sized heap block).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/headless/scripting.h"
#include "scene/package.h"
#include "tests/support/shell_support.h"

namespace {

using namespace shell_test;
namespace hl = pf::headless;

constexpr std::size_t SCENE_ENTRY = 0;
constexpr std::size_t INFO_ENTRY = 11;

pack::Package full_package() {
    pack::Package p = base_package("package test");
    p.layers[0] = still_sprite(solid(4, 4, {1, 2, 3}), 5, 5);
    p.layers[9].settings.setOffset = 9999;  // disabled: leftovers never read
    p.layers[9].settings.setSize = 123456;
    p.layers[9].keepSetFields = true;
    p.info.lineShown = {1, 0, 1, 0, 7};
    return p;
}

std::int32_t entry_offset(const pack::Bytes& b, std::size_t entry) {
    return pack::get32(b, 8 * entry);
}

// A package copied out of exactly these bytes, held in a heap block of
// exactly their size that lives as long as the package does.
struct CopiedOut {
    std::unique_ptr<std::uint8_t[]> bytes;
    sg::Package package;
    int result = 0;
};

std::unique_ptr<CopiedOut> copy_out(const pack::Bytes& bytes) {
    auto out = std::make_unique<CopiedOut>();
    hl::reset();
    out->bytes = std::make_unique<std::uint8_t[]>(bytes.size() ? bytes.size() : 1);
    if (!bytes.empty()) std::memcpy(out->bytes.get(), bytes.data(), bytes.size());
    hl::set_package(out->bytes.get(), bytes.size());
    out->result = sg::package_copy_out(out->package, nullptr);
    if (out->package.packageBase != nullptr) {
        EXPECT_EQ(out->package.packageBase, out->bytes.get());
        EXPECT_EQ(out->package.packageSize, bytes.size());
    }
    return out;
}

void expect_refused(const pack::Bytes& bytes, const char* what) {
    const auto out = copy_out(bytes);
    EXPECT_EQ(out->result, 0) << what;
    EXPECT_EQ(out->package.packageBase, nullptr) << what;
    EXPECT_EQ(out->package.packageSize, 0u) << what;
    EXPECT_TRUE(hl::message_boxes().empty()) << what << ": the program reports it";
}

TEST(Package, CopiesTheFixedBlocks) {
    const pack::Bytes bytes = pack::package_bytes(full_package());
    const auto out = copy_out(bytes);
    ASSERT_EQ(out->result, 1);
    const sg::Package& p = out->package;
    EXPECT_TRUE(hl::message_boxes().empty());
    EXPECT_EQ(std::memcmp(&p.packageDirectory, bytes.data(), 112), 0);
    EXPECT_EQ(std::memcmp(&p.sceneHeader, bytes.data() + entry_offset(bytes, SCENE_ENTRY), 340), 0);
    EXPECT_STREQ(p.sceneHeader.title, "package test");
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(std::memcmp(&p.layerBlocks[k], bytes.data() + entry_offset(bytes, 1 + k), 76), 0);
    EXPECT_EQ(p.layerBlocks[0].enabled, 1);
    EXPECT_EQ(p.layerBlocks[9].setOffset, 9999);
    EXPECT_EQ(std::memcmp(&p.infoBlock, bytes.data() + entry_offset(bytes, INFO_ENTRY), 1520), 0);
    EXPECT_EQ(p.infoBlock.lineShown[4], 7);
    EXPECT_STREQ(p.infoBlock.lines[2], "line three");
}

TEST(Package, DirectorySizesPlayNoPart) {
    pack::Bytes bytes = pack::package_bytes(full_package());
    const auto first = copy_out(bytes);
    ASSERT_EQ(first->result, 1);
    for (std::size_t e = 0; e < 14; ++e) pack::put32(bytes, 8 * e + 4, e % 2 ? 0 : -5);
    const auto second = copy_out(bytes);
    ASSERT_EQ(second->result, 1);
    EXPECT_EQ(std::memcmp(&first->package.sceneHeader, &second->package.sceneHeader,
                          sizeof(sg::SceneHeader)),
              0);
}

TEST(Package, OptionalBlocksOnlyWhenFlagged) {
    pack::Package p = full_package();
    // Flags off: entries 12 and 13 point at real bytes, which are not taken.
    p.entry12 = {0, 200};
    p.entry13 = {112, 60000};
    auto out = copy_out(pack::package_bytes(p));
    ASSERT_EQ(out->result, 1);
    for (std::uint8_t b : out->package.optionalBlock1) ASSERT_EQ(b, 0);
    for (std::uint8_t b : out->package.optionalBlock2) ASSERT_EQ(b, 0);

    // Flags on: both are copied.
    p.scene.sound = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
    p.optionalBlock1.assign(120, 0xA1);
    p.scene.optionalBlock2Present = 1;
    p.optionalBlock2.assign(52428, 0xB2);
    p.optionalBlock2.back() = 0xB3;
    out = copy_out(pack::package_bytes(p));
    ASSERT_EQ(out->result, 1);
    EXPECT_EQ(out->package.sceneHeader.soundEnabled, 1);
    EXPECT_EQ(out->package.optionalBlock1[0], 0xA1);
    EXPECT_EQ(out->package.optionalBlock1[119], 0xA1);
    EXPECT_EQ(out->package.optionalBlock2[0], 0xB2);
    EXPECT_EQ(out->package.optionalBlock2[52427], 0xB3);
}

// The text record changes the code page and nothing an engine copies out,
// with or without a sound; one the engine cannot use leaves texts at 932.
TEST(Package, TextRecordNamesTheCodePageAndChangesNoBlock) {
    for (const bool sound : {false, true}) {
        pack::Package p = full_package();
        if (sound) p.scene.sound = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
        const auto plain = copy_out(pack::package_bytes(p));
        p.textCodePage = 1253;
        const pack::Bytes bytes = pack::package_bytes(p);
        const auto recorded = copy_out(bytes);
        ASSERT_EQ(plain->result, 1);
        ASSERT_EQ(recorded->result, 1);
        EXPECT_EQ(plain->package.textCodePage, 932u);
        EXPECT_EQ(recorded->package.textCodePage, 1253u) << sound;
        const sg::Package& a = plain->package;
        const sg::Package& b = recorded->package;
        EXPECT_EQ(std::memcmp(&a.sceneHeader, &b.sceneHeader, sizeof a.sceneHeader), 0);
        EXPECT_EQ(std::memcmp(&a.layerBlocks, &b.layerBlocks, sizeof a.layerBlocks), 0);
        EXPECT_EQ(std::memcmp(&a.infoBlock, &b.infoBlock, sizeof a.infoBlock), 0);
        // Only with a sound is block 1 copied, and then it holds the record.
        EXPECT_EQ(b.optionalBlock1[0], sound ? 'S' : 0);
        EXPECT_EQ(std::memcmp(a.optionalBlock1 + 12, b.optionalBlock1 + 12, 108), 0);

        // Records the engine cannot use: texts stay Shift-JIS, nothing is refused.
        const std::int32_t at = entry_offset(bytes, 12);
        struct Damage {
            std::size_t offset;
            std::int32_t value;
            const char* what;
        };
        for (const Damage& d : {Damage{4, 2, "version 2"}, Damage{8, 65001, "code page 65001"},
                                Damage{8, 0, "code page 0"}, Damage{0, 0x53475458, "magic reversed"}}) {
            pack::Bytes damaged = bytes;
            pack::put32(damaged, static_cast<std::size_t>(at) + d.offset, d.value);
            const auto out = copy_out(damaged);
            ASSERT_EQ(out->result, 1) << d.what;
            EXPECT_EQ(out->package.textCodePage, 932u) << d.what;
        }
    }
    // Without a sound the record is read wherever entry 12 points, but only
    // when all of it lies inside the package.
    pack::Package p = full_package();
    p.textCodePage = 1250;
    pack::Bytes bytes = pack::package_bytes(p);
    const std::int32_t at = entry_offset(bytes, 12);
    bytes.resize(static_cast<std::size_t>(at) + 11);
    auto out = copy_out(bytes);
    ASSERT_EQ(out->result, 1);
    EXPECT_EQ(out->package.textCodePage, 932u);
    bytes.push_back(0);
    out = copy_out(bytes);
    ASSERT_EQ(out->result, 1);
    EXPECT_EQ(out->package.textCodePage, 1250u);
    for (const std::int32_t offset : {-1, -12, static_cast<std::int32_t>(bytes.size()) - 11}) {
        pack::put32(bytes, 8 * 12, offset);
        out = copy_out(bytes);
        ASSERT_EQ(out->result, 1);
        EXPECT_EQ(out->package.textCodePage, 932u) << offset;
    }
}

TEST(Package, EveryBlockOutsideThePackageIsRefused) {
    const pack::Bytes good = pack::package_bytes(full_package());
    const auto size = static_cast<std::int32_t>(good.size());
    const auto with_entry = [&](std::size_t entry, std::int32_t offset) {
        pack::Bytes b = good;
        pack::put32(b, 8 * entry, offset);
        return b;
    };

    expect_refused(pack::Bytes{}, "empty package");
    expect_refused(pack::Bytes(good.begin(), good.begin() + 111), "directory cut short");
    expect_refused(with_entry(SCENE_ENTRY, size - 339), "scene header one byte short");
    expect_refused(with_entry(SCENE_ENTRY, -1), "negative scene offset");
    expect_refused(with_entry(SCENE_ENTRY, 0x7FFFFFFF), "huge scene offset");
    for (std::size_t k = 0; k < 10; ++k)
        expect_refused(with_entry(1 + k, size - 75), "layer block one byte short");
    expect_refused(with_entry(5, std::int32_t(0x80000000)), "layer offset -2^31");
    expect_refused(with_entry(INFO_ENTRY, size - 1519), "info block one byte short");
    // The last byte is exactly at the end: fine.
    EXPECT_EQ(copy_out(with_entry(INFO_ENTRY, size - 1520))->result, 1);

    pack::Package flagged = full_package();
    flagged.scene.sound = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
    flagged.scene.optionalBlock2Present = 1;
    const pack::Bytes withBlocks = pack::package_bytes(flagged);
    const auto flaggedSize = static_cast<std::int32_t>(withBlocks.size());
    pack::Bytes b = withBlocks;
    pack::put32(b, 8 * 12, flaggedSize - 119);
    expect_refused(b, "optional block 1 one byte short");
    b = withBlocks;
    pack::put32(b, 8 * 13, flaggedSize - 52427);
    expect_refused(b, "optional block 2 one byte short");
    // The same offsets do no harm while the flags are off.
    EXPECT_EQ(copy_out(with_entry(12, 0x7FFFFFF0))->result, 1);
    EXPECT_EQ(copy_out(with_entry(13, -8))->result, 1);
}

TEST(Package, TitleMustEndInsideItsField) {
    pack::Bytes bytes = pack::package_bytes(full_package());
    const std::int32_t scene = entry_offset(bytes, SCENE_ENTRY);
    std::memset(bytes.data() + scene, 'T', 300);
    expect_refused(bytes, "title without NUL");

    bytes[std::size_t(scene) + 299] = 0;  // 299 bytes and the NUL: fills it exactly
    const auto out = copy_out(bytes);
    ASSERT_EQ(out->result, 1);
    EXPECT_EQ(std::strlen(out->package.sceneHeader.title), 299u);
}

// Ranges are checked in 64 bits: an offset and a length that each fit but
// overflow 32 bits together, or that are negative, are outside.
TEST(Package, RangesAndSceneBytesStayInsideThePackage) {
    const pack::Bytes bytes = pack::package_bytes(full_package());
    const auto out = copy_out(bytes);
    ASSERT_EQ(out->result, 1);
    const sg::Package& p = out->package;
    const std::int64_t size = p.packageSize;
    EXPECT_TRUE(sg::package_range_ok(p, 0, size));
    EXPECT_TRUE(sg::package_range_ok(p, size, 0));
    EXPECT_FALSE(sg::package_range_ok(p, size, 1));
    EXPECT_FALSE(sg::package_range_ok(p, 1, size));
    EXPECT_FALSE(sg::package_range_ok(p, -1, 1));
    EXPECT_FALSE(sg::package_range_ok(p, 0, -1));
    EXPECT_FALSE(sg::package_range_ok(p, 0x7FFFFFFF, 0x7FFFFFFF));
    EXPECT_FALSE(sg::package_range_ok(sg::Package{}, 0, 0)) << "no package, no range";

    // From the scene chunk: all of a range inside, part of one that runs
    // past the end, none of one that starts outside.
    const std::int64_t scene = entry_offset(bytes, SCENE_ENTRY);
    int available = -1;
    EXPECT_EQ(sg::package_scene_bytes(p, 0, 340, &available), p.packageBase + scene);
    EXPECT_EQ(available, 340);
    const std::uint8_t* tail = sg::package_scene_bytes(p, size - scene - 10, 0x7FFFFFFF, &available);
    EXPECT_EQ(tail, p.packageBase + size - 10);
    EXPECT_EQ(available, 10);
    for (const std::int64_t offset : {size - scene + 1, std::int64_t{-scene - 1},
                                      std::int64_t{0x7FFFFFFF}}) {
        available = -1;
        EXPECT_EQ(sg::package_scene_bytes(p, offset, 16, &available), p.packageBase) << offset;
        EXPECT_EQ(available, 0) << offset;
    }
    available = -1;
    sg::package_scene_bytes(p, 0, 0, &available);
    EXPECT_EQ(available, 0);
    EXPECT_EQ(sg::package_scene_bytes(sg::Package{}, 0, 16, &available), nullptr);
    EXPECT_EQ(available, 0);
}

TEST(Package, LongestTitleNamesTheGuardAndTheWindow) {
    const std::string title(299, 'Q');
    Program prog;
    prog.package = pack::package_bytes(base_package(title));
    prog.onTick = [&](int t) {
        if (t == 1) {
            EXPECT_EQ(hl::live_guards(), std::vector<std::string>{std::string(299, 'Q')});
            hl::inject_key(prog.window());
        }
    };
    EXPECT_EQ(prog.run("/s"), 0);
    ASSERT_EQ(saver_windows(title).size(), 1u);
    EXPECT_EQ(saver_windows(title)[0].title, title);
    EXPECT_EQ(prog.saver->windowClassName[299], 0);
}

TEST(Package, RefusedPackageEndsTheProgramWithoutAWindow) {
    pack::Bytes bytes = pack::package_bytes(full_package());
    pack::put32(bytes, 8 * INFO_ENTRY, std::int32_t(bytes.size()));
    Program prog;
    prog.package = bytes;
    EXPECT_EQ(prog.run("/s"), 0);
    ASSERT_EQ(hl::message_boxes().size(), 1u);
    EXPECT_EQ(hl::message_boxes()[0].owner, nullptr);
    EXPECT_EQ(hl::message_boxes()[0].text, "err");
    EXPECT_EQ(hl::message_boxes()[0].caption, "hres");
    for (const auto& w : hl::windows()) EXPECT_TRUE(w.foreign);
    EXPECT_TRUE(hl::live_guards().empty()) << "refused before the guard";
}

}  // namespace
