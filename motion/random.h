// The engine's one random source: a + rand() mod (b - a + 1), one draw per call.
#pragma once

namespace sg {

// A range with b < a has no values; it still consumes one draw and gives a.
int rand_range(int a, int b);

}  // namespace sg
