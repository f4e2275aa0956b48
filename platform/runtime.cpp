#include "platform/runtime.h"

#include <algorithm>
#include <climits>
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

std::int32_t TickSequence::next() {
    const std::int64_t now = tick_count();
    last_ = started_ ? std::max<std::int64_t>(last_ + 1, now) : now;
    started_ = true;
    if (last_ > INT32_MAX) {
        last_ = INT32_MIN;
    }
    return static_cast<std::int32_t>(last_);
}

std::int64_t current_time_seconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace vekdc::platform
