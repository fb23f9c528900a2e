// The run's pseudo-random numbers: the Windows C library's sequence, and the seed taken from
// the clock.
#include "host/random.h"

#include <gtest/gtest.h>

namespace {

TEST(Random, GivesTheWindowsCLibrarySequence) {
    const int fromSeed1[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int round = 0; round < 2; round++) {  // seeding again starts the sequence again
        SeedRandom(1);
        for (int value : fromSeed1) {
            EXPECT_EQ(NextRandom(), value);
        }
    }
    SeedRandom(0);
    EXPECT_EQ(NextRandom(), 38);
    SeedRandom(0xFFFFFFFF);
    EXPECT_EQ(NextRandom(), 35);
}

TEST(Random, TheClockGivesSecondsSince1970) {
    struct Case {
        uint64_t systemTime;  // 100-nanosecond units since 1601
        uint32_t seconds;
    } cases[] = {
        {116444736000000000ull, 0},
        {116444736009999999ull, 0},                                          // whole seconds only
        {116444736000000000ull + 1796860800ull * 10000000ull, 1796860800u},  // 2026-12-10
        {116444736000000000ull + 4294967296ull * 10000000ull, 0},            // 2106 wraps
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SecondsSince1970(c.systemTime), c.seconds) << c.systemTime;
    }
}

}  // namespace
