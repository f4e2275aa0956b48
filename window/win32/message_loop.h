// The window thread's message loop. The main window sees each message before
// it is dispatched (its accelerators, the panel's dialog keys, the lock
// keys' lights), in the program's loop and in the loop that keeps the window
// alive while a decode runs; modal boxes and dialogs run loops of their own.
#pragma once

#include <windows.h>

namespace vekdc::win32 {

class MessageFilter {
public:
    virtual ~MessageFilter() = default;
    // True when the message was handled and is not to be dispatched.
    virtual bool PreTranslateMessage(MSG& message) = 0;
};

// The window that sees this thread's messages first; nullptr for none.
void SetMessageFilter(MessageFilter* filter);

// Takes this thread's messages until WM_QUIT; returns its exit code.
int RunMessageLoop();

// Takes this thread's messages (and the calls of workers sent to it) until
// `event` is signalled. A WM_QUIT that comes meanwhile is posted again for
// the loop that waits for it.
void RunMessageLoopUntil(HANDLE event);

}  // namespace vekdc::win32
