// Everything that validate, inspect, build and bind want to know about a
// package: the engine's refusals (from the package reader) and the warnings
// an author needs.
#pragma once

#include "tools/pack/util.h"
#include "tools/packlib/packlib.h"

namespace sg::packtool {

// The logical screen of the preview pane: sprites larger than this do not fit it.
constexpr int PREVIEW_WIDTH = 320;
constexpr int PREVIEW_HEIGHT = 240;

struct Checked {
    pack::PackageRead read;
    pack::Problems problems;  // the reader's, then the author warnings
    bool ok() const { return !pack::has_errors(problems); }
    int errors() const;
    int warnings() const;
};

Checked check_package(const Bytes& package);

// Key colour of a frame under a mask mode (B, G, R), or nullopt for mode 3
// and modes without a key. Mode 0 takes the top-left pixel as seen.
std::optional<std::array<std::uint8_t, 3>> frame_key(const pack::Image& frame, std::int32_t maskMode);

}  // namespace sg::packtool
