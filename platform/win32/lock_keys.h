// The lights of the lock keys on Windows, as the calling thread's keyboard
// state has them (GetKeyState): current as of the last keyboard message the
// thread took from its queue, which is what a window's status bar shows.
#pragma once

#include <windows.h>

#include "platform/lock_keys.h"

namespace vekdc::platform::win32 {

// The virtual-key code of a lock key.
UINT virtual_key(LockKey key);

LockKeyLights lock_key_lights();

}  // namespace vekdc::platform::win32
