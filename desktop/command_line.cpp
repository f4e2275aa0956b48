#include "desktop/command_line.h"

#include <algorithm>
#include <span>

#include "desktop/file_names.h"
#include "desktop/texts.h"
#include "vekdc/version.h"

namespace vekdc::desktop {

namespace {

// The names that switch to the option parser.
constexpr std::string_view kParserOptions[] = {"-h", "--help",    "--help-all", "-?",
                                               "-v", "--version", "--add"};

enum class option { help, version, add, unknown };

struct named_option {
    std::string_view name;
    option meaning;
};
constexpr named_option kLongOptions[] = {{"help", option::help},
                                         {"help-all", option::help},
                                         {"version", option::version},
                                         {"add", option::add}};
constexpr named_option kShortOptions[] = {
    {"h", option::help}, {"?", option::help}, {"v", option::version}};

option find_option(std::span<const named_option> options, std::string_view name) {
    for (const named_option& entry : options) {
        if (entry.name == name) {
            return entry.meaning;
        }
    }
    return option::unknown;
}

// A help line: the option's names, then its description in a column.
std::string help_line(std::string_view names, std::string_view description) {
    constexpr std::size_t kColumn = 16;
    std::string line = "  " + std::string(names);
    line.append(line.size() < kColumn ? kColumn - line.size() : 1, ' ');
    return line + std::string(description) + '\n';
}

start_request answer(std::string text, int exit_code) {
    start_request request;
    request.what = start_request::action::answer;
    request.text = std::move(text);
    request.exit_code = exit_code;
    request.to_standard_error = exit_code != 0;
    return request;
}

}  // namespace

bool uses_option_parser(const std::vector<std::string>& arguments) {
    return std::any_of(arguments.begin() + std::min<std::size_t>(1, arguments.size()),
                       arguments.end(), [](const std::string& argument) {
                           return std::find(std::begin(kParserOptions), std::end(kParserOptions),
                                            argument) != std::end(kParserOptions);
                       });
}

std::string help_text(std::string_view program) {
    return format(text_id::cmdline_usage, {program, "[FILE...]"}) + '\n' +
           std::string(text(text_id::cmdline_description)) + "\n\n" +
           std::string(text(text_id::cmdline_options)) + '\n' +
           help_line("-h, --help", text(text_id::cmdline_help)) +
           help_line("-v, --version", text(text_id::cmdline_version)) +
           help_line("--add", text(text_id::cmdline_add)) + '\n' +
           std::string(text(text_id::cmdline_arguments)) + '\n' +
           help_line("FILE", text(text_id::cmdline_files));
}

start_request parse_command_line(const std::vector<std::string>& arguments,
                                 std::string_view folder) {
    start_request request;
    if (!uses_option_parser(arguments)) {
        if (!arguments.empty()) {
            request.arguments.assign(arguments.begin() + 1, arguments.end());
        }
        return request;
    }
    const std::string program =
        arguments.empty() ? std::string("vekdc") : std::string(file_name_of(arguments.front()));

    // The options are all flags, so every other argument (and all after
    // "--") is a file, in order.
    bool help = false;
    bool version = false;
    bool optionsEnded = false;
    std::vector<std::string> files;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
            files.push_back(absolute_path(argument, folder));
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name", or "-abc" as the short options a, b and c.
        std::vector<std::string> names;
        if (argument.starts_with("--")) {
            names.push_back(argument.substr(2));
        } else {
            for (const char c : argument.substr(1)) {
                names.emplace_back(1, c);
            }
        }
        for (const std::string& name : names) {
            const std::span<const named_option> known =
                argument.starts_with("--") ? std::span<const named_option>(kLongOptions)
                                           : std::span<const named_option>(kShortOptions);
            const option meaning = find_option(known, name);
            if (meaning == option::unknown) {
                return answer(format(text_id::cmdline_unknown, {name}) + '\n' + help_text(program),
                              1);
            }
            help = help || meaning == option::help;
            version = version || meaning == option::version;
        }
    }
    if (help) {
        return answer(help_text(program), 0);
    }
    if (version) {
        return answer("vekdc " VEKDC_VERSION "\n", 0);
    }
    request.add = true;
    request.add_paths = std::move(files);
    return request;
}

}  // namespace vekdc::desktop
