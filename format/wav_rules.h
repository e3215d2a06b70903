// A WAV image's chunks, as the Linux program checks them before its sound
// library reads them (and validate warns of them): a chunk
// that claims more bytes than the image has (a data chunk of about 4 GB in a
// few kilobytes) would make it reserve that much memory.
#pragma once

#include <cstddef>
#include <cstdint>

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

}  // namespace sg::format
