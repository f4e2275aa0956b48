// The services for a process without windows: message boxes go to standard
// error as "caption: text", questions and file dialogs take preset answers,
// then ask on a terminal, then fall back to OK and cancel.
#pragma once

#include <deque>
#include <string>

#include "platform/services.h"

namespace vekdc::platform {

class ConsoleServices : public Services {
public:
    // Prepares the console for UTF-8 text.
    ConsoleServices();

    Answer message_box(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) override;
    std::optional<std::string> open_file(const FileDialogRequest& request) override;
    void run_program(const std::string& command_line) override;
    void shell_open(const std::string& path, const std::string& working_dir) override;

    // The answer for the next question box (OK/Cancel or Yes/No).
    void preset_answer(Answer answer) { answers_.push_back(answer); }
    // The path chosen in the next file dialog; an empty path cancels it.
    void preset_file(std::string path) { files_.push_back(std::move(path)); }
    // Whether viewers and other programs are started at all.
    void set_launching(bool enabled) { launching_ = enabled; }

protected:
    // The answer to a box of these buttons, from the preset answers, then
    // from the terminal, else yes (OK) — without showing the box.
    Answer answer_for(Buttons buttons);
    // Whether the next question is answered ahead.
    bool answered_ahead() const { return !answers_.empty(); }

private:
    std::deque<Answer> answers_;
    std::deque<std::string> files_;
    bool launching_ = true;
};

}  // namespace vekdc::platform
