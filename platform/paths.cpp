#include "platform/paths.h"

#include <algorithm>
#include <cctype>

#include "platform/environment.h"

namespace vekdc::platform {

std::string with_final_separator(std::string folder) {
    // Windows reads both separators; the paths formed here show its own.
    std::replace(folder.begin(), folder.end(), '/', kPathSeparator);
    if (!folder.empty() && !is_path_separator(folder.back())) {
        folder += kPathSeparator;
    }
    return folder;
}

bool is_drive_path(std::string_view path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
           path[1] == ':' && path[2] == '\\';
}

std::optional<std::string> host_path(std::string_view path) {
    if (!is_drive_path(path)) {
        return std::string(path);
    }
    std::string variable = "VEKDC_DRIVE_";
    variable += static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    const auto root = environment_variable(variable);
    if (!root || root->empty()) {
        if (kDrivesAreNative) {
            return std::string(path);
        }
        return std::nullopt;
    }
    std::string mapped = with_final_separator(*root);
    for (char c : path.substr(3)) {
        mapped += (c == '\\') ? kPathSeparator : c;
    }
    return mapped;
}

std::string folder_of(std::string_view path) {
    const auto slash = last_separator(path);
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

#ifndef _WIN32
std::vector<std::string> expand_file_argument(const std::string& argument) {
    return {argument};
}
#endif

std::filesystem::path filesystem_path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8_text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace vekdc::platform
