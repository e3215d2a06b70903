// extract then build gives back the same bytes: for the default scene, and for
// a package that uses every corner of the format that build can write
// (leftover numbers, sets in switched-off layers, hidden lines, texts that
// have no UTF-8 form, optional blocks, padding).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tools/core/check.h"
#include "tools/core/manifest.h"
#include "tools/core/util.h"
#include "tools/packlib/packlib.h"
#ifdef SG_HAVE_DEFAULT_SCENE
#include "scenes/default/default_scene.h"
#endif

namespace fs = std::filesystem;
using namespace sg::packtool;

namespace {

// Extracts into a fresh directory and builds the manifest found there.
sg::pack::Bytes extract_and_build(const sg::pack::Bytes& package, std::string* manifest = nullptr) {
    fs::path dir = fs::temp_directory_path() / ("pack-roundtrip-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    Checked checked = check_package(package);
    EXPECT_TRUE(checked.ok()) << (checked.problems.empty() ? "" : checked.problems[0].message);
    Extracted x = extract_manifest(checked.read, "test");
    EXPECT_TRUE(x.warnings.empty()) << x.warnings[0];
    write_file_atomic(dir / "scene.toml", x.manifest);
    for (auto& [name, bytes] : x.files) write_file_atomic(dir / name, bytes);
    if (manifest) *manifest = x.manifest;
    sg::pack::Bytes again = sg::pack::package_bytes(build_manifest(dir / "scene.toml").package);
    fs::remove_all(dir);
    return again;
}

sg::pack::Image gradient(int w, int h, int seed) {
    sg::pack::Image image;
    image.width = w;
    image.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.bgr.insert(image.bgr.end(), {static_cast<std::uint8_t>(x * 7 + seed), static_cast<std::uint8_t>(y * 5),
                                               static_cast<std::uint8_t>(seed * 3)});
    return image;
}

sg::pack::Bytes wav(std::size_t samples) {
    sg::pack::Bytes w = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    sg::pack::Bytes fmt = {'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0, 0x11, 0x2b, 0, 0, 0x11, 0x2b, 0, 0, 1, 0, 8, 0,
                           'd', 'a', 't', 'a', 0, 0, 0, 0};
    w.insert(w.end(), fmt.begin(), fmt.end());
    sg::pack::put32(w, 40, static_cast<std::int32_t>(samples));
    for (std::size_t i = 0; i < samples; ++i) w.push_back(static_cast<std::uint8_t>(128 + (i % 16)));
    sg::pack::put32(w, 4, static_cast<std::int32_t>(w.size() - 8));
    return w;
}

sg::pack::AnimSet set_of(int frames, int mask, int size, int seed) {
    sg::pack::AnimSet set;
    set.maskMode = mask;
    for (int i = 0; i < frames; ++i) set.frames.push_back({sg::pack::bmp24(gradient(size, size, seed + i), i % 3), 1 + i});
    return set;
}

}  // namespace

#ifdef SG_HAVE_DEFAULT_SCENE
TEST(PackRoundTrip, DefaultSceneComesBackByteForByte) {
    sg::pack::Bytes original = sg::pack::package_bytes(sg::scenes::default_scene());
    std::string first, second;
    sg::pack::Bytes again = extract_and_build(original, &first);
    ASSERT_EQ(again.size(), original.size());
    EXPECT_TRUE(again == original);
    // And the rebuilt package extracts to the same manifest.
    extract_and_build(again, &second);
    EXPECT_EQ(first, second);
}
#endif

TEST(PackRoundTrip, EveryCornerBuildCanWrite) {
    sg::pack::Package p;
    p.scene.title = "\x83\x58\x83\x6d\x81\x5b";  // スノー
    p.scene.backgroundMode = 4;
    p.scene.pictureFit = 0;
    p.scene.picture = sg::pack::bmp24(gradient(40, 30, 1), 2);
    p.scene.sound = wav(300);
    p.scene.leftoverTileOffset = 123456;
    p.scene.leftoverTileSize = -7;
    p.scene.optionalBlock2Present = 3;
    p.optionalBlock1.assign(120, 0);
    p.optionalBlock1[5] = 0xab;
    p.optionalBlock2.assign(52428, 0);
    p.optionalBlock2[52427] = 0x5a;
    p.info.lineShown = {1, 0, 2, 0, 0};
    p.info.lines = {"about", "hidden text", "", "\xa0\xa0", ""};  // line 3: bytes with no UTF-8 form
    p.layers[0].settings.enabled = 1;
    p.layers[0].settings.instanceCount = 50;
    p.layers[0].settings.directionCode = 3;
    p.layers[0].settings.delayMode = 2;
    p.layers[0].settings.maxWait = 30;
    p.layers[0].settings.placement = 0;
    p.layers[0].settings.startCorner = 2;
    p.layers[0].settings.startY = -16;
    p.layers[0].settings.keepInside = 5;
    p.layers[0].set = set_of(3, 1, 8, 1);
    p.layers[2].settings.enabled = 7;
    p.layers[2].settings.swayAxis = 9;
    p.layers[2].settings.randomStart = 0;
    p.layers[2].set = set_of(20, 0, 4, 2);
    // Switched off, but carrying a set and odd numbers.
    p.layers[4].settings.enabled = 0;
    p.layers[4].settings.speedClass = 77;
    p.layers[4].set = set_of(2, 3, 6, 3);
    // Switched off, with leftover set fields and no set.
    p.layers[6].settings.setOffset = 999;
    p.layers[6].settings.setSize = 31;
    p.layers[6].settings.reentryCycles = 0;
    p.layers[6].keepSetFields = true;
    p.padTo = 400000;
    sg::pack::Bytes original = sg::pack::package_bytes(p);
    EXPECT_TRUE(extract_and_build(original) == original);

    // The tiled background, no sound: leftover sound fields and directory entries.
    sg::pack::Package q;
    q.scene.title = "tiles";
    q.scene.backgroundMode = 3;
    q.scene.tile = sg::pack::bmp24(gradient(16, 16, 4));
    q.scene.leftoverSoundOffset = 42;
    q.scene.leftoverPictureSize = 9;
    q.entry12 = {0, 1};
    q.entry13 = {132, 77};
    q.layers[9].settings.enabled = 1;
    q.layers[9].set = set_of(1, 2, 5, 5);
    original = sg::pack::package_bytes(q);
    EXPECT_TRUE(extract_and_build(original) == original);
}

// Values outside what the settings allow, which the saver plays all the same
// (validate warns, no error): extract writes them as raw codes, and build
// stores them as they are, with validate's own warnings.
TEST(PackRoundTrip, ValuesTheSaverToleratesComeBackAsRawCodes) {
    sg::pack::Package p;
    p.scene.title = "odd";
    p.scene.backgroundMode = 7;
    sg::pack::LayerSettings& s = p.layers[0].settings;
    s.enabled = 1;
    s.instanceCount = 60;
    s.speedClass = 9;
    s.swayAxis = 0;
    s.swayRow = -3;
    s.delayMode = 5;
    s.maxWait = -4;
    s.reentryCycles = -2;
    s.directionCode = 11;
    s.entryEdge = 12;
    s.placement = 0;
    s.startCorner = 4;
    p.layers[0].set = set_of(2, 7, 8, 1);
    p.layers[0].set->frames[1].duration = -3;
    sg::pack::Bytes original = sg::pack::package_bytes(p);
    std::string manifest;
    EXPECT_TRUE(extract_and_build(original, &manifest) == original) << manifest;
    EXPECT_NE(manifest.find("corner = { code = 4 }"), std::string::npos) << manifest;

    // A picture shown with a fit that has no name.
    sg::pack::Package q;
    q.scene.title = "fit";
    q.scene.backgroundMode = 4;
    q.scene.pictureFit = 3;
    q.scene.picture = sg::pack::bmp24(gradient(8, 8, 2));
    original = sg::pack::package_bytes(q);
    EXPECT_TRUE(extract_and_build(original) == original);

    // build says what validate says, at the manifest's line.
    fs::path dir = fs::temp_directory_path() / ("pack-rawcode-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    write_file_atomic(dir / "frame.bmp", sg::pack::bmp24(gradient(4, 4, 3)));
    write_file_atomic(dir / "scene.toml", std::string("title = \"t\"\n[[layer]]\nframes = [\"frame.bmp\"]\n"
                                                      "start = { corner = { code = 4 } }\n"));
    const Built built = build_manifest(dir / "scene.toml");
    const sg::pack::Bytes bytes = sg::pack::package_bytes(built.package);
    const Checked checked = check_package(bytes);
    const auto warnings = build_warnings(built, bytes, checked.problems);
    ASSERT_EQ(checked.warnings(), 1);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("start corner 4 is not one of 0..3"), std::string::npos) << warnings[0];
    EXPECT_EQ(warnings[0].rfind((dir / "scene.toml").string() + ":2: layer[0]: ", 0), 0u) << warnings[0];
    // A plain number out of range stays a mistake.
    write_file_atomic(dir / "scene.toml", std::string("title = \"t\"\n[[layer]]\nframes = [\"frame.bmp\"]\n"
                                                      "start = { corner = 4 }\n"));
    EXPECT_THROW(build_manifest(dir / "scene.toml"), Failure);
    fs::remove_all(dir);
}

// A set the saver refuses (its layer stays empty) has no manifest form:
// extract says so, and the manifest still builds (with a good set).
TEST(PackRoundTrip, ARefusedSetIsNotedAndTheManifestBuilds) {
    sg::pack::Package p;
    p.scene.title = "refused";
    p.layers[1].settings.enabled = 1;
    p.layers[1].set = set_of(2, 0, 8, 1);
    p.layers[1].set->magic = "AP02";
    const Checked checked = check_package(sg::pack::package_bytes(p));
    ASSERT_FALSE(checked.ok());
    const Extracted x = extract_manifest(checked.read, "test");
    ASSERT_EQ(x.warnings.size(), 1u);
    EXPECT_NE(x.warnings[0].find("layer 1: the saver refuses its animation set"), std::string::npos) << x.warnings[0];
    fs::path dir = fs::temp_directory_path() / ("pack-refused-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    write_file_atomic(dir / "scene.toml", x.manifest);
    for (auto& [name, bytes] : x.files) write_file_atomic(dir / name, bytes);
    const Built built = build_manifest(dir / "scene.toml");
    EXPECT_EQ(built.package.layers[1].set->magic, "AP01");
    EXPECT_TRUE(check_package(sg::pack::package_bytes(built.package)).ok());
    fs::remove_all(dir);
}
