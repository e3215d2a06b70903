// The C runtime's generator, which makes runs repeatable on every backend.
#include <gtest/gtest.h>

#include "platform/diagnostics.h"
#include "platform/platform.h"
#include "world/random.h"

namespace {

TEST(Generator, StartsLikeTheWindowsRuntimeAfterSeedOne) {
    pf::diagnostics::rand_reset();
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) EXPECT_EQ(pf::rand(), value);
    for (int i = 0; i < 10000; ++i) {
        const int v = pf::rand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
    pf::diagnostics::rand_reset();
    EXPECT_EQ(pf::rand(), 41);
}

}  // namespace

// The saver keeps its own generator so that two savers draw independently; it
// must be the runtime's sequence value for value (under wine64 this compares
// with the real C runtime's rand()).
namespace {

TEST(Generator, TheSaversOwnSequenceIsTheRuntimes) {
    pf::diagnostics::rand_reset();
    sg::Random own;
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(sg::random_next(own), pf::rand()) << "draw " << i;
}

TEST(Generator, RangesTakeOneDrawEachEvenWhenEmpty) {
    sg::Random a, b;
    EXPECT_EQ(sg::rand_range(a, 5, 5), 5);
    EXPECT_EQ(sg::rand_range(a, 9, 3), 9);  // empty: gives a, still draws
    EXPECT_EQ(sg::rand_range(a, -2147483647 - 1, 2147483647), -2147483648LL + 6334);
    for (int i = 0; i < 3; ++i) sg::random_next(b);
    EXPECT_EQ(sg::random_next(a), sg::random_next(b));
    EXPECT_EQ(a.state, b.state);
}

}  // namespace
