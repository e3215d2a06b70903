// Hostile packages made in code: valid by every size and offset, but built to
// make a careless engine do too much work or hold too much memory.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/packlib/packlib.h"

namespace sg::test {

// Every frame of every one of the ten layers points at the same one picture
// of side x side pixels (24-bit, or 8-bit with a colour table): 200 frames,
// each decoded with a mask and a cut-out by an engine that does not share.
sg::pack::Bytes aliased_picture_package(int side, int bitCount = 24, int instances = 1);

}  // namespace sg::test
