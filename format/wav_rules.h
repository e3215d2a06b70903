// A WAV image as the players take it from memory: Windows' and the Linux
// program's play a "RIFF" ... "WAVE" image whose chunks all lie inside its
// RIFF length, and stay silent on anything else. The Linux program checks
// this before its sound library reads the image (a data chunk of about 4 GB
// in a few kilobytes would make it reserve that much memory), validate
// calls a sound that fails it an error, and the tests ask it whether the
// sound the saver handed over plays. The authoring tool reads the format
// and data chunks through the same walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "format/bytes.h"

namespace sg::format {

// "RIFF" at 0 and "WAVE" at 8 of the first `size` bytes.
inline bool wav_is_riff_wave(const std::uint8_t* image, std::size_t size) {
    return image != nullptr && size >= 12 && std::memcmp(image, "RIFF", 4) == 0 &&
           std::memcmp(image + 8, "WAVE", 4) == 0;
}

// One chunk of a WAV image, as its 8-byte header describes it.
struct WavChunk {
    const std::uint8_t* header = nullptr;  // the id, then the length
    std::size_t at = 0;                    // the header's offset in the image
    std::uint32_t length = 0;              // the bytes the header claims after itself
    bool fits = false;                     // whether they lie inside the bytes walked
    bool is(const char* id) const { return std::memcmp(header, id, 4) == 0; }
};

// Walks the chunks after the 12-byte RIFF header whose headers lie inside
// the first `size` bytes, in order, calling visit(chunk) on each (chunks are
// padded to an even length). Stops when visit returns false, or after
// visiting a chunk that claims more than there is; false in that last case
// (and when there is no header to walk from), true otherwise.
template <class Visit>
bool wav_walk_chunks(const std::uint8_t* image, std::size_t size, Visit&& visit) {
    if (image == nullptr || size < 12) return false;
    // at never passes size + 1, so at + 8 cannot wrap.
    for (std::size_t at = 12; at + 8 <= size;) {
        WavChunk chunk{image + at, at, read_u32(image + at + 4), false};
        chunk.fits = chunk.length <= size - (at + 8);
        if (!visit(static_cast<const WavChunk&>(chunk))) return true;
        if (!chunk.fits) return false;
        at += 8 + static_cast<std::size_t>(chunk.length) + (chunk.length & 1);
    }
    return true;
}

// True when every chunk after "RIFF....WAVE" lies inside the first `size`
// bytes of the image.
inline bool wav_chunks_fit(const std::uint8_t* image, std::size_t size) {
    return wav_walk_chunks(image, size, [](const WavChunk&) { return true; });
}

// The bytes the image's RIFF header says it has, header included; the
// first 8 bytes must be readable.
inline std::uint64_t wav_riff_bytes(const std::uint8_t* image) { return 8 + std::uint64_t{read_u32(image + 4)}; }

// Whether a player plays the image, of which `available` bytes are
// readable: "RIFF", a length within what is readable, "WAVE", and chunks
// that fit that length.
inline bool wav_plays(const std::uint8_t* image, std::size_t available) {
    if (!wav_is_riff_wave(image, available)) return false;
    const std::uint64_t riff = wav_riff_bytes(image);
    return riff <= available && wav_chunks_fit(image, static_cast<std::size_t>(riff));
}

}  // namespace sg::format
