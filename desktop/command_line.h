// The command line of vekdc: --help and --version are answered (on the
// terminal, where the window has one), --add FILE... (the form the desktop
// entry uses) puts files into the input list after the usual start; every
// other command line keeps the program's own reading (one document file,
// automation options), which application::InitInstance does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vekdc::desktop {

struct start_request {
    enum class action { start, answer };
    action what = action::start;
    // start: the arguments for application::InitInstance (program name excluded).
    std::vector<std::string> arguments;
    // start with --add: files and folders for the input list, made absolute,
    // as the command line gave them (bytes; a name need not be UTF-8).
    bool add = false;
    std::vector<std::string> add_paths;
    // answer: what to print, where, and the exit status.
    std::string text;
    bool to_standard_error = false;
    int exit_code = 0;
};

// `arguments`: the command line with the program first; `folder`: the
// current folder, against which relative files of --add are taken.
start_request parse_command_line(const std::vector<std::string>& arguments,
                                 std::string_view folder);

// True when the command line asks for something the option parser handles
// (help, version or --add); otherwise it is read the old way.
bool uses_option_parser(const std::vector<std::string>& arguments);

// The help text, with `program` as the program's name.
std::string help_text(std::string_view program);

}  // namespace vekdc::desktop
