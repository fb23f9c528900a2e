// A linear congruential generator with the Windows C library's constants; its state lives in
// HostState, since a sequence belongs to the process as the library's did.
#include "host/random.h"

#include "host/host_state.h"

namespace {

// 1 January 1970 in 100-nanosecond units since 1 January 1601.
constexpr uint64_t kUnixEpoch = 116444736000000000ull;
constexpr uint64_t kUnitsPerSecond = 10000000ull;

}  // namespace

void SeedRandom(uint32_t seed) {
    gHostState.randomState = seed;
}

int NextRandom() {
    gHostState.randomState = gHostState.randomState * 214013u + 2531011u;
    return static_cast<int>((gHostState.randomState >> 16) & 0x7FFF);
}

uint32_t SecondsSince1970(uint64_t systemTime) {
    return static_cast<uint32_t>((systemTime - kUnixEpoch) / kUnitsPerSecond);
}
