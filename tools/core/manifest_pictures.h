// Pictures named by a manifest: background pictures and tiles, and the
// frames of a layer's animation set with the key colour their
// transparency becomes.
#pragma once

#include "tools/core/manifest_read.h"

namespace sg::packtool::manifest {

// A duration in ticks, or in milliseconds rounded to the nearest tick.
std::optional<std::int32_t> duration_of(const Table& t);

// The scene's picture or tile under `key`: a path or { file, bits }.
Bytes background_picture(Ctx& c, const Table& scene, std::string_view key);
// The layer's frames = [...] (or = "walk.gif", "walk.json" or a sheet
// { sheet, columns, rows }), resized and mirrored as the layer asks, as an
// animation set; `places`
// receives where each frame was given.
pack::AnimSet build_set(Ctx& c, const Table& layer, std::int32_t defaultDuration, std::vector<Place>& places);

}  // namespace sg::packtool::manifest
