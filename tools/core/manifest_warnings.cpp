// build's warnings, each pointed at the manifest line of the part it concerns
// rather than at a byte of the package the author never sees.
#include <cstdio>

#include "tools/core/manifest.h"

namespace sg::packtool {

namespace {

// The part of the package holding byte `at`, as the manifest gave it; `prefix`
// receives the words the package check put before its message for that part
// ("layer 2: ", "layer 2: frame 1: "), which the place now says.
Place place_of(const Built& b, const Bytes& bytes, const pack::Layout& dir, std::size_t at, std::string& prefix) {
    const auto i32 = [&](std::int64_t o) { return in_bounds(o, 4, bytes.size()) ? read_i32(&bytes[static_cast<std::size_t>(o)]) : 0; };
    const auto within = [&](std::int64_t start, std::int64_t length) {
        return static_cast<std::int64_t>(at) >= start && static_cast<std::int64_t>(at) < start + length;
    };
    for (int k = 0; k < 10; ++k) {
        const std::int64_t chunk = dir.offsets[static_cast<std::size_t>(1 + k)];
        const pack::Layer& layer = b.package.layers[static_cast<std::size_t>(k)];
        const std::string name = "layer " + std::to_string(k) + ": ";
        if (within(chunk, pack::LAYER_BLOCK_BYTES)) {
            prefix = name;
            return b.layers[static_cast<std::size_t>(k)];
        }
        const std::int64_t set = chunk + layer.settings.setOffset;
        if (!layer.set || !within(set, static_cast<std::int64_t>(pack::animset_bytes(*layer.set).size()))) continue;
        const std::vector<Place>& frames = b.frames[static_cast<std::size_t>(k)];
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const std::int64_t frame = set + i32(set + 16 + 4 * static_cast<std::int64_t>(i));
            const std::int64_t length = i32(set + 96 + 4 * static_cast<std::int64_t>(i));
            if (within(frame, length) || within(set + 176 + 4 * static_cast<std::int64_t>(i), 4)) {
                prefix = name + "frame " + std::to_string(i) + ": ";
                return frames[i];
            }
        }
        prefix = name;
        return b.layers[static_cast<std::size_t>(k)];
    }
    for (std::size_t i = 0; i < b.about.size(); ++i) {
        if (within(dir.offsets[11] + 20 + 300 * static_cast<std::int64_t>(i), 300)) {
            prefix = "about line " + std::to_string(i) + ": ";
            return b.about[i];
        }
    }
    const std::int64_t scene = dir.offsets[0];
    const pack::Scene& s = b.package.scene;
    if (!s.picture.empty() && within(scene + i32(scene + 316), static_cast<std::int64_t>(s.picture.size()))) return b.picture;
    if (!s.tile.empty() && within(scene + i32(scene + 304), static_cast<std::int64_t>(s.tile.size()))) return b.tile;
    if (!s.sound.empty() && within(scene + i32(scene + 324), static_cast<std::int64_t>(s.sound.size()))) return b.sound;
    return Place{1, "scene"};
}

std::string megabytes(std::size_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1 << 20));
    return text;
}

}  // namespace

std::vector<std::string> build_warnings(const Built& b, const Bytes& bytes, const pack::Problems& problems) {
    std::vector<std::string> out = b.warnings;
    const pack::PackageRead read = pack::package_parse(bytes.data(), bytes.size());
    const auto at = [&](const Place& place) { return b.manifestName + ":" + std::to_string(place.line) + ": " + place.setting + ": "; };
    for (const pack::Problem& p : problems) {
        if (p.severity != pack::Severity::Warning) continue;
        std::string prefix;
        const Place place = place_of(b, bytes, read.layout, p.offset, prefix);
        std::string message = p.message;
        if (!prefix.empty() && message.compare(0, prefix.size(), prefix) == 0) message.erase(0, prefix.size());
        out.push_back(at(place) + message);
    }
    if (bytes.size() > PACKAGE_WARN_BYTES) {
        // Point at the largest part: that is where the bytes can be saved.
        const pack::Scene& s = b.package.scene;
        Place largest{1, "scene"};
        std::size_t most = 0;
        const auto consider = [&](std::size_t size, const Place& place) {
            if (size > most) most = size, largest = place;
        };
        consider(s.picture.size(), b.picture);
        consider(s.tile.size(), b.tile);
        consider(s.sound.size(), b.sound);
        for (std::size_t k = 0; k < 10; ++k)
            if (b.package.layers[k].set) consider(pack::animset_bytes(*b.package.layers[k].set).size(), b.layers[k]);
        out.push_back(at(largest) + "the package is " + megabytes(bytes.size()) + ", more than " +
                      megabytes(PACKAGE_WARN_BYTES) + ": the saver holds all of it in memory. This is its largest part (" +
                      megabytes(most) + "); make it smaller (a smaller picture, bits = 8, fewer frames, or a "
                      "shorter or mono sound)");
    }
    return out;
}

}  // namespace sg::packtool
