// The package copy-out: what is taken, what is ignored, and every block that
// lies outside the package refused like a missing package (no read past the
// end: run under AddressSanitizer, the bytes are an exactly sized heap block).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "package/package.h"
#include "platform/headless/scripting.h"
#include "shell_test_support.h"

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

// Runs the copy-out on exactly these bytes, copied into a heap block of
// exactly their size (kept until the next call), and returns its result.
int copy_out(const pack::Bytes& bytes) {
    static std::unique_ptr<std::uint8_t[]> exact;
    hl::reset();
    sg::engine_reset();
    exact = std::make_unique<std::uint8_t[]>(bytes.size() ? bytes.size() : 1);
    if (!bytes.empty()) std::memcpy(exact.get(), bytes.data(), bytes.size());
    hl::set_package(exact.get(), bytes.size());
    const int result = sg::package_copy_out(nullptr);
    if (sg::packageBase != nullptr) {
        EXPECT_EQ(sg::packageBase, exact.get());
        EXPECT_EQ(sg::packageSize, bytes.size());
    }
    return result;
}

void expect_refused(const pack::Bytes& bytes, const char* what) {
    EXPECT_EQ(copy_out(bytes), 0) << what;
    EXPECT_EQ(sg::packageBase, nullptr) << what;
    ASSERT_EQ(hl::message_boxes().size(), 1u) << what;
    EXPECT_EQ(hl::message_boxes()[0].owner, nullptr);
    EXPECT_EQ(hl::message_boxes()[0].text, "err");
    EXPECT_EQ(hl::message_boxes()[0].caption, "hres");
}

TEST(Package, CopiesTheFixedBlocks) {
    const pack::Bytes bytes = pack::package_bytes(full_package());
    ASSERT_EQ(copy_out(bytes), 1);
    EXPECT_TRUE(hl::message_boxes().empty());
    EXPECT_EQ(std::memcmp(&sg::packageDirectory, bytes.data(), 112), 0);
    EXPECT_EQ(std::memcmp(&sg::sceneHeader, bytes.data() + entry_offset(bytes, SCENE_ENTRY), 340),
              0);
    EXPECT_STREQ(sg::sceneHeader.title, "package test");
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(std::memcmp(&sg::layerBlocks[k], bytes.data() + entry_offset(bytes, 1 + k), 76),
                  0);
    EXPECT_EQ(sg::layerBlocks[0].enabled, 1);
    EXPECT_EQ(sg::layerBlocks[9].setOffset, 9999);
    EXPECT_EQ(std::memcmp(&sg::infoBlock, bytes.data() + entry_offset(bytes, INFO_ENTRY), 1520), 0);
    EXPECT_EQ(sg::infoBlock.lineShown[4], 7);
    EXPECT_STREQ(sg::infoBlock.lines[2], "line three");
}

TEST(Package, DirectorySizesPlayNoPart) {
    pack::Bytes bytes = pack::package_bytes(full_package());
    ASSERT_EQ(copy_out(bytes), 1);
    const sg::SceneHeader header = sg::sceneHeader;
    for (std::size_t e = 0; e < 14; ++e) pack::put32(bytes, 8 * e + 4, e % 2 ? 0 : -5);
    ASSERT_EQ(copy_out(bytes), 1);
    EXPECT_EQ(std::memcmp(&header, &sg::sceneHeader, sizeof header), 0);
}

TEST(Package, OptionalBlocksOnlyWhenFlagged) {
    pack::Package p = full_package();
    // Flags off: entries 12 and 13 point at real bytes, which are not taken.
    p.entry12 = {0, 200};
    p.entry13 = {112, 60000};
    ASSERT_EQ(copy_out(pack::package_bytes(p)), 1);
    for (std::uint8_t b : sg::optionalBlock1) ASSERT_EQ(b, 0);
    for (std::uint8_t b : sg::optionalBlock2) ASSERT_EQ(b, 0);

    // Flags on: both are copied.
    p.scene.sound = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
    p.optionalBlock1.assign(120, 0xA1);
    p.scene.optionalBlock2Present = 1;
    p.optionalBlock2.assign(52428, 0xB2);
    p.optionalBlock2.back() = 0xB3;
    ASSERT_EQ(copy_out(pack::package_bytes(p)), 1);
    EXPECT_EQ(sg::sceneHeader.soundEnabled, 1);
    EXPECT_EQ(sg::optionalBlock1[0], 0xA1);
    EXPECT_EQ(sg::optionalBlock1[119], 0xA1);
    EXPECT_EQ(sg::optionalBlock2[0], 0xB2);
    EXPECT_EQ(sg::optionalBlock2[52427], 0xB3);
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
    EXPECT_EQ(copy_out(with_entry(INFO_ENTRY, size - 1520)), 1);

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
    EXPECT_EQ(copy_out(with_entry(12, 0x7FFFFFF0)), 1);
    EXPECT_EQ(copy_out(with_entry(13, -8)), 1);
}

TEST(Package, TitleMustEndInsideItsField) {
    pack::Bytes bytes = pack::package_bytes(full_package());
    const std::int32_t scene = entry_offset(bytes, SCENE_ENTRY);
    std::memset(bytes.data() + scene, 'T', 300);
    expect_refused(bytes, "title without NUL");

    bytes[std::size_t(scene) + 299] = 0;  // 299 bytes and the NUL: fills it exactly
    ASSERT_EQ(copy_out(bytes), 1);
    EXPECT_EQ(std::strlen(sg::sceneHeader.title), 299u);
}

TEST(Package, LongestTitleNamesTheGuardAndTheWindow) {
    const std::string title(299, 'Q');
    Program prog;
    prog.package = pack::package_bytes(base_package(title));
    prog.onTick = [](int t) {
        if (t == 1) {
            EXPECT_EQ(hl::live_guards(), std::vector<std::string>{std::string(299, 'Q')});
            hl::inject_key(sg::saverWindow);
        }
    };
    EXPECT_EQ(prog.run("/s"), 0);
    ASSERT_EQ(saver_windows(title).size(), 1u);
    EXPECT_EQ(saver_windows(title)[0].title, title);
    EXPECT_EQ(sg::windowClassName[299], 0);
}

TEST(Package, RefusedPackageEndsTheProgramWithoutAWindow) {
    pack::Bytes bytes = pack::package_bytes(full_package());
    pack::put32(bytes, 8 * INFO_ENTRY, std::int32_t(bytes.size()));
    Program prog;
    prog.package = bytes;
    EXPECT_EQ(prog.run("/s"), 0);
    ASSERT_EQ(hl::message_boxes().size(), 1u);
    EXPECT_EQ(hl::message_boxes()[0].text, "err");
    for (const auto& w : hl::windows()) EXPECT_TRUE(w.foreign);
    EXPECT_TRUE(hl::live_guards().empty()) << "refused before the guard";
}

}  // namespace
