// vekdc-cli: every mode of the cipher engine without a window. The command
// line is described in arguments.cpp; what each command does, in commands.cpp.
#include <iostream>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli_services.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "platform/paths.h"
#include "platform/services.h"
#include "platform/terminal.h"
#include "vekdc/version.h"

namespace {

constexpr const char* kVersion = "vekdc-cli " VEKDC_VERSION;

int run(const vekdc::cli::parsed_command& command) {
    using vekdc::platform::StandardStream;
    vekdc::cli::console_facts console;
    console.show_progress = vekdc::platform::is_terminal(StandardStream::Error);
    console.can_ask = console.show_progress && vekdc::platform::is_terminal(StandardStream::Input);
    console.columns = vekdc::platform::terminal_columns(StandardStream::Error);
    vekdc::cli::cli_services services(console.can_ask, command.view,
                                      command.verbosity == vekdc::cli::verbosity::quiet);
    vekdc::platform::install(&services);
    const int status = vekdc::cli::run_command(command, services, console);
    vekdc::platform::install(nullptr);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    vekdc::platform::keep_standard_streams_apart();
    vekdc::cli::prepare_output(
        vekdc::platform::is_terminal(vekdc::platform::StandardStream::Output));
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int status = std::visit(
        [](const auto& parsed) -> int {
            using T = std::decay_t<decltype(parsed)>;
            if constexpr (std::is_same_v<T, vekdc::cli::help_request>) {
                vekdc::cli::print_text(vekdc::cli::help_text(parsed.topic));
                return 0;
            } else if constexpr (std::is_same_v<T, vekdc::cli::version_request>) {
                vekdc::cli::print_line(kVersion);
                return 0;
            } else if constexpr (std::is_same_v<T, vekdc::cli::usage_error>) {
                std::cerr << vekdc::cli::usage_error_text(parsed);
                return vekdc::cli::kUsageStatus;
            } else {
                return run(parsed);
            }
        },
        vekdc::cli::parse_arguments(arguments, vekdc::platform::expand_file_argument));
    return vekdc::cli::status_after_output(status);
}
