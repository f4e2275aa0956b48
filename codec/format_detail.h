// Byte-level helpers shared by the decoder and the encoder.
#pragma once

#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/file.h"
#include "platform/services.h"

namespace vekdc::detail {

// Asks for a file with the dialog and opens it. A file that cannot be opened
// is reported by name (`who` says which coder asked); nothing when cancelled.
std::optional<std::pair<std::string, platform::InputFile>> choose_and_open(
    const platform::FileDialogRequest& request, const char* who);

// Opens a file for reading without ever waiting on a pipe. Nothing, with the
// reason in words, for a path that is not a regular file or cannot be opened.
std::optional<platform::InputFile> open_input(const std::string& path, std::string& reason);

inline std::int32_t load_i32(const unsigned char* p) {
    const std::uint32_t u =
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return static_cast<std::int32_t>(u);
}

inline void store_i32(std::int32_t value, unsigned char* p) {
    const auto u = static_cast<std::uint32_t>(value);
    for (int k = 0; k < 4; ++k) {
        p[k] = static_cast<unsigned char>(u >> (8 * k));
    }
}

inline double load_f64(const unsigned char* p) {
    std::uint64_t bits = 0;
    for (int k = 0; k < 8; ++k) {
        bits |= static_cast<std::uint64_t>(p[k]) << (8 * k);
    }
    return std::bit_cast<double>(bits);
}

inline void store_f64(double value, unsigned char* p) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    for (int k = 0; k < 8; ++k) {
        p[k] = static_cast<unsigned char>(bits >> (8 * k));
    }
}

}  // namespace vekdc::detail
