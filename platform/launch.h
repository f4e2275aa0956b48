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

// Opens a file or address with the desktop's default opener (xdg-open),
// detached from this process, its output discarded. Failures are ignored.
void open_with_desktop(const std::string& target);

}  // namespace vekdc::platform
