// Run-time services with the exact behaviour the cipher depends on: the
// C run-time compatible random generator, the tick count and the clock.
#pragma once

#include <cstdint>

namespace vekdc::platform {

// Largest value crt_rand() returns.
inline constexpr int kCrtRandMax = 32767;

// Process-wide linear congruential generator of the original run-time library:
// state = state * 214013 + 2531011 (mod 2^32), value = (state >> 16) & 0x7fff.
// The state starts at 1; crt_srand(0) really seeds with 0.
void crt_srand(std::uint32_t seed);
int crt_rand();

// Milliseconds since the system started, wrapped to 32 bits and read as signed,
// the way the tick suffix of decoded file names prints it.
std::int32_t tick_count();

// The tick counts that names take when their first choice is taken: the tick
// count when the first is asked for, then each later than the one before and
// not earlier than the tick count, wrapping around as the 32-bit tick count does.
class TickSequence {
public:
    std::int32_t next();

private:
    bool started_ = false;
    std::int64_t last_ = 0;
};

// Seconds since 1970-01-01 UTC.
std::int64_t current_time_seconds();

}  // namespace vekdc::platform
