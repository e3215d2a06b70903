// The WAV chunk check the Linux program makes before its sound library
// reserves memory for what a chunk claims.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "format/wav_rules.h"

namespace {

// RIFF WAVE with a 16-byte fmt chunk and a data chunk of `dataBytes` bytes
// that claims `claimed`.
std::vector<std::uint8_t> wav(std::uint32_t dataBytes, std::uint32_t claimed) {
    std::vector<std::uint8_t> b(12 + 8 + 16 + 8 + dataBytes, 0);
    b[0] = 'R', b[1] = 'I', b[2] = 'F', b[3] = 'F';
    sg::format::write_u32(&b[4], static_cast<std::uint32_t>(b.size() - 8));
    b[8] = 'W', b[9] = 'A', b[10] = 'V', b[11] = 'E';
    b[12] = 'f', b[13] = 'm', b[14] = 't', b[15] = ' ';
    sg::format::write_u32(&b[16], 16);
    b[36] = 'd', b[37] = 'a', b[38] = 't', b[39] = 'a';
    sg::format::write_u32(&b[40], claimed);
    return b;
}

TEST(WavCheck, ChunksInsideTheImageFit) {
    const auto ok = wav(100, 100);
    EXPECT_TRUE(sg::format::wav_chunks_fit(ok.data(), ok.size()));
    const auto odd = wav(101, 101);  // padded to even: the pad may be missing at the end
    EXPECT_TRUE(sg::format::wav_chunks_fit(odd.data(), odd.size()));
}

TEST(WavCheck, AChunkClaimingMoreThanIsThereDoesNot) {
    const auto huge = wav(100, 0xFFFFFFF0u);
    EXPECT_FALSE(sg::format::wav_chunks_fit(huge.data(), huge.size()));
    const auto oneMore = wav(100, 101);
    EXPECT_FALSE(sg::format::wav_chunks_fit(oneMore.data(), oneMore.size()));
    EXPECT_FALSE(sg::format::wav_chunks_fit(oneMore.data(), 8));
    EXPECT_FALSE(sg::format::wav_chunks_fit(nullptr, 100));
}

// What the players play: RIFF, WAVE, a RIFF length within what is readable,
// chunks within that length. The header-only and the not-WAVE images are the
// ones the engine hands over (it checks only "RIFF" and the length).
TEST(WavCheck, ThePlayersPlayAWaveImageWhoseChunksFitItsRiffLength) {
    const auto ok = wav(100, 100);
    EXPECT_TRUE(sg::format::wav_plays(ok.data(), ok.size()));
    EXPECT_TRUE(sg::format::wav_plays(ok.data(), ok.size() + 50)) << "bytes after the RIFF data";
    EXPECT_EQ(sg::format::wav_riff_bytes(ok.data()), ok.size());

    auto notWave = ok;
    notWave[8] = 0;
    EXPECT_FALSE(sg::format::wav_plays(notWave.data(), notWave.size()));
    auto notRiff = ok;
    notRiff[3] = 'X';
    EXPECT_FALSE(sg::format::wav_plays(notRiff.data(), notRiff.size()));

    const auto huge = wav(100, 0xFFFFFF00u);
    EXPECT_FALSE(sg::format::wav_plays(huge.data(), huge.size()));
    EXPECT_FALSE(sg::format::wav_plays(ok.data(), ok.size() - 1)) << "a RIFF length past what is readable";

    auto headerOnly = ok;
    sg::format::write_u32(&headerOnly[4], 0);  // RIFF of 8 bytes: no room for WAVE in its length
    EXPECT_FALSE(sg::format::wav_plays(headerOnly.data(), headerOnly.size()));
    auto justWave = ok;
    sg::format::write_u32(&justWave[4], 4);  // RIFF....WAVE and no chunks: nothing claims too much
    EXPECT_TRUE(sg::format::wav_plays(justWave.data(), justWave.size()));
    EXPECT_FALSE(sg::format::wav_plays(ok.data(), 11));
    EXPECT_FALSE(sg::format::wav_plays(nullptr, 100));
}

}  // namespace
