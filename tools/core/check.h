// Everything that validate, inspect, build and bind want to know about a
// package: the engine's refusals (from the package reader) and the warnings
// an author needs.
#pragma once

#include "tools/core/util.h"
#include "tools/packlib/packlib.h"

namespace sg::packtool {

// The logical screen of the preview pane: sprites larger than this do not fit it.
constexpr int PREVIEW_WIDTH = 320;
constexpr int PREVIEW_HEIGHT = 240;

// How wide an about line the about box shows, in columns: a half-width
// character is one, a full-width one two. Measured under wine64 (Japanese
// locale, fonts-ipafont-gothic) with `testhost measure` (the wine end-to-end
// case texts-codepage): the box's field 1000 is created from the saver's
// template, and GetTextExtentPoint32W on the field's own font (the 9-point
// dialog font, which wine draws as IPA Gothic) fits 38 of '0', 'a', 'M', 'W'
// or 'ｶ' and 19 of 'あ' or '雪' in its 228-pixel formatting rectangle.
// Wider lines are cut off at the field's edges.
constexpr int ABOUT_FIELD_COLUMNS = 38;

// An about line's width in columns. In every code page a package may name a
// full-width character takes two bytes and a half-width one byte, so the
// stored bytes count the columns.
inline int about_line_columns(const std::string& bytes) { return static_cast<int>(bytes.size()); }

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
