#include "platform/runtime.h"

#include <ctime>

namespace vekdc::platform {

namespace {
std::uint32_t g_state = 1;
}

void crt_srand(std::uint32_t seed) {
    g_state = seed;
}

int crt_rand() {
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int>((g_state >> 16) & 0x7fffu);
}

std::int32_t tick_count() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms));
}

std::int64_t current_time_seconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace vekdc::platform
