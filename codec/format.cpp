#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "codec/codec.h"
#include "codec/format_detail.h"
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

int file_type_code(std::string_view last_three) {
    if (const auto code = accepted_type_code(last_three)) {
        return *code;
    }
    if (last_three == "vek") {
        platform::app_message("I do not want to encrypt a vek file.");
    } else {
        platform::app_message("Sorry, VEK encoder is not ready for this type of file.");
    }
    platform::exit_program(0);
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
    auto in = platform::InputFile::open(*chosen);
    if (!in) {
        platform::app_message(*chosen + " cannot be opened (" + who + "): " + std::strerror(errno));
        return std::nullopt;
    }
    return std::make_pair(*chosen, std::move(*in));
}

}  // namespace detail

}  // namespace vekdc
