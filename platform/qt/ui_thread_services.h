// Services for a job that runs on a worker thread: every box, dialog, program
// start and the end of the process is carried out by the wrapped services on
// the window's thread, with the worker waiting for the answer. So a question
// from the engine is a proper modal box, and exit() is never called while
// another thread is touching the window.
#pragma once

#include "platform/services.h"

namespace vekdc::platform {

class UiThreadServices : public Services {
public:
    explicit UiThreadServices(Services& inner) : inner_(inner) {}

    Answer message_box(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) override;
    std::optional<std::string> open_file(const FileDialogRequest& request) override;
    void run_program(const std::string& command_line) override;
    void shell_open(const std::string& path, const std::string& working_dir) override;
    [[noreturn]] void exit_program(int status) override;

private:
    Services& inner_;
};

}  // namespace vekdc::platform
