// Bytes as vekdc-cli's arguments, split at each NUL byte, given to the
// argument parser. Whatever the bytes, the parser ends in one of its four
// answers without crashing; the same arguments give the same answer a
// second time (getopt_long keeps state between calls); a parsed command
// holds the keys and files its command needs; and every answer can be put
// into words (help or usage text) that name the program.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "tests/fuzz/fuzz_support.h"

namespace vekdc::fuzz {
namespace {

std::vector<std::string> split_at_nul(std::string_view bytes) {
    std::vector<std::string> arguments;
    std::size_t start = 0;
    while (start <= bytes.size()) {
        const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
        arguments.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    if (bytes.empty()) {
        arguments.clear();
    }
    return arguments;
}

bool same_answer(const cli::parse_result& a, const cli::parse_result& b) {
    if (a.index() != b.index()) {
        return false;
    }
    if (const auto* x = std::get_if<cli::parsed_command>(&a)) {
        const auto& y = std::get<cli::parsed_command>(b);
        return x->command == y.command && x->keys == y.keys && x->files == y.files &&
               x->output == y.output && x->encoding_key == y.encoding_key && x->view == y.view &&
               x->verbosity == y.verbosity;
    }
    if (const auto* x = std::get_if<cli::usage_error>(&a)) {
        const auto& y = std::get<cli::usage_error>(b);
        return x->topic == y.topic && x->problem == y.problem;
    }
    if (const auto* x = std::get_if<cli::help_request>(&a)) {
        return x->topic == std::get<cli::help_request>(b).topic;
    }
    return true;
}

void check_command(const cli::parsed_command& command) {
    switch (command.command) {
        case cli::command_kind::decode:
            check(command.keys.size() == 1, "decode holds exactly one key");
            check(!command.files.empty(), "decode holds a file");
            break;
        case cli::command_kind::encode:
            check(command.keys.size() + (command.encoding_key ? 1 : 0) == 1,
                  "encode holds exactly one key");
            check(!command.files.empty(), "encode holds a file");
            break;
        case cli::command_kind::check:
            check(!command.keys.empty(), "check holds a key");
            check(!command.files.empty(), "check holds a file");
            break;
        case cli::command_kind::keygen:
            check(command.files.empty(), "keygen takes no file");
            break;
        case cli::command_kind::keyset:
            break;
    }
}

bool names_program(const std::string& text) {
    return text.find(cli::kProgramName) != std::string::npos;
}

}  // namespace
}  // namespace vekdc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vekdc;
    using namespace vekdc::fuzz;
    const std::vector<std::string> arguments =
        split_at_nul(std::string_view(reinterpret_cast<const char*>(data), size));
    const cli::parse_result first = cli::parse_arguments(arguments);
    const cli::parse_result again = cli::parse_arguments(arguments);
    check(same_answer(first, again), "the same arguments give the same answer");

    if (const auto* command = std::get_if<cli::parsed_command>(&first)) {
        check_command(*command);
    } else if (const auto* error = std::get_if<cli::usage_error>(&first)) {
        check(!error->problem.empty(), "a usage error says what is wrong");
        const std::string text = cli::usage_error_text(*error);
        check(text.find(error->problem) != std::string::npos, "the usage text names the problem");
    } else if (const auto* help = std::get_if<cli::help_request>(&first)) {
        check(help->topic.empty() || help->topic == "help" ||
                  cli::find_command(help->topic) != nullptr,
              "help is asked of a known command, or of help itself");
        check(names_program(cli::help_text(help->topic)), "the help names the program");
    }
    return 0;
}
