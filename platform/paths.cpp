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

namespace {

// Control characters: C0, DEL, and C1 (U+0080..U+009F, two bytes in UTF-8).
std::size_t control_length(std::string_view text, std::size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x20 || byte == 0x7F) {
        return 1;
    }
    if (byte == 0xC2 && at + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[at + 1]);
        return next >= 0x80 && next <= 0x9F ? 2 : 0;
    }
    return 0;
}

// The shell's escape of one control byte inside $'...'.
std::string escaped(unsigned char byte) {
    constexpr std::string_view kNamed = "\\a\\b\\t\\n\\v\\f\\r";
    if (byte >= 7 && byte <= 13) {
        return std::string(kNamed.substr(static_cast<std::size_t>(byte - 7) * 2, 2));
    }
    if (byte == 0x1B) {
        return "\\e";
    }
    constexpr char kHex[] = "0123456789abcdef";
    return std::string{'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
}

}  // namespace

std::string shown_path(std::string_view path) {
    if (path.empty()) {
        return "''";
    }
    bool plain = true;
    for (std::size_t i = 0; i < path.size() && plain; ++i) {
        plain = control_length(path, i) == 0;
    }
    if (plain) {
        return std::string(path);
    }
    std::string shown = "$'";
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t control = control_length(path, i);
        if (control == 0) {
            if (path[i] == '\\' || path[i] == '\'') {
                shown += '\\';
            }
            shown += path[i++];
            continue;
        }
        for (std::size_t k = 0; k < control; ++k) {
            shown += escaped(static_cast<unsigned char>(path[i++]));
        }
    }
    return shown + "'";
}

std::size_t name_length(std::string_view name) {
    if constexpr (!kDrivesAreNative) {
        return name.size();
    }
    // UTF-16 units: one for each sequence up to three bytes, two for four.
    std::size_t units = 0;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) == 0x80 ? 0 : (byte >= 0xF0 ? 2 : 1);
    }
    return units;
}

std::string suffixed_name(std::string_view name, std::string_view suffix) {
    const auto dot = name.rfind('.');
    const std::size_t at = dot == std::string_view::npos ? name.size() : dot;
    std::string result(name.substr(0, at));
    result += suffix;
    result += name.substr(at);
    return result;
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
