#include "tools/core/check.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tools/core/names.h"

namespace sg::packtool {

namespace {

using pack::Severity;

void warn(pack::Problems& out, std::int64_t at, std::string message) {
    out.push_back({Severity::Warning, static_cast<std::size_t>(std::max<std::int64_t>(at, 0)), std::move(message)});
}

struct Range {
    std::int64_t start;
    std::int64_t end;
    std::string what;
};

std::string span_text(const Range& r) {
    return r.what + " (bytes " + std::to_string(r.start) + ".." + std::to_string(r.end) + ")";
}

void overlaps(const std::vector<Range>& ranges, pack::Problems& out, const std::string& where) {
    for (std::size_t i = 0; i < ranges.size(); ++i)
        for (std::size_t j = i + 1; j < ranges.size(); ++j) {
            const Range& a = ranges[i];
            const Range& b = ranges[j];
            if (a.start < b.end && b.start < a.end && a.start < a.end && b.start < b.end)
                warn(out, b.start, where + span_text(b) + " overlaps " + span_text(a));
        }
}

// When a layer the saver plays first shows a sprite, as the world runs it.
struct FirstShow {
    enum Kind { Soon, Never, Waits } kind = Soon;
    std::int32_t ticks = 0;  // Waits: each sprite first shows after 0..ticks
    std::string why;
};

// Quiet for this long at the start (10 seconds) deserves a word.
constexpr std::int32_t LONG_QUIET_TICKS = 300;

FirstShow first_show(const pack::LayerSettings& s, std::int32_t frames) {
    const int instances = std::clamp(s.instanceCount, 0, 50);
    if (instances == 0) return {FirstShow::Never, 0, "no instances"};
    if (frames == 0) return {FirstShow::Never, 0, "no frames"};
    // With random_start, a sprite that has run reentry_cycles cycles is
    // entered anew before it is drawn; from 0 down that is every tick, and
    // an entry at an edge (keep_inside off, random placement) lies just
    // outside the screen.
    const bool edge = s.entryEdge >= 1 && s.entryEdge <= 8;
    if (s.randomStart != 0 && s.reentryCycles <= 0 && s.keepInside == 0 && s.placement == names::PLACEMENT_RANDOM && edge)
        return {FirstShow::Never, 0,
                "random_start with reentry_cycles = " + std::to_string(s.reentryCycles) +
                    " enters every sprite anew on every tick, just outside the screen"};
    const std::int32_t wait = std::max(s.maxWait, 0);
    const std::string sprites = "each of its " + std::to_string(instances) + (instances == 1 ? " sprite" : " sprites");
    // After an exit: every sprite first waits 0..max_wait ticks.
    if (s.delayMode == 2 && wait > 0)
        return {FirstShow::Waits, wait, sprites + " first shows after 0.." + std::to_string(wait) + " ticks (delay after-exit)"};
    // After a cycle: sprites that start on their last frame wait first; with
    // one frame that is all of them.
    if (s.delayMode == 0 && wait > 0 && frames == 1)
        return {FirstShow::Waits, wait,
                sprites + " first shows after 0.." + std::to_string(wait) + " ticks (delay after-cycle with one frame)"};
    return {};
}

// The scene-wide word when no layer is sure to show a sprite soon.
void quiet_start(const std::vector<std::pair<int, FirstShow>>& layers, pack::Problems& out) {
    if (layers.empty()) return;
    std::int32_t soonest = -1;  // the shortest longest wait; -1: every layer never shows
    for (const auto& [k, f] : layers) {
        if (f.kind == FirstShow::Soon) return;
        if (f.kind == FirstShow::Waits) soonest = soonest < 0 ? f.ticks : std::min(soonest, f.ticks);
    }
    if (soonest >= 0 && soonest < LONG_QUIET_TICKS) return;
    std::string text = soonest < 0 ? std::string("no sprite ever shows, only the background:")
                                   : "only the background may show for up to " + std::to_string(soonest) + " ticks (" +
                                         std::to_string(soonest / 30) + " s) after the start:";
    bool first = true;
    for (const auto& [k, f] : layers) {
        text += std::string(first ? " " : "; ") + "layer " + std::to_string(k) + " " +
                (f.kind == FirstShow::Never ? "never shows (" + f.why + ")" : "waits: " + f.why);
        first = false;
    }
    warn(out, 8, text);
}

}  // namespace

int Checked::errors() const {
    return static_cast<int>(std::count_if(problems.begin(), problems.end(),
                                          [](const pack::Problem& p) { return p.severity == Severity::Error; }));
}

int Checked::warnings() const { return static_cast<int>(problems.size()) - errors(); }

std::optional<std::array<std::uint8_t, 3>> frame_key(const pack::Image& frame, std::int32_t maskMode) {
    switch (maskMode) {
    case 0:
        if (frame.width <= 0 || frame.height <= 0) return std::nullopt;
        return frame.at(0, 0);
    case 1: return std::array<std::uint8_t, 3>{0, 0, 0};
    case 2: return std::array<std::uint8_t, 3>{0xff, 0xff, 0xff};
    default: return std::nullopt;
    }
}

Checked check_package(const Bytes& package) {
    Checked c;
    c.read = pack::package_parse(package.data(), package.size());
    c.problems = c.read.problems;
    pack::Problems& out = c.problems;
    if (package.size() < pack::DIRECTORY_BYTES) return c;
    const pack::Layout& dir = c.read.layout;
    const auto inside = [&](std::int64_t at, std::int64_t len) { return in_bounds(at, len, package.size()); };
    // Reads past the end give 0: a set may be shorter than its own header.
    const auto i32 = [&](std::int64_t at) {
        return inside(at, 4) ? read_i32(&package[static_cast<std::size_t>(at)]) : 0;
    };

    // What the engine reads, to find blocks that share bytes.
    std::vector<Range> ranges{{0, static_cast<std::int64_t>(pack::DIRECTORY_BYTES), "directory"}};
    const std::int64_t scene = dir.offsets[0];
    const bool header = inside(scene, pack::SCENE_HEADER_BYTES);
    if (header) {
        ranges.push_back({scene, scene + static_cast<std::int64_t>(pack::SCENE_HEADER_BYTES), "scene header"});
        const std::int32_t mode = i32(scene + 300);
        const auto blob = [&](std::int64_t field, const char* what) {
            std::int64_t at = scene + i32(scene + field), len = i32(scene + field + 4);
            if (inside(at, len)) ranges.push_back({at, at + len, what});
        };
        if (mode == 3) blob(304, "tile picture");
        if (mode == 4) blob(316, "single picture");
        if (i32(scene + 332) != 0) {
            std::int64_t at = scene + i32(scene + 324);
            std::int64_t len = c.read.scene.sound.size();
            if (len > 0 && inside(at, len)) ranges.push_back({at, at + len, "sound"});
        }
    }
    int enabledLayers = 0;
    std::vector<std::pair<int, FirstShow>> shows;  // of the layers the saver plays
    for (int k = 0; k < 10; ++k) {
        const std::int64_t chunk = dir.offsets[1 + k];
        if (!inside(chunk, pack::LAYER_BLOCK_BYTES)) continue;
        const std::string name = "layer " + std::to_string(k);
        ranges.push_back({chunk, chunk + static_cast<std::int64_t>(pack::LAYER_BLOCK_BYTES), name + " block"});
        const pack::LayerSettings& s = c.read.layers[static_cast<std::size_t>(k)].settings;
        if (s.enabled == 0) continue;
        ++enabledLayers;
        const std::int64_t setAt = chunk + s.setOffset;
        if (!inside(setAt, s.setSize)) {
            shows.push_back({k, {FirstShow::Never, 0, "its animation set lies outside the package"}});
            continue;
        }
        ranges.push_back({setAt, setAt + s.setSize, name + " animation set"});

        // The set as the engine loads it.
        pack::AnimSetRead set = pack::animset_parse(&package[static_cast<std::size_t>(setAt)],
                                                    static_cast<std::size_t>(s.setSize), static_cast<std::size_t>(setAt));
        const std::string who = name + ": ";
        if (s.instanceCount == 0) warn(out, chunk + 12, who + "no instances: the layer is on but shows nothing");
        if (s.randomStart != 0 && s.reentryCycles < 0)
            warn(out, chunk + 16, who + "re-entry after " + std::to_string(s.reentryCycles) +
                                      " cycles: every instance is entered anew on every tick");
        if (!set.ok()) {
            shows.push_back({k, {FirstShow::Never, 0, "its animation set is refused"}});
            continue;
        }
        const std::int32_t count = std::clamp(static_cast<std::int32_t>(set.frameCountOverride.value_or(
                                                  static_cast<std::int32_t>(set.frames.size()))),
                                              0, pack::MAX_SET_FRAMES);
        if (count == 0) warn(out, setAt + 8, who + "the animation set has no frames: nothing is drawn");
        shows.push_back({k, first_show(s, count)});
        std::vector<Range> frameRanges{{0, static_cast<std::int64_t>(pack::ANIMSET_HEADER_BYTES), "set header"}};
        bool bigWarned = false;
        for (std::int32_t i = 0; i < count && static_cast<std::size_t>(i) < set.frames.size(); ++i) {
            const std::int64_t off = i32(setAt + 16 + 4 * i);
            const std::int64_t len = i32(setAt + 96 + 4 * i);
            frameRanges.push_back({off, off + len, "frame " + std::to_string(i)});
            const pack::Frame& f = set.frames[static_cast<std::size_t>(i)];
            const std::string frame = who + "frame " + std::to_string(i) + ": ";
            if (f.duration < 0)
                warn(out, setAt + 176 + 4 * i, frame + "duration " + std::to_string(f.duration) + " is negative");
            auto image = pack::bmp_image(f.bmp.data(), f.bmp.size());
            if (!image) continue;
            if (!bigWarned && (image->width > PREVIEW_WIDTH || image->height > PREVIEW_HEIGHT)) {
                bigWarned = true;
                warn(out, setAt + off, frame + std::to_string(image->width) + " x " + std::to_string(image->height) +
                                           " is larger than the 320 x 240 preview" +
                                           (s.keepInside != 0 && s.placement == 1
                                                ? "; keep_inside cannot place it inside the preview"
                                                : ""));
            }
            if (auto key = frame_key(*image, set.maskMode); key && set.maskMode != 0) {
                bool used = false;
                for (std::size_t p = 0; p + 2 < image->bgr.size() && !used; p += 3)
                    used = image->bgr[p] == (*key)[0] && image->bgr[p + 1] == (*key)[1] && image->bgr[p + 2] == (*key)[2];
                if (!used)
                    warn(out, setAt + off, frame + "no pixel has the key colour (" +
                                               (set.maskMode == 1 ? "black" : "white") +
                                               "), so nothing of it is transparent");
            }
        }
        overlaps(frameRanges, out, who + "in the animation set, ");
    }
    if (inside(dir.offsets[11], pack::INFO_BLOCK_BYTES))
        ranges.push_back({dir.offsets[11], dir.offsets[11] + static_cast<std::int64_t>(pack::INFO_BLOCK_BYTES), "info block"});
    if (header && i32(scene + 332) != 0 && inside(dir.offsets[12], pack::OPTIONAL_BLOCK1_BYTES))
        ranges.push_back({dir.offsets[12], dir.offsets[12] + static_cast<std::int64_t>(pack::OPTIONAL_BLOCK1_BYTES), "optional block 1"});
    if (header && i32(scene + 336) != 0 && inside(dir.offsets[13], pack::OPTIONAL_BLOCK2_BYTES))
        ranges.push_back({dir.offsets[13], dir.offsets[13] + static_cast<std::int64_t>(pack::OPTIONAL_BLOCK2_BYTES), "optional block 2"});
    overlaps(ranges, out, "");
    if (enabledLayers == 0) warn(out, 8, "no layer is on: the scene shows only its background");
    quiet_start(shows, out);
    if (inside(dir.offsets[11], pack::INFO_BLOCK_BYTES)) {
        for (std::size_t i = 0; i < 5; ++i) {
            const int columns = about_line_columns(c.read.info.lines[i]);
            if (c.read.info.lineShown[i] == 0 || columns <= ABOUT_FIELD_COLUMNS) continue;
            warn(out, dir.offsets[11] + 20 + 300 * static_cast<std::int64_t>(i),
                 "about line " + std::to_string(i) + ": is " + std::to_string(columns) +
                     " columns wide, but the about box shows " + std::to_string(ABOUT_FIELD_COLUMNS) +
                     " (full-width characters count as two); the rest is cut off");
        }
    }

    std::stable_sort(out.begin(), out.end(), [](const pack::Problem& a, const pack::Problem& b) {
        if (a.severity != b.severity) return a.severity == Severity::Error;
        return a.offset < b.offset;
    });
    return c;
}

}  // namespace sg::packtool
