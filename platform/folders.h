// Folders as the desktop window sees them: the user's own folders, and the
// names in a folder, read as the system gives them (bytes on POSIX systems,
// UTF-8 made from the system's UTF-16 on Windows).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vekdc::platform {

// The user's desktop folder as the system names it, whether or not it
// exists: on Windows the known folder Desktop; elsewhere XDG_DESKTOP_DIR of
// the XDG user folders ($XDG_CONFIG_HOME/user-dirs.dirs), by default
// $HOME/Desktop. Nothing when the system names none.
std::optional<std::string> desktop_folder();

// The user's home folder ($HOME; on Windows the user's profile folder);
// nothing when the system names none.
std::optional<std::string> home_folder();

struct FolderEntry {
    enum class Kind { Folder, File, Other };
    std::string name;
    Kind kind;  // what the name leads to, links followed; File for a regular file
};

// The names in a folder, "." and ".." left out, in the system's order;
// nothing when the folder cannot be listed (missing, not a folder, no access).
std::optional<std::vector<FolderEntry>> list_folder(const std::string& path);

}  // namespace vekdc::platform
