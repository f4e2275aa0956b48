// The terminal or console that a process without windows talks through.
#pragma once

#include <optional>
#include <string>

namespace vekdc::platform {

// Makes the console show and read UTF-8 text (the Japanese notices); the
// previous setting comes back when the process ends. Nothing to do where the
// terminal takes UTF-8 bytes as they are.
void prepare_console();
// Whether standard input and standard error are both a terminal someone can
// answer at.
bool console_is_interactive();
// One line typed at the console, without its line end; nothing at the end of input.
std::optional<std::string> read_console_line();

}  // namespace vekdc::platform
