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

#include "platform/services.h"

namespace vekdc::platform::win32 {

class UiThreadServices : public Services {
public:
    // Made, used from the window's side and destroyed on the window's thread.
    explicit UiThreadServices(Services& inner);
    ~UiThreadServices() override;
    UiThreadServices(const UiThreadServices&) = delete;
    UiThreadServices& operator=(const UiThreadServices&) = delete;

    Answer message_box(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) override;
    std::optional<std::string> open_file(const FileDialogRequest& request) override;
    void run_program(const std::string& command_line) override;
    void shell_open(const std::string& path, const std::string& working_dir) override;
    [[noreturn]] void exit_program(int status) override;

private:
    // Runs `call` on the window's thread and waits for it there. What it
    // throws is thrown again on the calling thread. False when the window's
    // thread no longer takes calls.
    bool on_ui_thread(const std::function<void()>& call);

    Services& inner_;
    DWORD thread_;
    HWND receiver_;  // a message-only window of the window's thread
};

// Takes this thread's messages (window messages, the calls of workers, the
// input of its windows) until `event` is signalled.
void pump_messages_until(HANDLE event);

}  // namespace vekdc::platform::win32
