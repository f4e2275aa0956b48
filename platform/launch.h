// Starting other programs the way the original fixed command lines meant.
#pragma once

#include <optional>
#include <string>

namespace vekdc::platform {

// The fixed program paths that command lines may name.
inline constexpr const char* kBrowserProgram = "c:\\Program Files\\Internet Explorer\\Iexplore";
inline constexpr const char* kExternalViewerProgram =
    "c:\\Program Files\\Pelorid\\Murrowin\\murro.exe";

// For a command line "<fixed program> <argument>", the argument; otherwise nothing.
std::optional<std::string> fixed_program_argument(const std::string& command_line);

// Starts the program a command line names, detached from this process. On
// Windows the fixed programs are started from their own paths with the
// argument quoted; elsewhere the argument goes to the desktop's default
// opener. Whatever cannot be started is ignored.
void start_program(const std::string& command_line);

// Opens a file (a drive path is mapped first) with the system's default
// action, from `working_dir` where the system has such a thing. Failures are
// ignored.
void open_document(const std::string& path, const std::string& working_dir);

}  // namespace vekdc::platform
