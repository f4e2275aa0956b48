// Path conventions of the host: the native separator, and the mapping that
// gives fixed drive paths such as "d:\" a place on this machine.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vekdc::platform {

inline constexpr char kPathSeparator = '/';

// True for a path that starts with a drive letter, a colon and a backslash.
bool is_drive_path(std::string_view path);

// The path to hand to the operating system. A drive path X:\rest maps to the
// folder named by the environment variable VEKDC_DRIVE_X followed by rest with
// its backslashes turned into '/'; without that variable the drive does not
// exist and the result is empty. Any other path is returned unchanged.
std::optional<std::string> host_path(std::string_view path);

// The folder part of a path including its final separator ("" for a bare name).
std::string folder_of(std::string_view path);

}  // namespace vekdc::platform
