#include "tools/core/inspect.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "format/wav_rules.h"
#include "tools/core/names.h"
#include "tools/core/quote.h"
#include "tools/core/sjis.h"

namespace sg::packtool {

namespace {

// One setting as inspect shows it: a word (JSON string) or a number/boolean.
struct Setting {
    std::string key;
    std::string value;
    bool word;
};

std::string json_string(const std::string& utf8) { return quote(utf8); }

template <std::size_t N>
Setting word(const char* key, const std::array<std::string_view, N>& words, std::int32_t code) {
    if (code >= 0 && static_cast<std::size_t>(code) < N) return {key, std::string(words[static_cast<std::size_t>(code)]), true};
    return {key, std::to_string(code), false};
}

Setting flag(const char* key, std::int32_t v) {
    return {key, v == 0 ? "false" : v == 1 ? "true" : std::to_string(v), false};
}

Setting number(const char* key, std::int64_t v) { return {key, std::to_string(v), false}; }

std::vector<Setting> layer_settings(const pack::LayerSettings& s) {
    std::vector<Setting> out;
    out.push_back(number("instances", s.instanceCount));
    out.push_back(word("direction", names::DIRECTION, s.directionCode));
    out.push_back(number("speed", s.speedClass));
    if (s.swayAxis == 0 || s.swayAxis == 1) {
        out.push_back(word("sway_axis", names::SWAY_AXIS, s.swayAxis));
        out.push_back(number("sway_row", s.swayRow));
    } else {
        out.push_back({"sway_axis", "none", true});
    }
    out.push_back(word("entry", names::ENTRY, s.entryEdge));
    out.push_back(s.placement == 1 ? Setting{"placement", "random", true} : Setting{"placement", "fixed", true});
    out.push_back(word("start_corner", names::CORNER, s.startCorner));
    out.push_back(number("start_x", s.startX));
    out.push_back(number("start_y", s.startY));
    out.push_back(flag("keep_inside", s.keepInside));
    out.push_back(flag("random_start", s.randomStart));
    out.push_back(number("reentry_cycles", s.reentryCycles));
    out.push_back(word("delay", names::DELAY, s.delayMode));
    out.push_back(number("max_wait", s.maxWait));
    out.push_back(flag("loops", s.loops));
    return out;
}

struct WavInfo {
    bool ok = false;
    int channels = 0;
    int rate = 0;
    int bits = 0;
    double seconds = 0;
};

WavInfo wav_info(const Bytes& w) {
    WavInfo info;
    std::uint32_t byteRate = 0;
    // Every chunk, the last that does not fit included: the data chunk's
    // claimed length gives the time even when the file is cut short.
    format::wav_walk_chunks(w.data(), w.size(), [&](const format::WavChunk& chunk) {
        const std::uint8_t* body = chunk.header + 8;
        if (chunk.is("fmt ") && chunk.at + 24 <= w.size()) {
            info.channels = format::read_u16(body + 2);
            info.rate = static_cast<int>(format::read_u32(body + 4));
            byteRate = format::read_u32(body + 8);
            info.bits = format::read_u16(body + 14);
            info.ok = true;
        }
        if (chunk.is("data") && byteRate) info.seconds = static_cast<double>(chunk.length) / byteRate;
        return true;
    });
    return info;
}

std::string picture_text(const Bytes& bmp) {
    if (bmp.empty()) return "missing (outside the package)";
    pack::BmpHeader h = pack::bmp_header(bmp.data(), bmp.size());
    return std::to_string(h.width) + " x " + std::to_string(h.height) + ", " + std::to_string(h.bitCount) + "-bit, " +
           count_of(bmp.size(), "byte");
}

std::string key_text(const std::array<std::uint8_t, 3>& k) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", k[2], k[1], k[0]);
    return buffer;
}

// The blocks a package may carry besides what the saver shows: each one
// present, with how many of its bytes are not zero (a block of data the
// author never meant to ship stands out).
struct Block {
    const char* name;
    std::size_t bytes;
    std::size_t nonZero;
};

std::vector<Block> optional_blocks(const pack::PackageRead& r) {
    std::vector<Block> out;
    auto add = [&](const char* name, const Bytes& b) {
        out.push_back({name, b.size(), static_cast<std::size_t>(std::count_if(b.begin(), b.end(), [](std::uint8_t v) { return v != 0; }))});
    };
    if (!r.optionalBlock1.empty()) add("optional_block_1", r.optionalBlock1);
    if (r.scene.optionalBlock2Present != 0) add("optional_block_2", r.optionalBlock2);
    return out;
}

const char* kind_name(FileKind k) {
    switch (k) {
    case FileKind::WindowsExe: return "windows-executable";
    case FileKind::LinuxExe: return "linux-executable";
    default: return "package";
    }
}

}  // namespace

std::string monitors_text(format::MonitorMode mode) {
    const auto code = static_cast<std::int32_t>(mode);
    const char* shows = "";
    switch (mode) {
    case format::MonitorMode::Primary: shows = "the primary monitor plays, the others are black"; break;
    case format::MonitorMode::Each: shows = "every monitor plays its own copy at its own size"; break;
    case format::MonitorMode::Span: shows = "one scene over the bounding box of all monitors"; break;
    }
    return names::word_of(names::MONITORS, code) + " (" + shows + ")";
}

std::string problems_text(const pack::Problems& problems) {
    std::string out;
    for (const pack::Problem& p : problems) out += pack::to_string(p) + "\n";
    return out;
}

std::string inspect_text(const Source& source, const Checked& c) {
    std::ostringstream o;
    const pack::PackageRead& r = c.read;
    const pack::Scene& s = r.scene;
    o << "file:        " << source.what << ", package of " << count_of(source.package.size(), "byte") << "\n";
    const std::uint32_t codePage = r.textCodePage;
    o << "title:       " << code_page_display(s.title, codePage) << "\n";
    if (codePage != 932) o << "texts:       code page " << code_page_label(codePage) << "\n";
    o << "background:  " << names::word_of(names::BACKGROUND, s.backgroundMode);
    if (format::background_mode(s.backgroundMode) == format::BackgroundMode::Picture) o << ", " << names::word_of(names::FIT, s.pictureFit) << ", " << picture_text(s.picture);
    if (format::background_mode(s.backgroundMode) == format::BackgroundMode::Tiled) o << ", tile " << picture_text(s.tile);
    o << "\n";
    if (!s.sound.empty()) {
        WavInfo w = wav_info(s.sound);
        o << "sound:       WAV, " << count_of(s.sound.size(), "byte");
        if (w.ok) {
            char buffer[96];
            std::snprintf(buffer, sizeof buffer, ", %d Hz, %d-bit, %s, %.2f s, looping", w.rate, w.bits,
                          w.channels == 1 ? "mono" : w.channels == 2 ? "stereo" : "multichannel", w.seconds);
            o << buffer;
        }
        o << "\n";
    } else {
        o << "sound:       none\n";
    }
    o << "monitors:    " << monitors_text(r.monitorMode) << "\n";
    o << "about box:\n";
    for (int i = 0; i < 5; ++i) {
        const std::size_t n = static_cast<std::size_t>(i);
        if (r.info.lines[n].empty() && !r.info.lineShown[n]) continue;
        o << "  " << i << (r.info.lineShown[n] ? "  " : " (hidden) ") << code_page_display(r.info.lines[n], codePage) << "\n";
    }
    for (const Block& b : optional_blocks(r))
        o << "block:       " << b.name << ", " << count_of(static_cast<long long>(b.bytes), "byte") << ", "
          << b.nonZero << " not zero\n";
    for (int k = 0; k < 10; ++k) {
        const pack::Layer& l = r.layers[static_cast<std::size_t>(k)];
        if (l.settings.enabled == 0) {
            o << "layer " << k << ":     off\n";
            continue;
        }
        o << "layer " << k << ":     on\n   ";
        for (const Setting& st : layer_settings(l.settings)) o << " " << st.key << "=" << st.value;
        o << "\n";
        if (!l.set) {
            o << "    no animation set\n";
            continue;
        }
        const pack::AnimSet& set = *l.set;
        o << "    set: " << count_of(set.frames.size(), "frame") << ", mask " << names::word_of(names::MASK, set.maskMode) << "\n";
        for (std::size_t i = 0; i < set.frames.size(); ++i) {
            const pack::Frame& f = set.frames[i];
            o << "      frame " << i << ": " << picture_text(f.bmp) << ", " << count_of(f.duration, "tick");
            if (auto image = pack::bmp_image(f.bmp.data(), f.bmp.size()))
                if (auto key = frame_key(*image, set.maskMode)) o << ", key " << key_text(*key);
            o << "\n";
        }
    }
    o << "checks:      " << count_of(c.errors(), "error") << ", " << count_of(c.warnings(), "warning")
      << (c.problems.empty() ? "" : " (snowglobe-pack validate lists them)") << "\n";
    return o.str();
}

std::string inspect_json(const Source& source, const Checked& c) {
    std::ostringstream o;
    const pack::PackageRead& r = c.read;
    const pack::Scene& s = r.scene;
    auto hex = [](const std::string& bytes) {
        return hex_bytes(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    };
    auto picture = [&](const Bytes& bmp) {
        pack::BmpHeader h = pack::bmp_header(bmp.data(), bmp.size());
        return "{\"width\": " + std::to_string(h.width) + ", \"height\": " + std::to_string(h.height) +
               ", \"bits\": " + std::to_string(h.bitCount) + ", \"bytes\": " + std::to_string(bmp.size()) + "}";
    };
    o << "{\n  \"file\": " << json_string(kind_name(source.kind)) << ",\n";
    o << "  \"package_bytes\": " << source.package.size() << ",\n";
    o << "  \"codepage\": " << r.textCodePage << ",\n";
    o << "  \"title\": " << json_string(code_page_display(s.title, r.textCodePage)) << ",\n";
    o << "  \"title_sjis_hex\": " << json_string(hex(s.title)) << ",\n";
    o << "  \"background\": {\"mode\": ";
    if (s.backgroundMode >= 0 && s.backgroundMode <= 4) o << json_string(names::word_of(names::BACKGROUND, s.backgroundMode));
    else o << s.backgroundMode;
    o << ", \"fit\": ";
    if (s.pictureFit == 0 || s.pictureFit == 1) o << json_string(names::word_of(names::FIT, s.pictureFit));
    else o << s.pictureFit;
    if (!s.picture.empty()) o << ", \"picture\": " << picture(s.picture);
    if (!s.tile.empty()) o << ", \"tile\": " << picture(s.tile);
    o << "},\n  \"sound\": ";
    if (s.sound.empty()) {
        o << "null";
    } else {
        WavInfo w = wav_info(s.sound);
        o << "{\"bytes\": " << s.sound.size() << ", \"channels\": " << w.channels << ", \"rate\": " << w.rate
          << ", \"bits\": " << w.bits << ", \"seconds\": " << w.seconds << "}";
    }
    o << ",\n  \"monitors\": " << json_string(names::word_of(names::MONITORS, static_cast<std::int32_t>(r.monitorMode)));
    o << ",\n  \"about\": [";
    for (int i = 0; i < 5; ++i) {
        const std::size_t n = static_cast<std::size_t>(i);
        o << (i ? ", " : "") << "{\"text\": " << json_string(code_page_display(r.info.lines[n], r.textCodePage))
          << ", \"shown\": " << (r.info.lineShown[n] != 0 ? "true" : "false") << "}";
    }
    o << "],\n  \"blocks\": [";
    const std::vector<Block> blocks = optional_blocks(r);
    for (std::size_t i = 0; i < blocks.size(); ++i)
        o << (i ? ", " : "") << "{\"name\": " << json_string(blocks[i].name) << ", \"bytes\": " << blocks[i].bytes
          << ", \"not_zero\": " << blocks[i].nonZero << "}";
    o << "],\n  \"layers\": [";
    for (int k = 0; k < 10; ++k) {
        const pack::Layer& l = r.layers[static_cast<std::size_t>(k)];
        o << (k ? "," : "") << "\n    {\"layer\": " << k << ", \"enabled\": " << (l.settings.enabled != 0 ? "true" : "false");
        if (l.settings.enabled != 0) {
            for (const Setting& st : layer_settings(l.settings))
                o << ", " << json_string(st.key) << ": " << (st.word ? json_string(st.value) : st.value);
        }
        if (l.set) {
            const pack::AnimSet& set = *l.set;
            o << ", \"mask\": ";
            if (set.maskMode >= 0 && set.maskMode <= 3) o << json_string(names::word_of(names::MASK, set.maskMode));
            else o << set.maskMode;
            o << ", \"frames\": [";
            for (std::size_t i = 0; i < set.frames.size(); ++i) {
                const pack::Frame& f = set.frames[i];
                pack::BmpHeader h = pack::bmp_header(f.bmp.data(), f.bmp.size());
                o << (i ? ", " : "") << "{\"width\": " << h.width << ", \"height\": " << h.height << ", \"bits\": " << h.bitCount
                  << ", \"bytes\": " << f.bmp.size() << ", \"duration\": " << f.duration << ", \"key\": ";
                std::optional<std::array<std::uint8_t, 3>> key;
                if (auto image = pack::bmp_image(f.bmp.data(), f.bmp.size())) key = frame_key(*image, set.maskMode);
                o << (key ? json_string(key_text(*key)) : "null") << "}";
            }
            o << "]";
        }
        o << "}";
    }
    o << "\n  ],\n  \"problems\": [";
    for (std::size_t i = 0; i < c.problems.size(); ++i) {
        const pack::Problem& p = c.problems[i];
        o << (i ? "," : "") << "\n    {\"severity\": " << (p.severity == pack::Severity::Error ? "\"error\"" : "\"warning\"")
          << ", \"offset\": " << p.offset << ", \"message\": " << json_string(p.message) << "}";
    }
    o << (c.problems.empty() ? "" : "\n  ") << "],\n  \"errors\": " << c.errors() << ",\n  \"warnings\": " << c.warnings() << "\n}\n";
    return o.str();
}

}  // namespace sg::packtool
