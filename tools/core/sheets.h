// Animations as artists export them: one sheet cut into cells, or a sheet
// with the sprite editor's JSON naming each frame's rectangle; every n-th
// frame of a long animation; and the changes a layer asks of every frame
// (resize, flip).
#pragma once

#include <optional>

#include "tools/core/manifest_read.h"
#include "tools/core/resize.h"

namespace sg::packtool::manifest {

// A frame cut from a larger picture, with where it came from for messages.
struct CutFrame {
    std::string file;
    std::string setting;
    int line = 0;
    std::int32_t duration = 2;
    RgbaImage image;
};

// frames = { sheet = "walk.png", columns = C, rows = R, count = N, duration / duration_ms }:
// the cells row by row, left to right.
std::vector<CutFrame> sheet_frames(const Ctx& c, const Table& layer, std::int32_t defaultDuration);

// True when the bytes start (after white space) like a JSON object.
bool looks_like_json(std::span<const std::uint8_t> bytes);
// frames = "walk.json": the frames a sprite editor's JSON lists (array or
// hash form), cut from the sheet its meta.image names beside it.
std::vector<CutFrame> json_frames(const Ctx& c, const Table& layer, const std::string& file,
                                  std::span<const std::uint8_t> json, std::int32_t defaultDuration);

// The layer's every = N, given only for an animation that is one file.
std::optional<int> every_of(const Table& layer, bool oneFile);

// How many frames `every` keeps out of `count`; refuses more than a set
// holds with the count and the every = N that would fit.
std::size_t frames_kept(const Table& layer, const std::string& source, std::size_t count, std::optional<int> every);

// The layer's resize and flip, applied to each frame.
struct FrameChanges {
    std::optional<PictureSize> resize;
    int flip = 0;  // 0 none, 1 horizontal, 2 vertical
    bool any() const { return resize || flip; }
    void apply(RgbaImage& image) const;
};
FrameChanges frame_changes(const Table& layer);
// A picture table's resize = "WxH" | "screen".
std::optional<PictureSize> resize_of(const Table& t);

// every = N over any frame list: frame i*N shown for the sum of the N durations.
template <class Frame>
void keep_every(std::vector<Frame>& frames, std::size_t kept, int every) {
    if (every <= 1) return;
    std::vector<Frame> out;
    for (std::size_t i = 0; i < kept; ++i) {
        const std::size_t first = i * static_cast<std::size_t>(every);
        std::int64_t sum = 0;
        for (std::size_t j = first; j < std::min(frames.size(), first + static_cast<std::size_t>(every)); ++j)
            sum += frames[j].duration;
        out.push_back(std::move(frames[first]));
        out.back().duration = static_cast<std::int32_t>(std::min<std::int64_t>(sum, std::numeric_limits<std::int32_t>::max()));
    }
    frames = std::move(out);
}

}  // namespace sg::packtool::manifest
