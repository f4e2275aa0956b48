// Services for a job that runs on a worker thread: every box, dialog, program
// start and the end of the process is carried out by the wrapped services on
// the window's thread, with the worker waiting for the answer. So a question
// from the engine is a proper modal box, and exit() is never called while
// another thread is touching the window.
#pragma once

#include "platform/forwarding_services.h"

namespace vekdc::platform {

class UiThreadServices : public ForwardingServices {
public:
    using ForwardingServices::ForwardingServices;

protected:
    bool carry_out(const std::function<void()>& call) override;
};

}  // namespace vekdc::platform
