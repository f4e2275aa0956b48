#include "cli/cli_services.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "cli/commands.h"
#include "cli/output.h"
#include "platform/launch.h"
#include "platform/paths.h"

namespace vekdc::cli {

using platform::Answer;
using platform::Buttons;

std::string absolute_path(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute =
        std::filesystem::absolute(platform::filesystem_path(path), error);
    if (error) {
        return path.starts_with('/') ? path : "./" + path;
    }
    return platform::utf8_text(absolute);
}

cli_services::cli_services(bool can_ask, bool view, bool quiet) : can_ask_(can_ask), quiet_(quiet) {
    set_launching(view);
}

void cli_services::make_room() {
    flush_output();
    if (before_output_) {
        before_output_();
    }
}

void cli_services::notice(const std::string& text) {
    make_room();
    std::cerr << "vekdc-cli: " << text << '\n' << std::flush;
}

void cli_services::inform(const std::string& text) {
    if (!quiet_) {
        notice(text);
    }
}

Answer cli_services::message_box(const std::string& text, const std::string& caption,
                                 Buttons buttons, platform::Icon icon) {
    // What is no problem (announcements, questions answered ahead or that
    // cannot be asked) stays unsaid with -q; a question on a terminal is asked.
    const bool problem = icon == platform::Icon::Exclamation;
    if (quiet_ && !problem && buttons == Buttons::YesNo && !can_ask_) {
        return Answer::No;
    }
    if (quiet_ && !problem && (buttons == Buttons::Ok || answered_ahead() || !can_ask_)) {
        return answer_for(buttons);
    }
    make_room();
    if (buttons == Buttons::YesNo && !can_ask_) {
        // A script must not be answered yes on its behalf (for instance to
        // open dozens of viewers on a desktop).
        std::cerr << caption << ": " << text << '\n'
                  << "vekdc-cli: no terminal to ask on; the answer is no\n"
                  << std::flush;
        return Answer::No;
    }
    return ConsoleServices::message_box(text, caption, buttons, icon);
}

void cli_services::run_program(const std::string& command_line) {
    const auto argument = platform::fixed_program_argument(command_line);
    if (!argument) {
        return;
    }
    const std::string program = command_line.substr(0, command_line.size() - argument->size());
    ConsoleServices::run_program(program + absolute_path(*argument));
}

void cli_services::shell_open(const std::string& path, const std::string& working_dir) {
    if (const auto host = platform::host_path(path); host && !host->empty()) {
        ConsoleServices::shell_open(absolute_path(*host), working_dir);
    }
}

void cli_services::exit_program(int status) {
    make_room();
    ConsoleServices::exit_program(portable_status(status));
}

}  // namespace vekdc::cli
