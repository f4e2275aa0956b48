#include "cli/arguments.h"

#include <getopt.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>

namespace vekdc::cli {

namespace {

constexpr unsigned kDecode = command_bit(command_kind::decode);
constexpr unsigned kEncode = command_bit(command_kind::encode);
constexpr unsigned kCheck = command_bit(command_kind::check);
constexpr unsigned kKeygen = command_bit(command_kind::keygen);
constexpr unsigned kKeyset = command_bit(command_kind::keyset);

constexpr std::array kCommands = {
    command_spec{
        command_kind::decode, "decode", "[OPTION]... -k KEY FILE...",
        "decode .vek files with a decoding key",
        "Decodes each FILE with the 11 x 12 decoding key KEY into DIR under the file's stem and "
        "the extension its header records, and prints one line per written file. An existing "
        "file is never replaced: a decoded file whose name is taken gets a tick count added. A "
        "FILE that is missing, cannot be read or is not an encrypted file is named and skipped; "
        "the others are still decoded. Names with control characters are printed escaped.\n"
        "Exit status: 0 when every file was decoded; 1 when some file could not be read or is "
        "not an encrypted file; 2 when the key did not open some file; 255 when the output "
        "folder cannot be written. The first of 255, 1 and 2 that applies wins."},
    command_spec{
        command_kind::encode, "encode", "[OPTION]... (-k KEY | --encoding-key A.KEY) FILE...",
        "encode plain files into .vek files",
        "Encodes each FILE into DIR/STEM.vek, replacing an older file of that name once the new "
        "one is complete. Every FILE is checked first: it must exist, be a regular file of an "
        "accepted type (txt avi doc htm jpg mp3 lzh gif wmf bmp ttf wav mpg, by the last three "
        "letters of its name, case-sensitive), hold at least P + 10 bytes, and no two files may "
        "give the same .vek name. When any check fails, each failing file is named and nothing "
        "is written.\n"
        "Exit status: 0 when every file was encoded; 1 when some file was refused or not "
        "written; 255 when the output folder cannot be written."},
    command_spec{
        command_kind::check, "check", "[OPTION]... -k KEY [-k KEY]... FILE...",
        "tell which of the given keys opens each .vek file",
        "Reads only the header and the cipher block of each FILE, whatever its size, and prints "
        "one line per file: its type, the length of its clear prefix and which of the given keys "
        "open it. Nothing is written.\n"
        "Exit status: 0 when every file is opened by some key; 2 when some file is opened by "
        "none; 1 when some file could not be read or is not an encrypted file (the others are "
        "still checked)."},
    command_spec{
        command_kind::keygen, "keygen", "(--create-a|--create-b) (--random|--regular) [-d DIR]",
        "create a key pair and save it",
        "Creates an encoding key A or a decoding key B, random or regular, derives the other key "
        "of the pair and saves both into DIR as B_11_12_matrix_TIME and A_12_11_matrix_TIME, "
        "then prints the paths of the two key files. DIR must exist. The \"random\" keys come "
        "from a generator that every run starts from the same seed.\n"
        "Exit status: 0 when both keys were written, 1 otherwise."},
    command_spec{
        command_kind::keyset, "keyset", "[OPTION]... [FILE...]",
        "make a master key, three encoding keys and their daughter keys",
        "Makes the master decoding key master.key, three encoding keys derived from it and their "
        "daughter keys daughter1.key, daughter2.key and daughter3.key in the folder that stands "
        "for drive D:, encoding two files with each encoding key into the current folder on the "
        "way. The six files are the FILE arguments in order, two per encoding key; without them "
        "each file is asked for on the terminal. The same run always makes the same keys.\n"
        "Exit status: 0 when the four keys were written and the six files encoded, 1 otherwise."},
};

constexpr std::array kOptions = {
    option_spec{'k', "key", "KEY", "decoding key file", kDecode},
    option_spec{'k', "key", "KEY",
                "decoding key file; the encoding key is derived from it, so the files open "
                "with KEY",
                kEncode},
    option_spec{'k', "key", "KEY", "a decoding key to try; give -k once for each key", kCheck},
    option_spec{'\0', "encoding-key", "A.KEY",
                "12 x 11 encoding key file; the matching decoding key is derived from it", kEncode},
    option_spec{'o', "output", "DIR",
                "output folder, made when a file is about to be written into it and it does not "
                "exist (default: the current folder)",
                kDecode | kEncode},
    option_spec{'\0', "view", "",
                "open decoded pictures, fonts, sounds and videos in a viewer; before opening "
                "more than ten, ask on a terminal, and open none when there is no terminal to "
                "ask on",
                kDecode},
    option_spec{'p', "prefix", "P",
                "plain bytes kept in the clear ahead of the enciphered ten (default 0)", kEncode},
    option_spec{'x', "header-extra", "N", "value of the header's extra word (default 1)", kEncode},
    option_spec{'\0', "create-a", "", "create an encoding key A and derive B from it", kKeygen},
    option_spec{'\0', "create-b", "", "create a decoding key B and derive A from it", kKeygen},
    option_spec{'\0', "random", "", "random elements", kKeygen},
    option_spec{'\0', "regular", "", "regular elements 2i|i-j| + i + 2j + 3", kKeygen},
    option_spec{'d', "dir", "DIR", "folder for the key files (default: the current folder)",
                kKeygen},
    option_spec{'\0', "drive-d", "DIR",
                "folder that stands for drive D: (default: $VEKDC_DRIVE_D; without it, on "
                "Windows the drive D: itself)",
                kKeyset},
    option_spec{'v', "verbose", "", "also print the header facts of each file",
                kDecode | kEncode | kCheck},
    option_spec{'q', "quiet", "",
                "print no line per file and no progress; only problems are reported",
                kEveryCommand},
    option_spec{'h', "help", "", "show the help and exit", kEveryCommand},
    option_spec{'\0', "version", "", "show the version and exit", kEveryCommand},
};

constexpr std::string_view kIntroduction =
    "Decodes Vek encrypted files (.vek) with a key file, encodes plain files, makes key pairs "
    "and key hierarchies, and tells which key opens which file.";

// (status, meaning) of the exit status table of the whole program.
constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kStatuses = {{
    {"0", "every file was decoded, encoded or opened by a key; every key was written"},
    {"1",
     "a file or key could not be read, was refused or was not written, or standard output "
     "could not be written"},
    {"2", "a given key did not open some file (decode, check)"},
    {"64", "the command line is wrong"},
    {"255", "the output folder cannot be written (decode, encode)"},
}};

constexpr std::size_t kTextWidth = 79;

// The help command's own topic, and Windows' way of asking for help.
constexpr std::string_view kHelpTopic = "help";
constexpr std::string_view kWindowsHelp = "/?";
constexpr std::string_view kHelpDescription =
    "Shows the help of COMMAND, or without one the help of the whole program: every command's "
    "usage and options, and the exit statuses. 'vekdc-cli COMMAND --help' shows a command's "
    "help too, and so does /? in place of --help, as on Windows.";

// Whether a word asks for the help of the whole program.
bool asks_for_help(std::string_view word) {
    return word == kHelpTopic || word == "--help" || word == "-h" || word == kWindowsHelp;
}

// ---------------------------------------------------------------- text layout

// Appends `text` wrapped at kTextWidth, the first line after `first_indent`
// (already written) and later lines indented by `indent` spaces.
void append_wrapped(std::string& out, std::string_view text, std::size_t first_indent,
                    std::size_t indent) {
    std::size_t column = first_indent;
    bool line_start = true;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
        if (word.empty()) {
            continue;
        }
        if (!line_start && column + 1 + word.size() > kTextWidth) {
            out += '\n';
            out.append(indent, ' ');
            column = indent;
            line_start = true;
        }
        if (!line_start) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        line_start = false;
    }
    out += '\n';
}

// Paragraphs separated by line feeds, each wrapped and indented, with a
// blank line between.
void append_paragraphs(std::string& out, std::string_view text, std::size_t indent = 0) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        out.append(indent, ' ');
        append_wrapped(out, text.substr(0, end), indent, indent);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!text.empty()) {
            out += '\n';
        }
    }
}

std::string option_label(const option_spec& option) {
    std::string label = option.short_name != '\0' ? std::string{'-', option.short_name} + ", "
                                                  : std::string(4, ' ');
    label += "--";
    label += option.long_name;
    if (!option.argument.empty()) {
        label += '=';
        label += option.argument;
    }
    return label;
}

// One line per option: the label in a column as wide as the widest, then the help.
void append_options(std::string& out, const std::vector<const option_spec*>& options) {
    std::size_t width = 0;
    for (const option_spec* option : options) {
        width = std::max(width, option_label(*option).size());
    }
    const std::size_t indent = 2 + width + 2;
    for (const option_spec* option : options) {
        const std::string label = option_label(*option);
        out += "  " + label;
        out.append(width - label.size() + 2, ' ');
        append_wrapped(out, option->help, indent, indent);
    }
}

std::vector<const option_spec*> options_where(bool (*keep)(const option_spec&, unsigned),
                                              unsigned bit) {
    std::vector<const option_spec*> chosen;
    for (const option_spec& option : kOptions) {
        if (keep(option, bit)) {
            chosen.push_back(&option);
        }
    }
    return chosen;
}

bool belongs_to(const option_spec& option, unsigned bit) {
    return (option.commands & bit) != 0;
}
bool belongs_only_to_some(const option_spec& option, unsigned bit) {
    return option.commands != kEveryCommand && (option.commands & bit) != 0;
}
bool belongs_to_all(const option_spec& option, unsigned /*bit*/) {
    return option.commands == kEveryCommand;
}

std::string usage_line(const command_spec& command, bool first) {
    return std::string(first ? "Usage: " : "  or:  ") + std::string(kProgramName) + " " +
           std::string(command.name) + " " + std::string(command.synopsis) + "\n";
}

std::string all_usage_lines() {
    std::string out;
    for (const command_spec& command : kCommands) {
        out += usage_line(command, &command == &kCommands.front());
    }
    out += "  or:  " + std::string(kProgramName) + " help [COMMAND]\n";
    return out;
}

std::string program_help() {
    std::string out = all_usage_lines();
    append_paragraphs(out, kIntroduction);
    out += "\nCommands:\n";
    for (const command_spec& command : kCommands) {
        out += "  " + std::string(command.name);
        out.append(8 - command.name.size(), ' ');
        out += std::string(command.summary) + "\n";
    }
    out += "  help    show the help of a command\n";
    for (const command_spec& command : kCommands) {
        out += "\nThe " + std::string(command.name) + " command:\n";
        append_paragraphs(out, command.description, 2);
        out += '\n';
        append_options(out, options_where(belongs_only_to_some, command_bit(command.kind)));
    }
    out += "\nOptions of every command:\n";
    append_options(out, options_where(belongs_to_all, 0));
    out += "\nExit status:\n";
    for (const auto& [status, meaning] : kStatuses) {
        out += "  " + std::string(status);
        out.append(5 - status.size(), ' ');
        append_wrapped(out, meaning, 7, 7);
    }
    out += "\n'" + std::string(kProgramName) + " help COMMAND' tells what a command does.\n";
    return out;
}

std::string command_help(const command_spec& command) {
    std::string out = usage_line(command, true);
    append_paragraphs(out, command.description);
    out += "\nOptions:\n";
    append_options(out, options_where(belongs_to, command_bit(command.kind)));
    return out;
}

// ---------------------------------------------------------------- parsing

// Values getopt_long returns for options without a short name.
constexpr int kLongOnlyBase = 256;

struct getopt_setup {
    std::vector<const option_spec*> rows;  // the command's options
    std::vector<std::string> names;        // keeps the long names' text alive
    std::vector<::option> longs;
    std::string shorts;
};

int value_of(const getopt_setup& setup, std::size_t row) {
    const char short_name = setup.rows[row]->short_name;
    return short_name != '\0' ? static_cast<unsigned char>(short_name)
                              : kLongOnlyBase + static_cast<int>(row);
}

getopt_setup setup_for(command_kind kind) {
    getopt_setup setup;
    setup.rows = options_where(belongs_to, command_bit(kind));
    // A leading ':' makes a missing argument distinguishable from an unknown option.
    setup.shorts = ":";
    setup.names.reserve(setup.rows.size());
    for (std::size_t i = 0; i < setup.rows.size(); ++i) {
        const option_spec& row = *setup.rows[i];
        const bool takes_argument = !row.argument.empty();
        if (row.short_name != '\0') {
            setup.shorts += row.short_name;
            if (takes_argument) {
                setup.shorts += ':';
            }
        }
        setup.names.emplace_back(row.long_name);
    }
    for (std::size_t i = 0; i < setup.rows.size(); ++i) {
        setup.longs.push_back(
            ::option{setup.names[i].c_str(),
                     setup.rows[i]->argument.empty() ? no_argument : required_argument, nullptr,
                     value_of(setup, i)});
    }
    setup.longs.push_back(::option{nullptr, 0, nullptr, 0});
    return setup;
}

const option_spec* row_for_value(const getopt_setup& setup, int value) {
    for (std::size_t i = 0; i < setup.rows.size(); ++i) {
        if (value_of(setup, i) == value) {
            return setup.rows[i];
        }
    }
    return nullptr;
}

std::string spelled(const option_spec& option) {
    std::string text = "'--" + std::string(option.long_name) + "'";
    if (option.short_name != '\0') {
        text += " (-" + std::string(1, option.short_name) + ")";
    }
    return text;
}

// The problem with an option word getopt_long did not accept.
std::string unknown_option_problem(const getopt_setup& setup, const char* word, int unknown) {
    if (unknown != 0) {
        if (const option_spec* row = row_for_value(setup, unknown)) {
            return "option " + spelled(*row) + " takes no argument";
        }
        return "unknown option '-" + std::string(1, static_cast<char>(unknown)) + "'";
    }
    std::string_view typed = word != nullptr ? word : "";
    typed = typed.substr(0, typed.find('='));
    std::string candidates;
    if (typed.size() > 2 && typed.starts_with("--")) {
        for (const option_spec* row : setup.rows) {
            if (row->long_name.starts_with(typed.substr(2))) {
                candidates += (candidates.empty() ? "" : ", ") + std::string("--") +
                              std::string(row->long_name);
            }
        }
    }
    if (candidates.find(',') != std::string::npos) {
        return "ambiguous option '" + std::string(typed) + "' (" + candidates + ")";
    }
    return "unknown option '" + std::string(typed) + "'";
}

// A whole decimal number in [low, INT_MAX], nothing else.
std::optional<int> whole_number(std::string_view text, int low) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low) {
        return std::nullopt;
    }
    return value;
}

// What the options said besides the values parsed_command holds.
struct option_flags {
    bool create_A = false;
    bool create_B = false;
    bool random = false;
    bool regular = false;
    bool quiet = false;
    bool verbose = false;
};

// Applies one option to the command; an error text or nothing.
std::optional<std::string> apply(const option_spec& option, const char* argument,
                                 parsed_command& command, option_flags& flags) {
    const std::string_view name = option.long_name;
    const std::string value = argument != nullptr ? argument : "";
    if (name == "key") {
        command.keys.push_back(value);
    } else if (name == "encoding-key") {
        command.encoding_key = value;
    } else if (name == "output") {
        command.output = value;
    } else if (name == "dir") {
        command.key_folder = value;
    } else if (name == "drive-d") {
        command.drive_d = value;
    } else if (name == "view") {
        command.view = true;
    } else if (name == "prefix") {
        const auto number = whole_number(value, 0);
        if (!number) {
            return "option " + spelled(option) + " needs a whole number of 0 or more, not '" +
                   value + "'";
        }
        command.clear_prefix_length = *number;
    } else if (name == "header-extra") {
        const auto number = whole_number(value, INT_MIN);
        if (!number) {
            return "option " + spelled(option) + " needs a whole number, not '" + value + "'";
        }
        command.header_extra = *number;
    } else if (name == "create-a") {
        flags.create_A = true;
    } else if (name == "create-b") {
        flags.create_B = true;
    } else if (name == "random") {
        flags.random = true;
    } else if (name == "regular") {
        flags.regular = true;
    } else if (name == "quiet") {
        flags.quiet = true;
    } else if (name == "verbose") {
        flags.verbose = true;
    }
    return std::nullopt;
}

// The rules that no single option can check; an error text or nothing.
std::optional<std::string> complete(parsed_command& command, const option_flags& flags) {
    if (flags.quiet && flags.verbose) {
        return "choose one of --quiet and --verbose";
    }
    command.verbosity = flags.quiet     ? verbosity::quiet
                        : flags.verbose ? verbosity::verbose
                                        : verbosity::normal;
    const std::size_t keys = command.keys.size();
    switch (command.command) {
        case command_kind::decode:
            if (keys != 1) {
                return keys == 0 ? "a decoding key is needed (-k KEY)"
                                 : "decode takes one key; 'check' tries several";
            }
            if (command.files.empty()) {
                return "no file to decode";
            }
            break;
        case command_kind::encode:
            if (keys + (command.encoding_key ? 1 : 0) != 1) {
                return keys + (command.encoding_key ? 1 : 0) == 0
                           ? "an encoding key is needed: -k KEY or --encoding-key A.KEY"
                           : "give one key: either -k KEY or --encoding-key A.KEY";
            }
            if (command.files.empty()) {
                return "no file to encode";
            }
            break;
        case command_kind::check:
            if (keys == 0) {
                return "at least one key is needed (-k KEY)";
            }
            if (command.files.empty()) {
                return "no file to check";
            }
            break;
        case command_kind::keygen:
            if (flags.create_A == flags.create_B) {
                return "choose one of --create-a and --create-b";
            }
            if (flags.random == flags.regular) {
                return "choose one of --random and --regular";
            }
            if (!command.files.empty()) {
                return "unexpected argument '" + command.files.front() + "'";
            }
            command.create_A = flags.create_A;
            command.random = flags.random;
            break;
        case command_kind::keyset:
            if (!command.files.empty() && command.files.size() != 6) {
                return "keyset takes six files (two per encoding key), or none to be asked for "
                       "each; " +
                       std::to_string(command.files.size()) + " given";
            }
            break;
    }
    return std::nullopt;
}

parse_result parse_command(const command_spec& spec, const std::vector<std::string>& arguments,
                           const file_expander& expand_files) {
    const std::string topic(spec.name);
    getopt_setup setup = setup_for(spec.kind);
    // getopt_long permutes the pointers, never the text; the command name
    // stands where it expects the program name.
    std::vector<std::string> words(arguments);
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(std::min<std::size_t>(words.size(), INT_MAX));

    parsed_command command;
    command.command = spec.kind;
    option_flags flags;
    // optind 0 makes glibc (and mingw-w64) start afresh, forgetting any
    // earlier parse; opterr 0 keeps it from printing.
    optind = 0;
    opterr = 0;
    for (;;) {
        const int value =
            ::getopt_long(argc, argv.data(), setup.shorts.c_str(), setup.longs.data(), nullptr);
        if (value == -1) {
            break;
        }
        if (value == '?') {
            const char* word = optind > 0 && optind <= argc ? argv[optind - 1] : nullptr;
            return usage_error{topic, unknown_option_problem(setup, word, optopt)};
        }
        const option_spec* row = row_for_value(setup, value == ':' ? optopt : value);
        if (row == nullptr) {
            return usage_error{topic, "unknown option"};
        }
        if (value == ':' && row->argument.empty()) {
            // mingw-w64's getopt_long reports "--flag=value" this way, glibc's with '?'.
            return usage_error{topic, "option " + spelled(*row) + " takes no argument"};
        }
        if (value == ':') {
            return usage_error{topic, "option " + spelled(*row) + " needs an argument (" +
                                          std::string(row->argument) + ")"};
        }
        if (row->long_name == "help") {
            return help_request{topic};
        }
        if (row->long_name == "version") {
            return version_request{};
        }
        if (auto problem = apply(*row, optarg, command, flags)) {
            return usage_error{topic, *problem};
        }
    }
    for (int i = std::max(optind, 1); i < argc; ++i) {
        const std::string file = argv[static_cast<std::size_t>(i)];
        if (expand_files) {
            const std::vector<std::string> named = expand_files(file);
            command.files.insert(command.files.end(), named.begin(), named.end());
        } else {
            command.files.push_back(file);
        }
    }
    if (auto problem = complete(command, flags)) {
        return usage_error{topic, *problem};
    }
    return command;
}

}  // namespace

std::span<const command_spec> command_table() {
    return kCommands;
}

std::span<const option_spec> option_table() {
    return kOptions;
}

const command_spec* find_command(std::string_view name) {
    const auto found = std::find_if(kCommands.begin(), kCommands.end(),
                                    [&](const command_spec& c) { return c.name == name; });
    return found == kCommands.end() ? nullptr : &*found;
}

parse_result parse_arguments(const std::vector<std::string>& arguments,
                             const file_expander& expand_files) {
    if (arguments.empty()) {
        return usage_error{"", "no command given"};
    }
    const std::string& first = arguments.front();
    if (asks_for_help(first)) {
        if (arguments.size() > 2) {
            return usage_error{"", "help takes at most one command"};
        }
        if (arguments.size() == 2) {
            if (asks_for_help(arguments[1])) {
                return help_request{std::string(kHelpTopic)};
            }
            if (find_command(arguments[1]) == nullptr) {
                return usage_error{"", "unknown command '" + arguments[1] + "'"};
            }
            return help_request{arguments[1]};
        }
        return help_request{};
    }
    if (first == "--version") {
        return version_request{};
    }
    const command_spec* command = find_command(first);
    if (command != nullptr && arguments.size() >= 2 && arguments[1] == kWindowsHelp) {
        return help_request{first};
    }
    if (command == nullptr) {
        if (first.starts_with('-')) {
            return usage_error{"", "unknown option '" + first + "': the command comes first"};
        }
        return usage_error{"", "unknown command '" + first + "'"};
    }
    return parse_command(*command, arguments, expand_files);
}

std::string help_text(std::string_view topic) {
    if (const command_spec* command = find_command(topic)) {
        return command_help(*command);
    }
    if (topic == kHelpTopic) {
        std::string out = "Usage: " + std::string(kProgramName) + " help [COMMAND]\n";
        append_paragraphs(out, kHelpDescription);
        return out;
    }
    return program_help();
}

std::string usage_error_text(const usage_error& error) {
    std::string out = std::string(kProgramName) + ": " + error.problem + "\n";
    const command_spec* command = find_command(error.topic);
    out += command != nullptr ? usage_line(*command, true) : all_usage_lines();
    out += "Try '" + std::string(kProgramName) + " help" +
           (command != nullptr ? " " + error.topic : std::string()) + "' for more information.\n";
    return out;
}

}  // namespace vekdc::cli
