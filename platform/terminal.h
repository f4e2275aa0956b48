// What a standard stream is connected to, for programs that show progress or
// ask questions only on a terminal.
#pragma once

#include <cstddef>

namespace vekdc::platform {

enum class StandardStream { Input, Output, Error };

// Whether the stream is a terminal.
bool is_terminal(StandardStream stream);

// Makes sure the three standard streams are open, so that no file the
// program opens later takes a standard stream's number. One that was closed
// is opened on the null device for reading only: writing to it fails, and
// the program can say so.
void keep_standard_streams_apart();

// The width of the terminal on the stream in columns; 0 when it is not a
// terminal or does not say.
std::size_t terminal_columns(StandardStream stream);

}  // namespace vekdc::platform
