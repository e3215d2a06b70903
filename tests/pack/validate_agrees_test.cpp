// validate and the engine agree, both ways: what validate calls an error is
// what the saver refuses (no window, a message box, or a sound the player
// will not play), and what the saver
// plays or clamps validate lets through with at most a warning. Each case
// runs the package through both.
#include <gtest/gtest.h>

#include "platform/headless/scripting.h"
#include "tests/support/fixtures.h"
#include "tools/core/check.h"
#include "tools/packlib/packlib.h"
#include "tools/render/render.h"

namespace {

namespace pack = sg::pack;

struct Verdicts {
    bool validateErrors = false;
    bool validateWarnings = false;
    bool engineRefused = false;  // no window, a message box, or a sound that does not play
};

Verdicts verdicts(const std::vector<std::uint8_t>& bytes) {
    Verdicts v;
    const sg::packtool::Checked checked = sg::packtool::check_package(bytes);
    v.validateErrors = !checked.ok();
    v.validateWarnings = checked.warnings() > 0;
    sg::render::Options options;
    options.width = 160;
    options.height = 120;
    options.ticks = 3;
    const sg::render::Outcome outcome = sg::render::run(bytes, options, nullptr);
    // The scene header's sound switch (offset 332).
    const std::size_t header = std::size_t(pack::get32(bytes, 0));
    const bool soundOn = pack::get32(bytes, header + 332) != 0;
    v.engineRefused = !outcome.windowCreated || !outcome.messages.empty() ||
                      (soundOn && !pf::headless::a_sound_plays());
    return v;
}

void expect_agreement(const char* what, const std::vector<std::uint8_t>& bytes, bool refused) {
    const Verdicts v = verdicts(bytes);
    EXPECT_EQ(v.engineRefused, refused) << what << ": the engine";
    EXPECT_EQ(v.validateErrors, refused) << what << ": validate";
}

// Where the scene's single picture starts (offsets count from the header).
std::size_t scene_picture_at(const std::vector<std::uint8_t>& bytes) {
    const std::size_t header = std::size_t(pack::get32(bytes, 0));
    return header + std::size_t(pack::get32(bytes, header + 316));
}

TEST(ValidateAgrees, ATwentyFourBitPictureWithMoreThan256ColoursUsedIsRefusedByBoth) {
    pack::Package p = sg::test::ready_package(4, 0);
    auto bytes = sg::test::build(p);
    pack::put32(bytes, scene_picture_at(bytes) + 46, 300);
    expect_agreement("colours used 300", bytes, true);
}

TEST(ValidateAgrees, AnEmptyTitleIsRefusedByBoth) {
    pack::Package p = sg::test::ready_package(0, 0);
    p.scene.title = "";
    expect_agreement("empty title", sg::test::build(p), true);
}

TEST(ValidateAgrees, EightBitFramesPlay) {
    pack::Package p = sg::test::ready_package(0, 0);
    pack::Palette8 palette;
    palette.entries = {{0x00, 0xFF, 0x00, 0}, {0x20, 0x40, 0xC0, 0}};
    std::vector<std::uint8_t> indices(16 * 16, 1);
    pack::AnimSet set;
    set.frames.push_back({pack::bmp8(16, 16, indices, palette), 2});
    p.layers.at(0) = sg::test::enabled_layer(set, 3);
    expect_agreement("8-bit frames", sg::test::build(p), false);
}

TEST(ValidateAgrees, ValuesTheSaverClampsAreWarnedOfNotRefused) {
    for (int field : {0, 1, 2, 3}) {
        pack::Package p = sg::test::ready_package(0, 0);
        pack::LayerSettings& s = p.layers.at(0).settings;
        if (field == 0) s.instanceCount = 60;
        if (field == 1) s.speedClass = 9;
        if (field == 2) s.swayAxis = 0, s.swayRow = -3;
        if (field == 3) s.delayMode = 2, s.maxWait = -5;
        const auto bytes = sg::test::build(p);
        expect_agreement("clamped value", bytes, false);
        EXPECT_TRUE(verdicts(bytes).validateWarnings) << "field " << field;
    }
}

TEST(ValidateAgrees, AnInfoLineWithoutItsNulIsCutNotRefused) {
    pack::Package p = sg::test::ready_package(0, 0);
    auto bytes = sg::test::build(p);
    const std::size_t info = std::size_t(pack::get32(bytes, 8 * 11));
    for (std::size_t i = 0; i < 300; ++i) bytes[info + 20 + i] = 'x';
    expect_agreement("info line without NUL", bytes, false);
}

TEST(ValidateAgrees, APictureWhoseSizeFieldSaysTooMuchLoadsFromWhatIsThere) {
    pack::Package p = sg::test::ready_package(4, 0);
    auto bytes = sg::test::build(p);
    const std::size_t header = std::size_t(pack::get32(bytes, 0));
    pack::put32(bytes, header + 320, 0x7FFFFF00);
    const Verdicts v = verdicts(bytes);
    EXPECT_FALSE(v.engineRefused);
    EXPECT_FALSE(v.validateErrors);
    EXPECT_TRUE(v.validateWarnings);
}

// The scene's sound, made by the fixtures, and where its RIFF data starts.
std::vector<std::uint8_t> scene_with_sound(std::size_t* wavAt) {
    pack::Package p = sg::test::ready_package(0, 0);
    p.scene.sound = sg::test::silent_wav(64);
    p.optionalBlock1.assign(120, 0);
    auto bytes = sg::test::build(p);
    const std::size_t header = std::size_t(pack::get32(bytes, 0));
    *wavAt = header + std::size_t(pack::get32(bytes, header + 324));
    return bytes;
}

TEST(ValidateAgrees, ASoundThatPlaysIsNoError) {
    std::size_t wav = 0;
    expect_agreement("a silent WAV", scene_with_sound(&wav), false);
}

// The saver hands the player anything whose RIFF data lies in the package;
// the players refuse a chunk that claims more than the RIFF data holds.
TEST(ValidateAgrees, ASoundChunkClaimingGigabytesIsRefusedByBoth) {
    std::size_t wav = 0;
    auto bytes = scene_with_sound(&wav);
    std::size_t at = wav + 12;
    while (!(bytes[at] == 'd' && bytes[at + 1] == 'a' && bytes[at + 2] == 't' && bytes[at + 3] == 'a'))
        at += 8 + std::size_t(pack::get32(bytes, at + 4));
    pack::put32(bytes, at + 4, static_cast<std::int32_t>(0xFFFFFF00u));
    expect_agreement("a data chunk of 4 GB", bytes, true);
}

// Found by the differential fuzz target: RIFF data that is not "WAVE" (and
// a RIFF length too short to hold it) went to the player, which stays
// silent, while the target counted the call as the sound playing.
TEST(ValidateAgrees, RegressionRiffDataThatIsNotAWaveIsRefusedByBoth) {
    std::size_t wav = 0;
    auto bytes = scene_with_sound(&wav);
    bytes[wav + 8] = 'X';
    expect_agreement("RIFF....XAVE", bytes, true);
    bytes = scene_with_sound(&wav);
    pack::put32(bytes, wav + 4, 0);
    expect_agreement("a RIFF length of 0", bytes, true);
}

}  // namespace
