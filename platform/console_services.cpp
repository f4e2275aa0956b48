#include "platform/console_services.h"

#include <iostream>

#include "platform/console.h"
#include "platform/launch.h"

namespace vekdc::platform {

namespace {

std::string read_answer_line(const std::string& prompt) {
    std::cerr << prompt << std::flush;
    return read_console_line().value_or(std::string());
}

}  // namespace

ConsoleServices::ConsoleServices() {
    prepare_console();
}

Answer ConsoleServices::message_box(const std::string& text, const std::string& caption,
                                    Buttons buttons, Icon /*icon*/) {
    std::cerr << caption << ": " << text << '\n' << std::flush;
    return answer_for(buttons);
}

Answer ConsoleServices::answer_for(Buttons buttons) {
    if (buttons == Buttons::Ok) {
        return Answer::Ok;
    }
    const Answer yes = buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    const Answer no = buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    if (!answers_.empty()) {
        const Answer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    if (!console_is_interactive()) {
        return yes;
    }
    const std::string line =
        read_answer_line(buttons == Buttons::YesNo ? "[y]es / [n]o? " : "[o]k / [c]ancel? ");
    const char first = line.empty() ? 'y' : static_cast<char>(line[0] | 0x20);
    return (first == 'n' || first == 'c') ? no : yes;
}

std::optional<std::string> ConsoleServices::open_file(const FileDialogRequest& request) {
    std::string chosen;
    if (!files_.empty()) {
        chosen = files_.front();
        files_.pop_front();
    } else if (console_is_interactive()) {
        std::string prompt = request.title.empty() ? std::string("Open") : request.title;
        if (!request.filter.empty()) {
            prompt += " (" + request.filter + ")";
        }
        chosen = read_answer_line(prompt + " - path, empty to cancel: ");
    }
    if (chosen.empty()) {
        return std::nullopt;
    }
    return chosen;
}

void ConsoleServices::run_program(const std::string& command_line) {
    if (!launching_) {
        return;
    }
    start_program(command_line);
}

void ConsoleServices::shell_open(const std::string& path, const std::string& working_dir) {
    if (!launching_) {
        return;
    }
    open_document(path, working_dir);
}

}  // namespace vekdc::platform
