// Pictures named by a manifest: background pictures and tiles, and the
// frames of a layer's animation set with the key colour their
// transparency becomes.
#pragma once

#include "tools/pack/manifest_read.h"

namespace sg::packtool::manifest {

// The scene's picture or tile under `key`: a path or { file, bits }.
Bytes background_picture(const Ctx& c, const Table& scene, std::string_view key);
// The layer's frames = [...] as an animation set.
pack::AnimSet build_set(Ctx& c, const Table& layer, int index, std::int32_t defaultDuration);

}  // namespace sg::packtool::manifest
