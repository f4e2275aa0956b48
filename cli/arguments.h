// The command line of vekdc-cli: one table of commands and one of options,
// from which both the parser and the help text are made.
//
// parse_arguments() neither prints nor ends the program, so that it can be
// tested and fuzzed on its own. It uses getopt_long and is therefore not
// reentrant: call it from one thread at a time.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vekdc::cli {

enum class command_kind { decode, encode, check, keygen, keyset };

enum class verbosity { quiet, normal, verbose };

// A command whose options and files are complete and consistent.
struct parsed_command {
    command_kind command = command_kind::decode;
    std::vector<std::string> keys;            // -k, in the order given
    std::optional<std::string> encoding_key;  // encode --encoding-key
    std::optional<std::string> output;        // decode, encode -o
    std::optional<std::string> key_folder;    // keygen -d
    std::optional<std::string> drive_d;       // keyset --drive-d
    bool view = false;                        // decode --view
    bool create_A = false;                    // keygen: --create-a (else --create-b)
    bool random = false;                      // keygen: --random (else --regular)
    int clear_prefix_length = 0;              // encode -p
    int header_extra = 1;                     // encode -x
    enum verbosity verbosity = verbosity::normal;
    std::vector<std::string> files;
};

// "vekdc-cli help [COMMAND]", "--help", "COMMAND --help" or, as on Windows,
// "/?" and "COMMAND /?"; topic is empty for the whole program.
struct help_request {
    std::string topic;
};
struct version_request {};
// Status 64: `problem` says what is wrong, `topic` names the command whose
// usage to show (empty for the whole program).
struct usage_error {
    std::string topic;
    std::string problem;
};

using parse_result = std::variant<parsed_command, help_request, version_request, usage_error>;

// What a file argument stands for: the files it names (see
// platform::expand_file_argument); without one, each stands for itself.
using file_expander = std::function<std::vector<std::string>(const std::string&)>;

// The arguments after the program name.
parse_result parse_arguments(const std::vector<std::string>& arguments,
                             const file_expander& expand_files = {});

// ---------------------------------------------------------------- the tables

struct command_spec {
    command_kind kind;
    std::string_view name;
    std::string_view synopsis;     // what follows "vekdc-cli NAME" in a usage line
    std::string_view summary;      // one line for the list of commands
    std::string_view description;  // paragraphs of the command's help
};

// A bit per command, for the commands an option belongs to.
constexpr unsigned command_bit(command_kind kind) {
    return 1u << static_cast<unsigned>(kind);
}
inline constexpr unsigned kEveryCommand = (1u << 5) - 1;

struct option_spec {
    char short_name;             // '\0' for a long option only
    std::string_view long_name;  // without the leading "--"
    std::string_view argument;   // the argument's name in the help; empty for a flag
    std::string_view help;       // one line (wrapped when printed)
    unsigned commands;           // command_bit() of each command that has it
};

std::span<const command_spec> command_table();
std::span<const option_spec> option_table();

// The row of a command name, or nothing.
const command_spec* find_command(std::string_view name);

// ---------------------------------------------------------------- help

inline constexpr std::string_view kProgramName = "vekdc-cli";

// The help of one command, of the help command itself for "help", or of the
// whole program for an empty topic (every command's usage, options and the
// exit statuses). Ends with a line feed.
std::string help_text(std::string_view topic);

// What vekdc-cli prints for a usage error: the problem, the usage line(s) of
// the topic and where to read more.
std::string usage_error_text(const usage_error& error);

}  // namespace vekdc::cli
