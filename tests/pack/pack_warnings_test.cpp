// build's warnings name the manifest line they concern: sounds that do not
// play everywhere, stretched pictures larger than small screens, packages too
// large to hold, and the package checks' warnings pointed back at the layer
// or frame that caused them.
#include <gtest/gtest.h>

#include "apps/pack/commands.h"
#include "tests/support/pack_files.h"
#include "tools/core/check.h"
#include "tools/core/sounds.h"
#include "tools/packlib/packlib.h"

using namespace packfiles;
using sg::packtool::wav_encoding_warning;

namespace {

bool has(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& l : lines)
        if (l.find(text) != std::string::npos) return true;
    return false;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

}  // namespace

class PackWarnings : public SceneDir {
protected:
    // Everything build would warn about for this manifest.
    std::vector<std::string> warnings(const std::string& manifest) {
        auto built = build(manifest);
        Bytes bytes = sg::pack::package_bytes(built.package);
        return sg::packtool::build_warnings(built, bytes, sg::packtool::check_package(bytes).problems);
    }
};

TEST(PackSounds, EveryEncodingButPcmIsNamedWithWhereItPlays) {
    EXPECT_FALSE(wav_encoding_warning(wav(0x0001)));
    EXPECT_FALSE(wav_encoding_warning(wav(0xfffe, 16, 0x0001)));  // extensible PCM
    auto mp3 = wav_encoding_warning(wav(0x0055));
    ASSERT_TRUE(mp3);
    EXPECT_NE(mp3->find("MP3"), std::string::npos);
    EXPECT_NE(mp3->find("Linux program cannot play it"), std::string::npos);
    EXPECT_NE(mp3->find("Windows plays it only through an installed MP3 codec"), std::string::npos);
    EXPECT_NE(mp3->find("PCM"), std::string::npos);
    const std::pair<std::uint16_t, const char*> played[] = {
        {0x0011, "IMA ADPCM"}, {0x0002, "Microsoft ADPCM"}, {0x0006, "A-law"}, {0x0007, "\xc2\xb5-law"}};
    for (auto [tag, name] : played) {
        auto w = wav_encoding_warning(wav(tag));
        ASSERT_TRUE(w) << name;
        EXPECT_NE(w->find(name), std::string::npos) << *w;
        EXPECT_NE(w->find("the Linux program plays it, Windows plays it through its audio codecs"), std::string::npos) << *w;
    }
    auto floating = wav_encoding_warning(wav(0xfffe, 16, 0x0003));
    ASSERT_TRUE(floating);
    EXPECT_NE(floating->find("32-bit float"), std::string::npos);
    auto odd = wav_encoding_warning(wav(0x1234));
    ASSERT_TRUE(odd);
    EXPECT_NE(odd->find("format 0x1234"), std::string::npos);

    // Chunks before fmt are stepped over, padding byte included.
    Bytes listed = wav(0x0055);
    Bytes chunk = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    listed.insert(listed.begin() + 12, chunk.begin(), chunk.end());
    EXPECT_NE(wav_encoding_warning(listed)->find("MP3"), std::string::npos);
    // A fmt chunk that runs past the file is no format at all.
    Bytes cut = wav(0x0001);
    cut.resize(30);
    EXPECT_NE(wav_encoding_warning(cut)->find("no readable format chunk"), std::string::npos);
}

TEST_F(PackWarnings, SoundsAndStretchedPicturesAtTheirLines) {
    write("song.wav", wav(0x0055));
    write("beep.wav", wav(0x0001));
    auto w = warnings("title = \"t\"\nsound = \"song.wav\"\n");
    EXPECT_TRUE(has(w, "scene.toml:2: sound: song.wav: the WAV holds MP3 audio")) << joined(w);

    write("wide.png", png_rgba(1400, 700, fill(1400 * 700, {10, 20, 30, 255})));
    write("fits.png", png_rgba(1366, 768, fill(1366 * 768, {10, 20, 30, 255})));
    w = warnings("title = \"t\"\nbackground = \"picture\"\n\npicture = \"wide.png\"\nsound = \"beep.wav\"\n");
    EXPECT_TRUE(has(w, "scene.toml:4: picture: 1400 x 700 is larger than small screens (1366 x 768)")) << joined(w);
    EXPECT_TRUE(has(w, "dark streaks. Make it 1366 x 768 or smaller")) << joined(w);
    EXPECT_TRUE(has(w, "resize = \"screen\" } scales it to that size at build")) << joined(w);
    EXPECT_FALSE(has(w, "sound")) << joined(w);  // PCM plays everywhere
    w = warnings("title = \"t\"\nbackground = \"picture\"\nfit = \"centred\"\npicture = \"wide.png\"\n");
    EXPECT_FALSE(has(w, "small screens")) << joined(w);
    w = warnings("title = \"t\"\nbackground = \"picture\"\npicture = \"fits.png\"\n");
    EXPECT_FALSE(has(w, "small screens")) << joined(w);
}

TEST_F(PackWarnings, PackageChecksPointAtTheLayerOrFrameTheyConcern) {
    write("small.png", png_rgba(4, 4, fill(16, {200, 10, 10, 255})));
    write("big.png", png_rgba(400, 300, fill(400 * 300, {200, 10, 10, 255})));
    auto w = warnings("title = \"t\"\n[[layer]]\nframes = [\n  \"small.png\",\n  \"big.png\",\n]\n[[layer]]\ninstances = 0\nframes = [\"small.png\"]\n");
    EXPECT_TRUE(has(w, "scene.toml:5: layer[0].frames[1]: 400 x 300 is larger than the 320 x 240 preview")) << joined(w);
    EXPECT_TRUE(has(w, "scene.toml:7: layer[1]: no instances: the layer is on but shows nothing")) << joined(w);
    EXPECT_FALSE(has(w, "at byte")) << joined(w);

    // The same through the command, as an author sees it.
    write("scene.toml", "title = \"t\"\n[[layer]]\nframes = [\n  \"small.png\",\n  \"big.png\",\n]\n");
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    const int status = sg::packtool::cmd_build({(dir / "scene.toml").string(), "-o", (dir / "out.kavren").string()});
    const std::string err = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0);
    EXPECT_NE(err.find("warning: " + (dir / "scene.toml").string() + ":5: layer[0].frames[1]: 400 x 300"), std::string::npos) << err;
    EXPECT_EQ(err.find("byte"), std::string::npos) << err;
}

TEST_F(PackWarnings, APackageOverSixteenMegabytesNamesItsLargestPart) {
    write("long.wav", wav(0x0001, 17u << 20));
    write("small.png", png_rgba(4, 4, fill(16, {200, 10, 10, 255})));
    auto w = warnings("title = \"t\"\n\nsound = \"long.wav\"\n[[layer]]\nframes = [\"small.png\"]\n");
    EXPECT_TRUE(has(w, "scene.toml:3: sound: the package is 17.0 MB, more than 16.0 MB: the saver holds all of it in memory"))
        << joined(w);
    write("short.wav", wav(0x0001, 15u << 20));
    EXPECT_FALSE(has(warnings("title = \"t\"\nsound = \"short.wav\"\n"), "the package is"));
}
