#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "codec/codec.h"
#include "codec/format_detail.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/services.h"

namespace vekdc {

namespace {

struct TypeEntry {
    std::int32_t code;
    std::string_view extension;
};

// The thirteen types, in screening order.
constexpr std::array<TypeEntry, 13> kTypes{{
    {1, "txt"},
    {11, "avi"},
    {21, "doc"},
    {31, "htm"},
    {41, "jpg"},
    {51, "mp3"},
    {61, "lzh"},
    {71, "gif"},
    {81, "wmf"},
    {91, "bmp"},
    {101, "ttf"},
    {111, "wav"},
    {121, "mpg"},
}};

}  // namespace

std::optional<std::string_view> extension_of_type(std::int32_t code) {
    for (const auto& entry : kTypes) {
        if (entry.code == code) {
            return entry.extension;
        }
    }
    return std::nullopt;
}

std::optional<int> accepted_type_code(std::string_view last_three) {
    for (const auto& entry : kTypes) {
        if (last_three == entry.extension) {
            return entry.code;
        }
    }
    return std::nullopt;
}

int file_type_code(std::string_view last_three, const std::string& shown) {
    if (const auto code = accepted_type_code(last_three)) {
        return *code;
    }
    std::string text = last_three == "vek"
                           ? "I do not want to encrypt a vek file."
                           : "Sorry, VEK encoder is not ready for this type of file.";
    if (!shown.empty()) {
        text = platform::about_file(text, shown);
    }
    platform::fatal_error(text, 0);
}

std::string_view last_three_characters(std::string_view name) {
    return name.size() < 3 ? name : name.substr(name.size() - 3);
}

void split_path(const std::string& path, std::string& name, std::string& stem) {
    const auto slash = platform::last_separator(path);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    stem = dot == std::string::npos ? name : name.substr(0, dot);
}

std::optional<std::uint8_t> round_to_byte(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    const double up = std::ceil(value) - value;
    const double down = value - std::floor(value);
    const double integral = up > down ? std::floor(value) : std::ceil(value);
    // Modulo 256 in doubles: exact for every integral double, and no
    // out-of-range conversion to an integer type.
    double low = std::fmod(integral, 256.0);
    if (low < 0.0) {
        low += 256.0;
    }
    return static_cast<std::uint8_t>(low);
}

namespace detail {

std::optional<std::pair<std::string, platform::InputFile>> choose_and_open(
    const platform::FileDialogRequest& request, const char* who) {
    const auto chosen = platform::services().open_file(request);
    if (!chosen) {
        return std::nullopt;
    }
    std::string reason;
    auto in = open_input(*chosen, reason);
    if (!in) {
        platform::app_message(*chosen + " cannot be opened (" + who + "): " + reason);
        return std::nullopt;
    }
    return std::make_pair(*chosen, std::move(*in));
}

std::optional<platform::InputFile> open_input(const std::string& path, std::string& reason) {
    const platform::FileStatus status = platform::file_status(path);
    if (status.kind == platform::FileKind::Pipe || status.kind == platform::FileKind::Other) {
        reason = "not a regular file";
        return std::nullopt;
    }
    auto in = platform::InputFile::open(path);
    if (!in) {
        reason = std::strerror(errno);
    }
    return in;
}

}  // namespace detail

}  // namespace vekdc
