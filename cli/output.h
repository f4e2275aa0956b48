// The standard output of vekdc-cli. Everything it prints goes through here,
// so that a write that fails (a full disk, a closed stream) is noticed: it
// is then reported on standard error and the command does not end with
// success.
#pragma once

#include <string_view>

namespace vekdc::cli {

// Sets standard output up before anything is printed to it.
void prepare_output(bool to_terminal);
// Prints one line; the line feed is added.
void print_line(std::string_view line);
// Prints text as it stands.
void print_text(std::string_view text);
// Sends what is waiting to standard output, before anything goes to
// standard error, so that the two keep their order where they meet.
void flush_output();
// The exit status once everything printed has been sent: `status` as it is,
// or, when some of the output was lost, 1 (a failure that 255 and 64 still
// outrank) after a message on standard error.
int status_after_output(int status);

}  // namespace vekdc::cli
