#include "platform/paths.h"

#include <cctype>
#include <cstdlib>

namespace vekdc::platform {

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
    const char* root = std::getenv(variable.c_str());
    if (root == nullptr || *root == '\0') {
        return std::nullopt;
    }
    std::string mapped = root;
    if (mapped.back() != '/') {
        mapped += '/';
    }
    for (char c : path.substr(3)) {
        mapped += (c == '\\') ? '/' : c;
    }
    return mapped;
}

std::string folder_of(std::string_view path) {
    const auto slash = path.rfind(kPathSeparator);
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

}  // namespace vekdc::platform
