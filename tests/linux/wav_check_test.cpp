// The WAV chunk check the Linux program makes before its sound library
// reserves memory for what a chunk claims.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "format/wav_rules.h"

namespace {

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// RIFF WAVE with a 16-byte fmt chunk and a data chunk of `dataBytes` bytes
// that claims `claimed`.
std::vector<std::uint8_t> wav(std::uint32_t dataBytes, std::uint32_t claimed) {
    std::vector<std::uint8_t> b(12 + 8 + 16 + 8 + dataBytes, 0);
    b[0] = 'R', b[1] = 'I', b[2] = 'F', b[3] = 'F';
    put32(b, 4, static_cast<std::uint32_t>(b.size() - 8));
    b[8] = 'W', b[9] = 'A', b[10] = 'V', b[11] = 'E';
    b[12] = 'f', b[13] = 'm', b[14] = 't', b[15] = ' ';
    put32(b, 16, 16);
    b[36] = 'd', b[37] = 'a', b[38] = 't', b[39] = 'a';
    put32(b, 40, claimed);
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

}  // namespace
