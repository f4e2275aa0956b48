// Services that hand every call to other services on another thread (a
// window's) and wait there for the answer. A window's toolkit says how a
// call gets to its thread; the rest is the same for every window.
#pragma once

#include <functional>

#include "platform/services.h"

namespace vekdc::platform {

class ForwardingServices : public Services {
public:
    explicit ForwardingServices(Services& inner) : inner_(inner) {}

    Answer message_box(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) override;
    std::optional<std::string> open_file(const FileDialogRequest& request) override;
    void run_program(const std::string& command_line) override;
    void shell_open(const std::string& path, const std::string& working_dir) override;
    // The other thread ends the process while the caller waits. With that
    // thread gone, the process ends from the caller's.
    [[noreturn]] void exit_program(int status) override;

protected:
    // Runs `call` on the other thread and waits for it; what it throws is
    // thrown again here. False when that thread takes no more calls.
    virtual bool carry_out(const std::function<void()>& call) = 0;

private:
    Services& inner_;
};

}  // namespace vekdc::platform
