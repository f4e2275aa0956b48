#include "cli/arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace vekdc::cli {
namespace {

using words = std::vector<std::string>;

// What a parse should give: either a command with these fields, or a usage
// error whose problem contains `problem`.
struct parse_case {
    const char* name;
    words arguments;
    const char* problem;  // null when the parse succeeds
    command_kind command = command_kind::decode;
    words keys = {};
    words files = {};
    const char* output = nullptr;
};

const parse_case kParseCases[] = {
    {"separate key",
     {"decode", "-k", "b.key", "a.vek"},
     nullptr,
     command_kind::decode,
     {"b.key"},
     {"a.vek"}},
    {"attached short key",
     {"decode", "-kb.key", "a.vek"},
     nullptr,
     command_kind::decode,
     {"b.key"},
     {"a.vek"}},
    {"long key with =",
     {"decode", "--key=b.key", "a.vek"},
     nullptr,
     command_kind::decode,
     {"b.key"},
     {"a.vek"}},
    {"long key apart",
     {"decode", "--key", "b.key", "a.vek"},
     nullptr,
     command_kind::decode,
     {"b.key"},
     {"a.vek"}},
    {"abbreviated long option",
     {"decode", "--ke=b.key", "a.vek"},
     nullptr,
     command_kind::decode,
     {"b.key"},
     {"a.vek"}},
    {"options after files",
     {"decode", "a.vek", "-k", "b.key", "-o", "out"},
     nullptr,
     command_kind::decode,
     {"b.key"},
     {"a.vek"},
     "out"},
    {"-- ends the options",
     {"decode", "-k", "b.key", "--", "-o", "--view"},
     nullptr,
     command_kind::decode,
     {"b.key"},
     {"-o", "--view"}},
    {"a lone dash is a file",
     {"decode", "-k", "b.key", "-"},
     nullptr,
     command_kind::decode,
     {"b.key"},
     {"-"}},
    {"check with keys in order",
     {"check", "-k", "m.key", "-kd1.key", "--key=d2.key", "x.vek"},
     nullptr,
     command_kind::check,
     {"m.key", "d1.key", "d2.key"},
     {"x.vek"}},
    {"encode with -k",
     {"encode", "-k", "b.key", "-p", "4", "a.txt"},
     nullptr,
     command_kind::encode,
     {"b.key"},
     {"a.txt"}},
    {"keyset with no file", {"keyset", "--drive-d", "d"}, nullptr, command_kind::keyset},
    {"keygen", {"keygen", "--create-b", "--random", "-d", "keys"}, nullptr, command_kind::keygen},

    {"nothing", {}, "no command given"},
    {"unknown command", {"frobnicate"}, "unknown command 'frobnicate'"},
    {"option before command", {"-k", "b.key", "decode"}, "the command comes first"},
    {"no key", {"decode", "a.vek"}, "a decoding key is needed"},
    {"two keys to decode", {"decode", "-k", "a", "-k", "b", "x.vek"}, "decode takes one key"},
    {"no file", {"decode", "-k", "b.key"}, "no file to decode"},
    {"key without value", {"decode", "-k"}, "'--key' (-k) needs an argument (KEY)"},
    {"long key without value", {"decode", "a.vek", "--key"}, "needs an argument"},
    {"unknown long option", {"decode", "-k", "b", "--bogus", "x"}, "unknown option '--bogus'"},
    {"unknown short option", {"decode", "-k", "b", "-z", "x"}, "unknown option '-z'"},
    {"flag with a value", {"decode", "-k", "b", "--view=yes", "x"}, "'--view' takes no argument"},
    {"option of another command", {"decode", "-k", "b", "-p", "3", "x"}, "unknown option '-p'"},
    {"ambiguous abbreviation", {"keygen", "--create", "--random"}, "ambiguous option '--create'"},
    {"both keys to encode", {"encode", "-k", "b", "--encoding-key", "a", "x.txt"}, "give one key"},
    {"no key to encode", {"encode", "x.txt"}, "an encoding key is needed"},
    {"prefix not a number",
     {"encode", "-k", "b", "-p", "four", "x.txt"},
     "needs a whole number of 0 or more, not 'four'"},
    {"negative prefix", {"encode", "-k", "b", "-p", "-1", "x.txt"}, "0 or more"},
    {"prefix with junk", {"encode", "-k", "b", "-p", "4x", "x.txt"}, "not '4x'"},
    {"prefix too large", {"encode", "-k", "b", "-p", "99999999999", "x.txt"}, "whole number"},
    {"check without key", {"check", "x.vek"}, "at least one key"},
    {"check without file", {"check", "-k", "b"}, "no file to check"},
    {"keygen without kind", {"keygen", "--random"}, "choose one of --create-a and --create-b"},
    {"keygen both kinds",
     {"keygen", "--create-a", "--create-b", "--random"},
     "choose one of --create-a and --create-b"},
    {"keygen both fills",
     {"keygen", "--create-a", "--random", "--regular"},
     "choose one of --random and --regular"},
    {"keygen with a file",
     {"keygen", "--create-a", "--random", "extra"},
     "unexpected argument 'extra'"},
    {"keyset with five files", {"keyset", "a", "b", "c", "d", "e"}, "5 given"},
    {"quiet and verbose", {"decode", "-q", "-v", "-k", "b", "x"}, "choose one of --quiet"},
    {"help of nothing known", {"help", "frobnicate"}, "unknown command 'frobnicate'"},
    {"help of two", {"help", "decode", "encode"}, "at most one command"},
};

TEST(ParseArguments, GivesTheCommandOrTheProblem) {
    for (const parse_case& c : kParseCases) {
        SCOPED_TRACE(c.name);
        const parse_result result = parse_arguments(c.arguments);
        if (c.problem != nullptr) {
            const auto* error = std::get_if<usage_error>(&result);
            ASSERT_NE(error, nullptr);
            EXPECT_NE(error->problem.find(c.problem), std::string::npos) << error->problem;
            continue;
        }
        const auto* parsed = std::get_if<parsed_command>(&result);
        ASSERT_NE(parsed, nullptr) << std::get<usage_error>(result).problem;
        EXPECT_EQ(parsed->command, c.command);
        EXPECT_EQ(parsed->keys, c.keys);
        EXPECT_EQ(parsed->files, c.files);
        EXPECT_EQ(parsed->output.value_or(""), c.output != nullptr ? c.output : "");
    }
}

// getopt_long keeps state between calls; a parse that stopped half-way
// (an error, --help) must not leak into the next one.
TEST(ParseArguments, EachParseStartsAfresh) {
    const words good = {"decode", "-k", "b.key", "-o", "out", "a.vek"};
    const std::vector<words> before = {
        {"decode", "-k", "b", "--bogus", "x", "y", "z"},
        {"decode", "--help", "-k", "b", "x"},
        {"encode", "-kb", "-p"},
        {"check", "-k", "m", "-k", "d", "f1", "f2", "f3", "f4"},
    };
    for (const words& first : before) {
        SCOPED_TRACE(first.front() + " " + first[1]);
        (void)parse_arguments(first);
        const parse_result result = parse_arguments(good);
        const auto* parsed = std::get_if<parsed_command>(&result);
        ASSERT_NE(parsed, nullptr);
        EXPECT_EQ(parsed->keys, words{"b.key"});
        EXPECT_EQ(parsed->files, words{"a.vek"});
        EXPECT_EQ(parsed->output, "out");
    }
}

TEST(ParseArguments, ReadsEveryValueAndFlag) {
    const auto encode = std::get<parsed_command>(parse_arguments(
        {"encode", "--encoding-key", "a.key", "-p", "100", "-x", "-7", "-q", "f.txt"}));
    EXPECT_EQ(encode.encoding_key, "a.key");
    EXPECT_TRUE(encode.keys.empty());
    EXPECT_EQ(encode.clear_prefix_length, 100);
    EXPECT_EQ(encode.header_extra, -7);
    EXPECT_EQ(encode.verbosity, verbosity::quiet);

    const auto decode =
        std::get<parsed_command>(parse_arguments({"decode", "--view", "-v", "-kk", "f.vek"}));
    EXPECT_TRUE(decode.view);
    EXPECT_EQ(decode.verbosity, verbosity::verbose);
    EXPECT_EQ(decode.clear_prefix_length, 0);
    EXPECT_EQ(decode.header_extra, 1);

    const auto keygen =
        std::get<parsed_command>(parse_arguments({"keygen", "--regular", "--create-a"}));
    EXPECT_TRUE(keygen.create_A);
    EXPECT_FALSE(keygen.random);
    EXPECT_FALSE(keygen.key_folder.has_value());

    const auto keyset = std::get<parsed_command>(
        parse_arguments({"keyset", "--drive-d=d", "1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(keyset.drive_d, "d");
    EXPECT_EQ(keyset.files.size(), 6u);
}

// Only file arguments stand for other files (on Windows, wildcards), and
// they are expanded before their number is judged.
TEST(ParseArguments, OnlyFileArgumentsAreExpanded) {
    const file_expander twice = [](const std::string& file) {
        return words{file + "1", file + "2"};
    };
    const auto decode = std::get<parsed_command>(
        parse_arguments({"decode", "-k", "*.key", "-o", "o*", "--", "*.vek"}, twice));
    EXPECT_EQ(decode.keys, words{"*.key"});
    EXPECT_EQ(decode.output, "o*");
    EXPECT_EQ(decode.files, (words{"*.vek1", "*.vek2"}));
    const auto keyset = std::get<parsed_command>(parse_arguments({"keyset", "a", "b", "c"}, twice));
    EXPECT_EQ(keyset.files.size(), 6u);
}

TEST(ParseArguments, AnswersHelpAndVersion) {
    const struct {
        words arguments;
        const char* topic;
    } cases[] = {
        {{"help"}, ""},
        {{"--help"}, ""},
        {{"-h"}, ""},
        {{"help", "check"}, "check"},
        {{"check", "--help"}, "check"},
        {{"decode", "-h", "--bogus"}, "decode"},
        {{"/?"}, ""},
        {{"decode", "/?"}, "decode"},
        {{"help", "help"}, "help"},
        {{"help", "/?"}, "help"},
    };
    for (const auto& c : cases) {
        const parse_result result = parse_arguments(c.arguments);
        const auto* help = std::get_if<help_request>(&result);
        ASSERT_NE(help, nullptr) << c.arguments.front();
        EXPECT_EQ(help->topic, c.topic);
    }
    EXPECT_TRUE(std::holds_alternative<version_request>(parse_arguments({"--version"})));
    EXPECT_TRUE(std::holds_alternative<version_request>(parse_arguments({"keygen", "--version"})));
}

// The help is made from the same table as the parser: every option a
// command accepts is in its help, and every option the help shows parses.
TEST(HelpText, ShowsEveryOptionTheParserTakes) {
    for (const command_spec& command : command_table()) {
        SCOPED_TRACE(std::string(command.name));
        const std::string help = help_text(command.name);
        EXPECT_EQ(help.rfind("Usage: vekdc-cli " + std::string(command.name) + " ", 0), 0u);
        for (const option_spec& option : option_table()) {
            // A long name may have a row per command, each with its own help.
            bool belongs = false;
            for (const option_spec& row : option_table()) {
                belongs = belongs || (row.long_name == option.long_name &&
                                      (row.commands & command_bit(command.kind)) != 0);
            }
            const std::string label =
                "--" + std::string(option.long_name) +
                (option.argument.empty() ? std::string(" ")
                                         : "=" + std::string(option.argument) + " ");
            EXPECT_EQ(help.find(label) != std::string::npos, belongs) << label;
            if (!belongs) {
                continue;
            }
            words arguments = {
                std::string(command.name),
                "--" + std::string(option.long_name) + (option.argument.empty() ? "" : "=value")};
            const parse_result result = parse_arguments(arguments);
            if (const auto* error = std::get_if<usage_error>(&result)) {
                EXPECT_EQ(error->problem.find("unknown option"), std::string::npos)
                    << label << ": " << error->problem;
                EXPECT_EQ(error->problem.find("argument"), std::string::npos)
                    << label << ": " << error->problem;
            }
        }
    }
}

TEST(HelpText, TheHelpCommandHasAHelpOfItsOwn) {
    EXPECT_EQ(help_text("help").rfind("Usage: vekdc-cli help [COMMAND]\n", 0), 0u);
}

TEST(HelpText, ProgramHelpNamesEveryCommandAndStatus) {
    const std::string help = help_text("");
    for (const command_spec& command : command_table()) {
        EXPECT_NE(help.find("\n  " + std::string(command.name) + " "), std::string::npos)
            << command.name;
        EXPECT_NE(help.find("vekdc-cli " + std::string(command.name) + " "), std::string::npos);
    }
    for (const char* status : {"\n  0 ", "\n  1 ", "\n  2 ", "\n  64 ", "\n  255 "}) {
        EXPECT_NE(help.find(status), std::string::npos) << status;
    }
    for (std::size_t start = 0; start < help.size();) {
        const std::size_t end = help.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "the help ends with a line feed";
        EXPECT_LE(end - start, 79u) << help.substr(start, end - start);
        start = end + 1;
    }
}

TEST(HelpText, UsageErrorShowsTheProblemAndTheCommandsUsage) {
    const std::string text = usage_error_text({"check", "no file to check"});
    EXPECT_EQ(text,
              "vekdc-cli: no file to check\n"
              "Usage: vekdc-cli check [OPTION]... -k KEY [-k KEY]... FILE...\n"
              "Try 'vekdc-cli help check' for more information.\n");
    const std::string general = usage_error_text({"", "no command given"});
    EXPECT_NE(general.find("  or:  vekdc-cli help [COMMAND]\n"), std::string::npos);
    EXPECT_NE(general.find("Try 'vekdc-cli help' for"), std::string::npos);
}

}  // namespace
}  // namespace vekdc::cli
