// The lock keys whose lights the status bar shows, for every window.
#pragma once

#include <array>
#include <cstddef>

namespace vekdc::platform {

enum class LockKey { Kana, Caps, Num, Scroll };
inline constexpr std::size_t kLockKeyCount = 4;

// Which lights are on, indexed by LockKey.
using LockKeyLights = std::array<bool, kLockKeyCount>;

}  // namespace vekdc::platform
