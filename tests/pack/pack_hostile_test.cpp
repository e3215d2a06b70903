// Scene folders from strangers: pictures that leave no key colour free,
// files that are no regular file, paths that leave the folder, and scenes
// too large for any package. Each is refused with a message, in bounded time
// and memory.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/pack_files.h"
#include "tools/core/check.h"
#include "tools/core/container.h"
#include "tools/core/icon.h"
#include "tools/core/inspect.h"
#include "tools/core/safe_files.h"
#include "tools/packlib/packlib.h"

using namespace packfiles;

namespace {

// Visible pixels of every colour `colour(i)` gives for i in [0, n), after a
// transparent top-left pixel, as a 32-bit BMP `width` wide.
template <class Colour>
Bytes keyed_bmp(int width, std::size_t n, Colour colour) {
    const int height = static_cast<int>((n + 1 + width - 1) / width);
    std::vector<Rgba> px(static_cast<std::size_t>(width) * height, Rgba{0, 0, 0, 255});
    px[0] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t c = colour(i);
        px[i + 1] = {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c), 255};
    }
    return bmp32(width, height, px);
}

const char* TOP_LEFT = "title = \"t\"\n[[layer]]\nframes = [\"f.bmp\"]\nmask = \"top-left\"\n";

}  // namespace

class PackHostile : public SceneDir {};

// The walk over the colour cube reaches one colour in eight: a picture that
// shows all of those and the preferred keys still has a free colour.
TEST_F(PackHostile, KeyColourIsFoundWhenTheStridedColoursAreAllTaken) {
    const std::uint32_t preferred[] = {0xff00ff, 0x00ff00, 0xffff00, 0x00ffff};
    const std::size_t walk = 1u << 21;
    write("f.bmp", keyed_bmp(2048, walk + 4, [&](std::size_t i) {
              return i < 4 ? preferred[i] : (0x010203u + static_cast<std::uint32_t>(i - 4) * 0x070708u) & 0xffffff;
          }));
    const auto built = build(TOP_LEFT);
    const auto image = *sg::pack::bmp_image(built.package.layers[0].set->frames[0].bmp.data(),
                                            built.package.layers[0].set->frames[0].bmp.size());
    const std::uint8_t* key = image.bgr.data();
    const std::uint32_t k = key[0] | (key[1] << 8) | (key[2] << 16);
    EXPECT_NE(k % 8, 3u);  // every colour of the walk is taken
    std::size_t keyed = 0;
    for (std::size_t p = 0; p < walk + 5; ++p)
        keyed += (image.bgr[3 * p] | (image.bgr[3 * p + 1] << 8) | (image.bgr[3 * p + 2] << 16)) == static_cast<int>(k);
    EXPECT_EQ(keyed, 1u);
}

TEST_F(PackHostile, KeyColourRefusedWhenEveryColourIsVisible) {
    write("f.bmp", keyed_bmp(4096, std::size_t{1} << 24, [](std::size_t i) { return static_cast<std::uint32_t>(i); }));
    const std::string error = error_of(TOP_LEFT);
    EXPECT_NE(error.find("layer[0].frames[0]: f.bmp: its visible pixels show every one of the 16777216 colours"),
              std::string::npos)
        << error;
}

// Only regular files are read, never past the limit; a FIFO with no writer
// is refused at once instead of blocking.
TEST_F(PackHostile, FilesThatAreNoRegularFileAreRefusedWithoutReading) {
    using sg::packtool::read_regular_file;
    auto refusal = [](const std::filesystem::path& p, std::uint64_t limit) -> std::string {
        try {
            read_regular_file(p, limit);
        } catch (const sg::packtool::Failure& e) {
            return e.what();
        }
        return "read";
    };
    EXPECT_EQ(refusal("/dev/zero", 1 << 20), "/dev/zero: is a device, not a regular file");
    ASSERT_EQ(::mkfifo((dir / "pipe.png").c_str(), 0600), 0);
    EXPECT_NE(refusal(dir / "pipe.png", 1 << 20).find("is a FIFO, not a regular file"), std::string::npos);
    EXPECT_NE(refusal(dir, 1 << 20).find("is a directory, not a file"), std::string::npos);
    write("big.png", Bytes(100, 1));
    EXPECT_NE(refusal(dir / "big.png", 99).find("big.png: is 100 bytes; at most 99 are read here"), std::string::npos);
    EXPECT_EQ(read_regular_file(dir / "big.png", 100).size(), 100u);

    // Through a manifest, at the setting that names it.
    const std::string error = error_of("title = \"t\"\n[[layer]]\nframes = [\"pipe.png\"]\n");
    EXPECT_NE(error.find("scene.toml:3: layer[0].frames[0]: "), std::string::npos) << error;
    EXPECT_NE(error.find("is a FIFO"), std::string::npos) << error;
}

// A manifest names files inside its own folder: no absolute path, no `..`
// and no symlink leading out; a symlink that stays inside is followed.
TEST_F(PackHostile, PathsStayInsideTheManifestsFolder) {
    write("secret", std::string(100, 'k'));
    const std::filesystem::path scene = dir / "scene";
    std::filesystem::create_directories(scene / "sub");
    write("scene/in.bin", std::string(10, 'b'));
    std::filesystem::create_symlink("../secret", scene / "out.bin");
    std::filesystem::create_symlink("in.bin", scene / "alias.bin");
    auto error = [&](const std::string& file) -> std::string {
        const std::string text = "title = \"t\"\n[leftovers]\noptional_block_2 = \"" + file + "\"\n";
        try {
            sg::packtool::build_manifest_text(text, "scene.toml", scene);
        } catch (const sg::packtool::Failure& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_NE(error((dir / "secret").string()).find("is an absolute path"), std::string::npos);
    EXPECT_NE(error("../secret").find("leads outside the manifest's folder"), std::string::npos);
    EXPECT_NE(error("sub/../../secret").find("leads outside the manifest's folder"), std::string::npos);
    EXPECT_NE(error("out.bin").find("scene.toml:3: leftovers.optional_block_2: out.bin: leads outside"), std::string::npos);
    EXPECT_EQ(error("alias.bin"), "");
    EXPECT_EQ(error("in.bin"), "");
}

// The scene's files are weighed against its budget as they are read: a
// picture that would pass it is refused by its header, before it is decoded.
TEST_F(PackHostile, ScenesLargerThanTheirBudgetAreRefusedBeforeDecoding) {
    write("a.png", png_rgba(16, 16, fill(256, {1, 2, 3, 255})));
    // A header that declares 8192 x 8192 pixels, and no pixel data at all.
    Bytes huge = png_rgba(1, 1, fill(1, {1, 2, 3, 255}));
    put_le(huge, 16, 0x00200000, 4);  // width 8192, big-endian
    put_le(huge, 20, 0x00200000, 4);
    write("huge.png", huge);
    auto error = [&](const std::string& frames, std::uint64_t budget) -> std::string {
        try {
            sg::packtool::build_manifest_text("title = \"t\"\n[[layer]]\nframes = [" + frames + "]\n", "scene.toml", dir, budget);
        } catch (const sg::packtool::Failure& e) {
            return e.what();
        }
        return "";
    };
    const std::uint64_t frame = 54 + 16 * 48;  // a 16 x 16 frame as stored
    EXPECT_EQ(error("\"a.png\", \"a.png\"", 2 * frame), "");
    EXPECT_NE(error("\"a.png\", \"a.png\", \"a.png\"", 2 * frame).find("layer[0].frames[2]: a.png: would take 822 bytes"),
              std::string::npos);
    // Decoded, huge.png would be refused as unreadable: the budget speaks first.
    EXPECT_NE(error("\"a.png\", \"huge.png\"", 100 << 20).find("frames[1]: huge.png: would take 201326646 bytes (192 MiB)"),
              std::string::npos);
    const std::string alone = error("\"huge.png\"", sg::packtool::MAX_SCENE_BYTES);
    EXPECT_NE(alone.find("huge.png: not a readable PNG"), std::string::npos) << alone;
}

// A BMP header may declare rows past what 64 bits count: the span is
// weighed without wrapping, and the picture is refused by its name.
TEST(PackHostileFiles, HugeDeclaredBmpsAreRefusedByName) {
    Bytes bmp(54, 0);
    bmp[0] = 'B', bmp[1] = 'M';
    put_le(bmp, 10, 54, 4);
    put_le(bmp, 14, 40, 4);
    put_le(bmp, 18, 2147483647u, 4);
    put_le(bmp, 22, 2000000000u, 4);
    put_le(bmp, 26, 1, 2);
    put_le(bmp, 28, 24, 2);
    const auto h = sg::pack::bmp_header(bmp.data(), bmp.size());
    EXPECT_GT(h.rowsEnd, 0);
    EXPECT_FALSE(h.rowsFit);
    EXPECT_FALSE(sg::pack::bmp_image(bmp.data(), bmp.size()));
    try {
        sg::packtool::icon_images(bmp, "huge.bmp");
        ADD_FAILURE() << "a picture of 2147483647 x 2000000000 was taken";
    } catch (const sg::packtool::Failure& e) {
        EXPECT_EQ(std::string(e.what()).rfind("huge.bmp: ", 0), 0u) << e.what();
    }
}

// A 32-bit BMP with bit fields, as build takes for a frame, makes an icon too.
TEST(PackHostileFiles, ThirtyTwoBitBitfieldBmpsMakeIcons) {
    const Bytes bmp = bmp32(8, 8, fill(64, {200, 10, 10, 255}), 3);
    const std::vector<Bytes> images = sg::packtool::icon_images(bmp, "icon.bmp");
    EXPECT_EQ(images.size(), 6u);
}

// inspect shows the optional blocks a package carries, so that a file the
// author never meant to ship stands out.
TEST_F(PackHostile, InspectShowsEveryOptionalBlock) {
    write("block.bin", std::string(40, 'k'));
    const auto built = build("title = \"t\"\n[leftovers]\noptional_block_2 = \"block.bin\"\n");
    const Bytes bytes = sg::pack::package_bytes(built.package);
    const auto source = sg::packtool::source_from_bytes(bytes, "p.kavren");
    const auto checked = sg::packtool::check_package(source.package);
    EXPECT_NE(sg::packtool::inspect_text(source, checked).find("block:       optional_block_2, 52428 bytes, 40 not zero"),
              std::string::npos);
    EXPECT_NE(sg::packtool::inspect_json(source, checked).find("{\"name\": \"optional_block_2\", \"bytes\": 52428, \"not_zero\": 40}"),
              std::string::npos);
}
