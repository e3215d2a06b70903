#include "world/random.h"

namespace sg {

int random_next(Random& random) {
    random.state = random.state * 214013u + 2531011u;
    return static_cast<int>((random.state >> 16) & 0x7FFF);
}

int rand_range(Random& random, int a, int b) {
    // Always one draw, even for a single-value or empty range, so the sequence
    // of later draws never depends on the sizes that went into a range.
    const std::int64_t value = random_next(random);
    // 64-bit span: b - a + 1 overflows 32 bits for ranges built from untrusted sizes.
    const std::int64_t span = static_cast<std::int64_t>(b) - a + 1;
    if (span <= 0) return a;
    return static_cast<int>(a + value % span);
}

}  // namespace sg
