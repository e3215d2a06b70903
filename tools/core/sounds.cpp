#include "tools/core/sounds.h"

#include <cstdio>
#include <cstring>

#include "format/wav_rules.h"

namespace sg::packtool {

namespace {

constexpr std::uint16_t PCM = 0x0001, MS_ADPCM = 0x0002, FLOAT = 0x0003, ALAW = 0x0006, MULAW = 0x0007,
                        IMA_ADPCM = 0x0011, MP3 = 0x0055, EXTENSIBLE = 0xfffe;

std::string tag_name(std::uint16_t tag) {
    switch (tag) {
    case PCM: return "PCM";
    case MS_ADPCM: return "Microsoft ADPCM";
    case FLOAT: return "32-bit float";
    case ALAW: return "A-law";
    case MULAW: return "\xc2\xb5-law";
    case IMA_ADPCM: return "IMA ADPCM";
    case MP3: return "MP3";
    case 0x0050: return "MPEG audio";
    case 0x0160: case 0x0161: case 0x0162: return "Windows Media Audio";
    case 0x0031: return "GSM 6.10";
    default: {
        char text[32];
        std::snprintf(text, sizeof text, "format 0x%04x", tag);
        return text;
    }
    }
}

}  // namespace

std::optional<WavEncoding> wav_encoding(std::span<const std::uint8_t> w) {
    if (!format::wav_is_riff_wave(w.data(), w.size())) return std::nullopt;
    // The first format chunk decides; one that does not fit has no encoding.
    std::optional<WavEncoding> found;
    format::wav_walk_chunks(w.data(), w.size(), [&](const format::WavChunk& chunk) {
        if (!chunk.is("fmt ")) return true;
        if (chunk.length < 2 || !chunk.fits) return false;
        const std::uint8_t* body = chunk.header + 8;
        WavEncoding e;
        e.tag = format::read_u16(body);
        // An extensible header names its real encoding in the sub-format.
        if (e.tag == EXTENSIBLE && chunk.length >= 26) e.tag = format::read_u16(body + 24);
        e.name = tag_name(e.tag);
        found = e;
        return false;
    });
    return found;
}

std::optional<std::string> wav_encoding_warning(std::span<const std::uint8_t> wav) {
    auto e = wav_encoding(wav);
    if (!e) return "the WAV has no readable format chunk: neither Windows nor the Linux program can play it; save it as PCM";
    const std::string pcm = "; save it as PCM (16-bit) to play everywhere";
    switch (e->tag) {
    case PCM: return std::nullopt;
    case MP3:
        return "the WAV holds MP3 audio: Windows plays it only through an installed MP3 codec, and the Linux "
               "program cannot play it at all" + pcm;
    case FLOAT:
        return "the WAV holds 32-bit float audio: the Linux program plays it, Windows plays it on current "
               "systems, older ones may not" + pcm;
    case MS_ADPCM: case IMA_ADPCM: case ALAW: case MULAW:
        return "the WAV holds " + e->name + " audio: the Linux program plays it, Windows plays it through its "
               "audio codecs (ACM), which a trimmed installation may lack" + pcm;
    default:
        return "the WAV holds " + e->name + " audio: the Linux program cannot play it, and Windows only with a "
               "matching codec installed" + pcm;
    }
}

}  // namespace sg::packtool
