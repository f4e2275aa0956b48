// The user's folders from the environment and the XDG user folders, folder
// listings from readdir.
#include "platform/folders.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>

#include "platform/environment.h"

namespace vekdc::platform {

namespace {

// The value of `name` in a user-dirs.dirs file: NAME="value", where the value
// may start with $HOME and escapes a character with a backslash.
std::optional<std::string> user_dir(const std::string& file, std::string_view name,
                                    const std::string& home) {
    std::ifstream in(file);
    std::string line;
    std::optional<std::string> found;
    while (std::getline(in, line)) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, name.size(), name) != 0) {
            continue;
        }
        std::size_t at = line.find_first_not_of(" \t", start + name.size());
        if (at == std::string::npos || line[at] != '=') {
            continue;
        }
        at = line.find_first_not_of(" \t", at + 1);
        if (at == std::string::npos || line[at] != '"') {
            continue;
        }
        std::string value;
        for (++at; at < line.size() && line[at] != '"'; ++at) {
            if (line[at] == '\\' && at + 1 < line.size()) {
                ++at;
            }
            value += line[at];
        }
        if (value.starts_with("$HOME")) {
            value.replace(0, 5, home);
        }
        found = value;
    }
    return found;
}

FolderEntry::Kind kind_of(const std::string& folder, const dirent& entry) {
    switch (entry.d_type) {
        case DT_DIR:
            return FolderEntry::Kind::Folder;
        case DT_REG:
            return FolderEntry::Kind::File;
        case DT_LNK:
        case DT_UNKNOWN:
            break;
        default:
            return FolderEntry::Kind::Other;
    }
    struct stat info {};
    if (::stat((folder + '/' + entry.d_name).c_str(), &info) != 0) {
        return FolderEntry::Kind::Other;
    }
    return S_ISDIR(info.st_mode)   ? FolderEntry::Kind::Folder
           : S_ISREG(info.st_mode) ? FolderEntry::Kind::File
                                   : FolderEntry::Kind::Other;
}

}  // namespace

std::optional<std::string> home_folder() {
    if (auto home = environment_variable("HOME"); home && !home->empty()) {
        return home;
    }
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
        return std::string(user->pw_dir);
    }
    return std::nullopt;
}

std::optional<std::string> desktop_folder() {
    const auto home = home_folder();
    if (!home) {
        return std::nullopt;
    }
    auto config = environment_variable("XDG_CONFIG_HOME");
    if (!config || config->empty() || config->front() != '/') {
        config = *home + "/.config";
    }
    if (auto named = user_dir(*config + "/user-dirs.dirs", "XDG_DESKTOP_DIR", *home);
        named && !named->empty()) {
        return named;
    }
    return *home + "/Desktop";
}

std::optional<std::vector<FolderEntry>> list_folder(const std::string& path) {
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(path.c_str()), ::closedir);
    if (!folder) {
        return std::nullopt;
    }
    std::vector<FolderEntry> entries;
    while (const dirent* entry = ::readdir(folder.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        entries.push_back(FolderEntry{std::string(name), kind_of(path, *entry)});
    }
    return entries;
}

}  // namespace vekdc::platform
