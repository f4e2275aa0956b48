// Services for a job that runs on a worker thread of the Windows window:
// every box, dialog, program start and the end of the process is carried out
// by the wrapped services on the window's thread, with the worker waiting for
// the answer. So a question from the engine is a proper modal box of the
// window, and exit() is never called while another thread touches the window.
//
// The window's thread must keep taking its messages while a worker runs (its
// message loop, a modal loop, or pump_messages_until): a call from a worker
// is a message sent to it.
#pragma once

#include <windows.h>

#include <functional>

#include "platform/forwarding_services.h"

namespace vekdc::platform::win32 {

class UiThreadServices : public ForwardingServices {
public:
    // Made and destroyed on the window's thread.
    explicit UiThreadServices(Services& inner);
    ~UiThreadServices() override;
    UiThreadServices(const UiThreadServices&) = delete;
    UiThreadServices& operator=(const UiThreadServices&) = delete;

protected:
    bool carry_out(const std::function<void()>& call) override;

private:
    DWORD thread_;
    HWND receiver_;  // a message-only window of the window's thread
};

// Takes this thread's messages (window messages, the calls of workers, the
// input of its windows) until `event` is signalled. `filter` sees each
// message first and returns true for one it handled, which is then not
// dispatched (a window's accelerators and dialog keys).
void pump_messages_until(HANDLE event, const std::function<bool(MSG&)>& filter = {});

}  // namespace vekdc::platform::win32
