#include "platform/forwarding_services.h"

#include <cstdlib>

namespace vekdc::platform {

Answer ForwardingServices::message_box(const std::string& text, const std::string& caption,
                                       Buttons buttons, Icon icon) {
    Answer answer = Answer::Failed;
    carry_out([&] { answer = inner_.message_box(text, caption, buttons, icon); });
    return answer;
}

std::optional<std::string> ForwardingServices::open_file(const FileDialogRequest& request) {
    std::optional<std::string> chosen;
    carry_out([&] { chosen = inner_.open_file(request); });
    return chosen;
}

void ForwardingServices::run_program(const std::string& command_line) {
    carry_out([&] { inner_.run_program(command_line); });
}

void ForwardingServices::shell_open(const std::string& path, const std::string& working_dir) {
    carry_out([&] { inner_.shell_open(path, working_dir); });
}

void ForwardingServices::exit_program(int status) {
    if (!carry_out([&] { inner_.exit_program(status); })) {
        inner_.exit_program(status);
    }
    std::abort();
}

}  // namespace vekdc::platform
