// The console services as vekdc-cli installs them: every message first makes
// room on the terminal (the progress line is erased), viewers are started
// only when asked for and always with an absolute path, and a yes/no question
// that cannot be asked on a terminal is answered no.
#pragma once

#include <functional>
#include <string>

#include "platform/console_services.h"

namespace vekdc::cli {

class cli_services : public platform::ConsoleServices {
public:
    // `can_ask`: standard input and error are a terminal; `view`: viewers and
    // other programs may be started; `quiet`: only problems are reported.
    cli_services(bool can_ask, bool view, bool quiet = false);

    // Called before anything is written to standard error.
    void set_before_output(std::function<void()> before_output) {
        before_output_ = std::move(before_output);
    }

    // A problem in vekdc-cli's own words on standard error: "vekdc-cli: text".
    void notice(const std::string& text);
    // The same for something that is not a problem; -q leaves it out.
    void inform(const std::string& text);

    platform::Answer message_box(const std::string& text, const std::string& caption,
                                 platform::Buttons buttons, platform::Icon icon) override;
    void run_program(const std::string& command_line) override;
    void shell_open(const std::string& path, const std::string& working_dir) override;
    [[noreturn]] void exit_program(int status) override;

private:
    void make_room();

    bool can_ask_;
    bool quiet_;
    std::function<void()> before_output_;
};

// The absolute form of a path, so that no program reads a name such as
// "-x.gif" as an option.
std::string absolute_path(const std::string& path);

}  // namespace vekdc::cli
