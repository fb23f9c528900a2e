// The pseudo-random numbers of a run: the same generator, and so the same sequence for a seed,
// as the Windows C library's rand and srand, which earlier versions of this saver called.
#pragma once

#include <cstdint>

// Starts the sequence again from seed; before the first call the seed is 1.
void SeedRandom(uint32_t seed);
// The next number of the sequence, 0..32767.
int NextRandom();

// Whole seconds since 1 January 1970 (UTC) for a system time in 100-nanosecond units since
// 1 January 1601, the seed a run takes from the clock.
uint32_t SecondsSince1970(uint64_t systemTime);
