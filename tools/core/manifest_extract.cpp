// extract: a package written back as a manifest and the files it names,
// so that building the manifest again gives the same bytes.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sstream>

#include "tools/core/manifest.h"
#include "tools/core/names.h"
#include "tools/core/quote.h"
#include "tools/core/sjis.h"

namespace sg::packtool {

namespace {

// A text as the manifest writes it: UTF-8 when it converts back to the same
// bytes, else the bytes in hexadecimal.
std::optional<std::string> round_trip_utf8(const std::string& bytes, std::uint32_t codePage) {
    auto utf8 = code_page_to_utf8(bytes, codePage);
    if (!utf8) return std::nullopt;
    auto back = utf8_to_code_page(*utf8, codePage);
    if (!back || *back != bytes) return std::nullopt;
    return utf8;
}

std::string flag_text(std::int32_t v) {
    if (v == 0) return "false";
    if (v == 1) return "true";
    return std::to_string(v);
}

// A number outside what a setting allows, which the saver plays all the
// same: build stores { code = N } as it is (and warns as validate does).
std::string code_text(std::int32_t v) { return "{ code = " + std::to_string(v) + " }"; }

// `v` as it is when it lies in lo..hi, else as a raw code.
std::string number_text(std::int32_t v, std::int32_t lo, std::int32_t hi) {
    return v >= lo && v <= hi ? std::to_string(v) : code_text(v);
}

template <std::size_t N>
std::string word_text(const std::array<std::string_view, N>& words, std::int32_t code) {
    if (code >= 0 && static_cast<std::size_t>(code) < N) return quote(std::string(words[static_cast<std::size_t>(code)]));
    return code_text(code);
}

std::string file_name(const char* stem, int a, int b = -1) {
    char buffer[64];
    if (b < 0) std::snprintf(buffer, sizeof buffer, "%s%d", stem, a);
    else std::snprintf(buffer, sizeof buffer, "%s%d-frame%02d.bmp", stem, a, b);
    return buffer;
}

// The header, the code page and the title.
void write_title(std::ostream& m, const pack::Package& p, const std::string& sourceName) {
    const pack::Scene& s = p.scene;
    m << "# Scene manifest extracted from " << sourceName << " by snowglobe-pack.\n"
      << "# Build it again with: snowglobe-pack build scene.toml -o scene.kavren\n\n";

    if (p.textCodePage != 932)
        m << "# The title and about lines are in code page " << code_page_label(p.textCodePage) << ".\n"
          << "codepage = " << p.textCodePage << "\n";
    if (auto title = round_trip_utf8(s.title, p.textCodePage)) m << "title = " << quote(*title) << "\n";
    else m << "title_bytes = " << quote(hex_bytes(std::span(reinterpret_cast<const std::uint8_t*>(s.title.data()), s.title.size()))) << "\n";
}

// The background, its picture or tile; what has no name is said in warnings.
void write_background(std::ostream& m, const pack::Scene& s, Extracted& out) {
    m << "background = " << word_text(names::BACKGROUND, s.backgroundMode) << "\n";
    if (format::background_mode(s.backgroundMode) == format::BackgroundMode::Picture || s.pictureFit != 1)
        m << "fit = " << word_text(names::FIT, s.pictureFit) << "\n";
    if (!s.picture.empty()) {
        out.files.push_back({"background.bmp", s.picture});
        m << "picture = \"background.bmp\"\n";
    } else if (format::background_mode(s.backgroundMode) == format::BackgroundMode::Picture) {
        out.warnings.push_back("the scene asks for a picture background but holds no usable picture");
    }
    if (!s.tile.empty()) {
        out.files.push_back({"tile.bmp", s.tile});
        m << "tile = \"tile.bmp\"\n";
    } else if (format::background_mode(s.backgroundMode) == format::BackgroundMode::Tiled) {
        out.warnings.push_back("the scene asks for a tiled background but holds no usable tile");
    }
}

void write_sound(std::ostream& m, const pack::Scene& s, Extracted& out) {
    if (!s.sound.empty()) {
        out.files.push_back({"sound.wav", s.sound});
        m << "sound = \"sound.wav\"\n";
    }
}

// The monitor mode, when it is not the default.
void write_monitors(std::ostream& m, const pack::Package& p) {
    if (p.monitorMode == format::MonitorMode::Primary) return;
    m << "monitors = " << word_text(names::MONITORS, static_cast<std::int32_t>(p.monitorMode)) << "\n";
}

// The about lines up to the last one that holds anything.
void write_about(std::ostream& m, const pack::Package& p) {
    int lastLine = -1;
    for (int i = 0; i < 5; ++i)
        if (!p.info.lines[static_cast<std::size_t>(i)].empty() || p.info.lineShown[static_cast<std::size_t>(i)] != 0) lastLine = i;
    if (lastLine >= 0) {
        m << "\n# The about box: up to 5 lines.\nabout = [\n";
        for (int i = 0; i <= lastLine; ++i) {
            const std::string& line = p.info.lines[static_cast<std::size_t>(i)];
            std::int32_t shown = p.info.lineShown[static_cast<std::size_t>(i)];
            auto utf8 = round_trip_utf8(line, p.textCodePage);
            std::string text = utf8 ? "text = " + quote(*utf8)
                                    : "bytes = " + quote(hex_bytes(std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size())));
            if (shown == 1 && utf8) m << "  " << quote(*utf8) << ",\n";
            else m << "  { " << text << ", shown = " << flag_text(shown) << " },\n";
        }
        m << "]\n";
    }
}

// The last layer that is not off with every setting at its default, or -1.
int last_layer(const pack::Package& p) {
    int lastLayer = -1;
    for (int k = 0; k < 10; ++k) {
        const pack::Layer& l = p.layers[static_cast<std::size_t>(k)];
        const pack::LayerSettings d{};
        bool plain = l.settings.enabled == 0 && !l.set && std::memcmp(&l.settings, &d, sizeof d) == 0;
        if (!plain) lastLayer = k;
    }
    return lastLayer;
}

// A layer's set: its mask, durations and frames (each written as a file);
// what build would write differently is said in warnings.
void write_frames(std::ostream& m, const pack::AnimSet& set, int k, bool on, Extracted& out) {
    if (set.magic != "AP01" || set.version != 1)
        out.warnings.push_back("layer " + std::to_string(k) +
                               ": the saver refuses its animation set (magic or version) and shows nothing of the layer; "
                               "no manifest can say so: build writes a good set of the frames, which shows them");
    if (set.frameCountOverride)
        out.warnings.push_back("layer " + std::to_string(k) + ": the set's frame count " + std::to_string(*set.frameCountOverride) +
                               " does not match its frames; build writes " + std::to_string(set.frames.size()));
    m << "mask = " << word_text(names::MASK, set.maskMode) << "\n";
    bool same = std::all_of(set.frames.begin(), set.frames.end(), [&](const pack::Frame& f) { return f.duration == set.frames[0].duration; });
    const auto duration = [](std::int32_t ticks) { return number_text(ticks, 0, std::numeric_limits<std::int32_t>::max()); };
    if (same && !set.frames.empty()) m << "duration = " << duration(set.frames[0].duration) << "  # ticks of 33 ms per frame\n";
    m << "frames = [\n";
    for (std::size_t i = 0; i < set.frames.size(); ++i) {
        std::string name = file_name("layer", k, static_cast<int>(i));
        out.files.push_back({name, set.frames[i].bmp});
        if (same) m << "  " << quote(name) << ",\n";
        else m << "  { file = " << quote(name) << ", duration = " << duration(set.frames[i].duration) << " },\n";
    }
    m << "]\n";
    if (set.frames.empty() && on) out.warnings.push_back("layer " + std::to_string(k) + ": an enabled layer without frames cannot be built");
}

// Layer k: its settings, its frames and what will not come back the same.
void write_layer(std::ostream& m, const pack::Layer& l, int k, Extracted& out) {
    const pack::LayerSettings& v = l.settings;
    const bool on = v.enabled != 0;
    m << "\n[[layer]]  # layer " << k << "\n";
    if (!on) m << "# This layer is off: the engine reads none of its settings.\n";
    m << "enabled = " << flag_text(v.enabled) << "\n";
    pack::LayerSettings def{};
    // A layer that is off lists only what differs from the defaults.
    auto show = [&](std::int32_t value, std::int32_t standard) { return on || value != standard; };
    const std::int32_t most = std::numeric_limits<std::int32_t>::max();
    if (show(v.instanceCount, on ? 10 : 0)) m << "instances = " << number_text(v.instanceCount, 0, 50) << "\n";
    if (show(v.directionCode, def.directionCode)) m << "direction = " << word_text(names::DIRECTION, v.directionCode) << "\n";
    if (show(v.speedClass, def.speedClass)) {
        m << "speed = " << number_text(v.speedClass, 0, 4);
        if (v.speedClass >= 0 && v.speedClass <= 4) m << "  # " << names::SPEED_PIXELS[static_cast<std::size_t>(v.speedClass)] << " pixels a tick";
        m << "\n";
    }
    if (show(v.swayAxis, def.swayAxis) || show(v.swayRow, def.swayRow)) {
        std::string axis = v.swayAxis == 0 ? "\"y\"" : v.swayAxis == 1 ? "\"x\"" : v.swayAxis == names::SWAY_NONE_CODE ? "\"none\"" : std::to_string(v.swayAxis);
        m << "sway = { axis = " << axis << ", row = " << number_text(v.swayRow, 0, 4) << " }\n";
    }
    if (show(v.entryEdge, def.entryEdge)) m << "entry = " << word_text(names::ENTRY, v.entryEdge) << "\n";
    const bool startShown = show(v.startCorner, 0) || show(v.startX, 0) || show(v.startY, 0);
    // A start position without a placement reads as "fixed": say which.
    if (show(v.placement, def.placement) || startShown) {
        m << "placement = "
          << (v.placement == names::PLACEMENT_RANDOM ? "\"random\"" : v.placement == names::PLACEMENT_FIXED_CODE ? "\"fixed\"" : std::to_string(v.placement))
          << "\n";
    }
    if (startShown)
        m << "start = { corner = " << word_text(names::CORNER, v.startCorner) << ", x = " << v.startX << ", y = " << v.startY << " }\n";
    if (show(v.keepInside, 0)) m << "keep_inside = " << flag_text(v.keepInside) << "\n";
    if (show(v.randomStart, 1)) m << "random_start = " << flag_text(v.randomStart) << "\n";
    if (show(v.reentryCycles, 65535)) m << "reentry_cycles = " << number_text(v.reentryCycles, 0, most) << "\n";
    if (show(v.delayMode, 1)) m << "delay = " << word_text(names::DELAY, v.delayMode) << "\n";
    if (show(v.maxWait, 0)) m << "max_wait = " << number_text(v.maxWait, 0, most) << "\n";
    if (show(v.loops, 1)) m << "loops = " << flag_text(v.loops) << "\n";
    if (l.keepSetFields) {
        std::int32_t stored = l.set ? static_cast<std::int32_t>(pack::animset_bytes(*l.set).size()) : 0;
        if (v.setOffset != 76 || v.setSize != stored) {
            if (on) out.warnings.push_back("layer " + std::to_string(k) + ": its set lies away from the block; it is moved next to it");
            else m << "set_offset = " << v.setOffset << "\nset_size = " << v.setSize << "\n";
        }
    }
    if (l.set) write_frames(m, *l.set, k, on, out);
}

// The [leftovers] settings ("" when there are none).
std::string leftovers_text(const pack::Package& p, Extracted& out) {
    const pack::Scene& s = p.scene;
    std::ostringstream left;
    if (s.picture.empty() && (s.leftoverPictureOffset || s.leftoverPictureSize))
        left << "picture_offset = " << s.leftoverPictureOffset << "\npicture_size = " << s.leftoverPictureSize << "\n";
    if (s.tile.empty() && (s.leftoverTileOffset || s.leftoverTileSize))
        left << "tile_offset = " << s.leftoverTileOffset << "\ntile_size = " << s.leftoverTileSize << "\n";
    if (s.sound.empty() && (s.leftoverSoundOffset || s.leftoverSoundSize))
        left << "sound_offset = " << s.leftoverSoundOffset << "\nsound_size = " << s.leftoverSoundSize << "\n";
    pack::Package defaults;
    if (s.sound.empty() && p.entry12 != defaults.entry12)
        left << "directory_12 = [" << p.entry12[0] << ", " << p.entry12[1] << "]\n";
    if (s.optionalBlock2Present == 0 && p.entry13 != defaults.entry13)
        left << "directory_13 = [" << p.entry13[0] << ", " << p.entry13[1] << "]\n";
    if (!s.sound.empty() && std::any_of(p.optionalBlock1.begin(), p.optionalBlock1.end(), [](std::uint8_t b) { return b != 0; }))
        left << "optional_block_1 = " << quote(hex_bytes(p.optionalBlock1)) << "\n";
    if (s.optionalBlock2Present != 0) {
        if (std::any_of(p.optionalBlock2.begin(), p.optionalBlock2.end(), [](std::uint8_t b) { return b != 0; })) {
            out.files.push_back({"optional-block-2.bin", p.optionalBlock2});
            left << "optional_block_2 = \"optional-block-2.bin\"\n";
        }
        left << "optional_block_2_present = " << s.optionalBlock2Present << "\n";
    }
    if (p.padTo) left << "pad_to = " << p.padTo << "\n";
    return left.str();
}

}  // namespace

Extracted extract_manifest(const pack::Package& p, const std::string& sourceName) {
    Extracted out;
    std::ostringstream m;
    write_title(m, p, sourceName);
    write_background(m, p.scene, out);
    write_sound(m, p.scene, out);
    write_monitors(m, p);
    write_about(m, p);
    const int lastLayer = last_layer(p);
    for (int k = 0; k <= lastLayer; ++k) write_layer(m, p.layers[static_cast<std::size_t>(k)], k, out);
    const std::string left = leftovers_text(p, out);
    if (!left.empty())
        m << "\n# Numbers and blocks that the engine never interprets, kept so that\n"
          << "# building this manifest gives back the same bytes.\n[leftovers]\n" << left;
    out.manifest = m.str();
    return out;
}

}  // namespace sg::packtool
