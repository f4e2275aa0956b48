#include "platform/win32/lock_keys.h"

namespace vekdc::platform::win32 {

namespace {

// Indexed by LockKey.
constexpr std::array<UINT, kLockKeyCount> kVirtualKeys{VK_KANA, VK_CAPITAL, VK_NUMLOCK, VK_SCROLL};

}  // namespace

UINT virtual_key(LockKey key) {
    return kVirtualKeys[static_cast<std::size_t>(key)];
}

LockKeyLights lock_key_lights() {
    LockKeyLights lights{};
    for (std::size_t i = 0; i < kLockKeyCount; ++i) {
        // The low bit is the key's toggle state.
        lights[i] = (::GetKeyState(static_cast<int>(kVirtualKeys[i])) & 1) != 0;
    }
    return lights;
}

}  // namespace vekdc::platform::win32
