// The C runtime's generator, which makes runs repeatable on every backend.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(Generator, StartsLikeTheWindowsRuntimeAfterSeedOne) {
    pf::rand_reset();
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) EXPECT_EQ(pf::rand(), value);
    for (int i = 0; i < 10000; ++i) {
        const int v = pf::rand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
    pf::rand_reset();
    EXPECT_EQ(pf::rand(), 41);
}

}  // namespace
