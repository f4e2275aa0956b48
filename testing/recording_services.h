// Services for tests: every box, dialog and program start is recorded, answers
// are given ahead of time, and each box is also echoed to standard error as
// "caption: text" so that a test of a process that ends can still read it.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/services.h"

namespace vekdc::platform {

class RecordingServices : public Services {
public:
    struct Box {
        std::string text;
        std::string caption;
        Buttons buttons;
        Icon icon;
        std::thread::id thread;  // the thread that asked for the box
    };

    Answer message_box(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) override;
    std::optional<std::string> open_file(const FileDialogRequest& request) override;
    void run_program(const std::string& command_line) override;
    void shell_open(const std::string& path, const std::string& working_dir) override;

    // Queued answers; without one a question box answers OK (or Yes) and a
    // file dialog is cancelled. An empty path cancels its dialog.
    void setNextAnswer(Answer answer) { answers_.push_back(answer); }
    void setNextFile(std::string path) { files_.push_back(std::move(path)); }

    // Called with each box as it is recorded, before it is answered.
    std::function<void(const Box&)> on_box;

    std::vector<Box> boxes;
    std::vector<FileDialogRequest> dialogs;
    std::vector<std::string> programs;                             // run_program command lines
    std::vector<std::pair<std::string, std::string>> shell_opens;  // path, working folder

    std::vector<std::string> texts() const;

private:
    std::deque<Answer> answers_;
    std::deque<std::string> files_;
};

// Installs a recorder for the lifetime of the object and restores the
// previous services afterwards.
class ScopedRecorder {
public:
    ScopedRecorder() : previous_(install(&recorder_)) {}
    ~ScopedRecorder() { install(previous_); }
    ScopedRecorder(const ScopedRecorder&) = delete;
    ScopedRecorder& operator=(const ScopedRecorder&) = delete;
    RecordingServices* operator->() { return &recorder_; }
    RecordingServices& operator*() { return recorder_; }

private:
    RecordingServices recorder_;
    Services* previous_;
};

}  // namespace vekdc::platform
