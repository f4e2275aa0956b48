#include "desktop/file_names.h"

#include <cctype>
#include <filesystem>

#include "platform/paths.h"
#include "platform/unicode.h"

namespace vekdc::desktop {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `bytes`, or 0.
std::size_t sequence_length(std::string_view bytes) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;  // the allowed range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// UTF-8 runs as text, every byte outside them as \xNN.
std::string escape_invalid_bytes(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = sequence_length(bytes.substr(at));
        if (length > 0) {
            text.append(bytes.substr(at, length));
            at += length;
        } else {
            const auto byte = static_cast<unsigned char>(bytes[at]);
            text += "\\x";
            text += kHex[byte >> 4];
            text += kHex[byte & 0xF];
            ++at;
        }
    }
    return text;
}

std::string display_one_name(std::string_view name) {
    if (is_utf8(name)) {
        return std::string(name);
    }
    if (auto shown = platform::cp932_to_utf8(name)) {
        return *shown;
    }
    return escape_invalid_bytes(name);
}

}  // namespace

bool is_utf8(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = sequence_length(bytes.substr(at));
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

std::string display_name(std::string_view bytes) {
    if (is_utf8(bytes)) {
        return std::string(bytes);
    }
    // Each folder of a path may come from elsewhere: one name at a time (a
    // separator is never part of a CP932 character).
    std::string shown;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = bytes.find_first_of(platform::kPathSeparators, start);
        shown += display_one_name(bytes.substr(start, end - start));
        if (end == std::string_view::npos) {
            return shown;
        }
        shown += bytes[end];
        start = end + 1;
    }
}

bool is_encrypted_path(std::string_view path) {
    return path.find(".vek") != std::string_view::npos;
}

std::string_view file_name_of(std::string_view path) {
    const std::size_t at = platform::last_separator(path);
    return at == std::string_view::npos ? path : path.substr(at + 1);
}

std::string_view folder_of_path(std::string_view path) {
    const std::size_t at = platform::last_separator(path);
    if (at == std::string_view::npos) {
        return {};
    }
    // A root ("/", "C:\") keeps its separator.
    const std::string_view folder = path.substr(0, at);
    const bool root = folder.empty() || (folder.size() == 2 && folder[1] == ':');
    return root ? path.substr(0, at + 1) : folder;
}

std::string join_path(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && !platform::is_path_separator(path.back())) {
        path += platform::kPathSeparator;
    }
    path += name;
    return path;
}

bool is_absolute_path(std::string_view path) {
    if constexpr (platform::kDrivesAreNative) {
        const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                           path[1] == ':' && platform::is_path_separator(path[2]);
        const bool share = path.size() >= 2 && platform::is_path_separator(path[0]) &&
                           platform::is_path_separator(path[1]);
        return drive || share;
    }
    return !path.empty() && path.front() == '/';
}

std::string absolute_path(std::string_view path, std::string_view folder) {
    return is_absolute_path(path) ? std::string(path) : join_path(folder, path);
}

std::string current_folder() {
    std::error_code error;
    const std::u8string folder = std::filesystem::current_path(error).u8string();
    return std::string(folder.begin(), folder.end());
}

}  // namespace vekdc::desktop
