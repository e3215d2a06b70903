#include "motion/random.h"

#include <cstdint>

#include "platform/platform.h"

namespace sg {

int rand_range(int a, int b) {
    // Always one draw, even for a single-value or empty range, so the sequence
    // of later draws never depends on the sizes that went into a range.
    const std::int64_t value = pf::rand();
    // 64-bit span: b - a + 1 overflows 32 bits for ranges built from untrusted sizes.
    const std::int64_t span = static_cast<std::int64_t>(b) - a + 1;
    if (span <= 0) return a;
    return static_cast<int>(a + value % span);
}

}  // namespace sg
