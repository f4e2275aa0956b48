// Path conventions of the host: the native separators, and the mapping that
// gives fixed drive paths such as "d:\" a place on this machine.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vekdc::platform {

#ifdef _WIN32
// Windows reads both separators and writes the backslash. Drive letters are
// its own, so a drive path names itself unless VEKDC_DRIVE_X moves it.
inline constexpr char kPathSeparator = '\\';
inline constexpr std::string_view kPathSeparators = "\\/";
inline constexpr bool kDrivesAreNative = true;
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPathSeparators = "/";
inline constexpr bool kDrivesAreNative = false;
#endif

constexpr bool is_path_separator(char c) {
    return kPathSeparators.find(c) != std::string_view::npos;
}

// The position of the last separator in `path`, or npos.
inline std::size_t last_separator(std::string_view path) {
    return path.find_last_of(kPathSeparators);
}

// A folder ready to have a name appended: in the system's separators, with a
// final separator added when it has none. "" stays "" (the current folder).
std::string with_final_separator(std::string folder);

// True for a path that starts with a drive letter, a colon and a backslash.
bool is_drive_path(std::string_view path);

// The path to hand to the operating system. A drive path X:\rest maps to the
// folder named by the environment variable VEKDC_DRIVE_X followed by rest with
// its backslashes turned into the native separator. Without that variable the
// drive is the system's own on Windows (the path is returned unchanged) and
// does not exist elsewhere (the result is empty). Any other path is returned
// unchanged.
std::optional<std::string> host_path(std::string_view path);

// A path as messages and listings show it: as it stands, or, when it holds
// control characters (which would recolour or clear a terminal, or break a
// line of output), quoted as the shell's $'...' with them escaped, as ls
// shows such names on a terminal. An empty path shows as ''.
std::string shown_path(std::string_view path);

// The longest name a folder entry can have on this system's file systems, as
// name_length() counts: 255 bytes on POSIX systems, 255 UTF-16 units on Windows.
inline constexpr std::size_t kLongestName = 255;
// The length of a UTF-8 name as the system counts it.
std::size_t name_length(std::string_view name);

// `name` with `suffix` put before its extension (the text from its last "."),
// or at its end when it has none: "a.doc" with "123" gives "a123.doc".
std::string suffixed_name(std::string_view name, std::string_view suffix);

// The folder part of a path including its final separator ("" for a bare name).
std::string folder_of(std::string_view path);

// The files that a file argument of the command line names. On Windows,
// where the shells leave wildcards to the program, `*` and `?` in the last
// component of the path are matched against the names in its folder as
// Windows programs do, case-insensitively; the matches come in the order of
// their names, each with the folder as it was typed, and an argument that
// matches nothing stands for itself (and is then named as missing). Elsewhere
// the shell has done this: the argument itself.
std::vector<std::string> expand_file_argument(const std::string& argument);

// A path of the standard file system library made from UTF-8 text, and its
// text in UTF-8: the library reads and writes plain strings in the system's
// code page on Windows, which garbles every name outside it.
std::filesystem::path filesystem_path(std::string_view utf8);
std::string utf8_text(const std::filesystem::path& path);

}  // namespace vekdc::platform
