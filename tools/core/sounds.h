// Sounds named by a manifest: which WAV encodings play where.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "tools/core/util.h"

namespace sg::packtool {

// The encoding of a WAV's fmt chunk ("PCM", "MP3", "IMA ADPCM", ...), or
// nullopt when the file has no readable fmt chunk.
struct WavEncoding {
    std::uint16_t tag = 0;  // the format tag, or the sub-format of an extensible one
    std::string name;
};
std::optional<WavEncoding> wav_encoding(std::span<const std::uint8_t> wav);

// A warning for a WAV that is not PCM: its encoding, where it plays and
// where it does not. nullopt for PCM.
std::optional<std::string> wav_encoding_warning(std::span<const std::uint8_t> wav);

}  // namespace sg::packtool
