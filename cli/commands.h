// The commands of vekdc-cli: each checks what it can before the engine runs,
// hands one job to the engine and turns what became of each file into the
// exit status.
#pragma once

#include <cstddef>

#include "cli/arguments.h"
#include "cli/cli_services.h"

namespace vekdc::cli {

// Exit statuses beyond 0 and 1.
inline constexpr int kWrongKeyStatus = 2;
inline constexpr int kUsageStatus = 64;
// The engine's exit(-1) for an output that cannot be written, as POSIX
// systems report it.
inline constexpr int kOutputFolderStatus = 255;

// A status as POSIX systems report it, its low eight bits, on every system:
// Windows would report the engine's -1 as -1, which `if errorlevel 1` in a
// batch file reads as success.
constexpr int portable_status(int status) {
    return status & 0xff;
}

// What the standard streams are connected to.
struct console_facts {
    bool can_ask = false;        // input and error are a terminal
    bool show_progress = false;  // error is a terminal
    std::size_t columns = 0;     // of that terminal, 0 when unknown
};

// Runs a command with `services` installed; returns the exit status.
int run_command(const parsed_command& command, cli_services& services,
                const console_facts& console);

}  // namespace vekdc::cli
