// A WAV image as the players take it from memory: Windows' and the Linux
// program's play a "RIFF" ... "WAVE" image whose chunks all lie inside its
// RIFF length, and stay silent on anything else. The Linux program checks
// this before its sound library reads the image (a data chunk of about 4 GB
// in a few kilobytes would make it reserve that much memory), validate
// calls a sound that fails it an error, and the tests ask it whether the
// sound the saver handed over plays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sg::format {

// True when every chunk after "RIFF....WAVE" lies inside the first `size`
// bytes of the image (chunks are padded to an even length).
inline bool wav_chunks_fit(const std::uint8_t* image, std::size_t size) {
    if (image == nullptr || size < 12) return false;
    std::size_t at = 12;
    while (at + 8 <= size) {
        const std::uint64_t length = std::uint64_t{image[at + 4]} | std::uint64_t{image[at + 5]} << 8 |
                                     std::uint64_t{image[at + 6]} << 16 |
                                     std::uint64_t{image[at + 7]} << 24;
        if (length > size - (at + 8)) return false;
        at += 8 + static_cast<std::size_t>(length) + (length & 1);
    }
    return true;
}

// The bytes the image's RIFF header says it has, header included; the
// first 8 bytes must be readable.
inline std::uint64_t wav_riff_bytes(const std::uint8_t* image) {
    return 8 + (std::uint64_t{image[4]} | std::uint64_t{image[5]} << 8 | std::uint64_t{image[6]} << 16 |
                std::uint64_t{image[7]} << 24);
}

// Whether a player plays the image, of which `available` bytes are
// readable: "RIFF", a length within what is readable, "WAVE", and chunks
// that fit that length.
inline bool wav_plays(const std::uint8_t* image, std::size_t available) {
    if (image == nullptr || available < 12) return false;
    if (std::memcmp(image, "RIFF", 4) != 0 || std::memcmp(image + 8, "WAVE", 4) != 0) return false;
    const std::uint64_t riff = wav_riff_bytes(image);
    return riff <= available && wav_chunks_fit(image, static_cast<std::size_t>(riff));
}

}  // namespace sg::format
