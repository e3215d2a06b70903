// The world's one random source: the Windows C runtime's rand() sequence
// (seed 1: 41, 18467, 6334, ...), kept in the saver's own state so that two
// savers in one process draw independently, each exactly as it would alone.
#pragma once

#include <cstdint>

namespace sg {

struct Random {
    std::uint32_t state = 1;
};

// The next 15-bit value of the sequence.
int random_next(Random& random);
// a + next mod (b - a + 1), one draw per call. A range with b < a has no
// values; it still consumes one draw and gives a.
int rand_range(Random& random, int a, int b);

}  // namespace sg
