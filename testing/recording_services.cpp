#include "testing/recording_services.h"

#include <iostream>

namespace vekdc::platform {

Answer RecordingServices::message_box(const std::string& text, const std::string& caption,
                                      Buttons buttons, Icon icon) {
    boxes.push_back(Box{text, caption, buttons, icon, std::this_thread::get_id()});
    std::cerr << caption << ": " << text << '\n' << std::flush;
    if (on_box) {
        const Box box = boxes.back();  // the hook may ask for further boxes
        on_box(box);
    }
    if (buttons == Buttons::Ok) {
        return Answer::Ok;
    }
    if (!answers_.empty()) {
        const Answer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

std::optional<std::string> RecordingServices::open_file(const FileDialogRequest& request) {
    dialogs.push_back(request);
    if (files_.empty()) {
        return std::nullopt;
    }
    std::string chosen = files_.front();
    files_.pop_front();
    if (chosen.empty()) {
        return std::nullopt;
    }
    return chosen;
}

void RecordingServices::run_program(const std::string& command_line) {
    programs.push_back(command_line);
}

void RecordingServices::shell_open(const std::string& path, const std::string& working_dir) {
    shell_opens.emplace_back(path, working_dir);
}

std::vector<std::string> RecordingServices::texts() const {
    std::vector<std::string> result;
    result.reserve(boxes.size());
    for (const auto& box : boxes) {
        result.push_back(box.text);
    }
    return result;
}

}  // namespace vekdc::platform
