// Byte-level helpers shared by the decoder, the encoder and the inspections.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "codec/codec.h"
#include "platform/file.h"
#include "platform/services.h"

namespace vekdc::detail {

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

cipher_block block_from_bytes(const unsigned char* bytes);
std::array<unsigned char, kBlockBytes> bytes_of_block(const cipher_block& block);

// What keeps a path from being read, by what the system found there (when
// missing, `error` says why and goes into error_number).
file_problem kind_problem(platform::FileKind kind, int error, int& error_number);

// Reads `length` bytes at `offset`; the problem (cannot_read, shrunk) when it
// cannot, none when it did.
file_problem read_bytes(const platform::InputFile& in, unsigned char* buffer, std::size_t length,
                        std::uint64_t offset, int& error_number);
// Reads the first min(size, head) bytes of a file into `bytes`.
file_problem read_head(const platform::InputFile& in, std::size_t head,
                       std::vector<unsigned char>& bytes, int& error_number);

// The problem a failed copy stands for, when it was the source's; errno
// holds the reason of a failed read.
file_problem copy_problem(platform::OutputFile::Copied copied, int& error_number);

// Creates the output that will be named `final_path`, making its folder
// first where the caller allows it and the folder is missing.
std::optional<platform::OutputFile> create_output(const std::string& final_path,
                                                  const coding_extras& extras);

// Asks for a file with the dialog and opens it. A file that cannot be opened
// is reported by name (`who` says which coder asked); nothing when cancelled.
std::optional<std::pair<std::string, platform::InputFile>> choose_and_open(
    const platform::FileDialogRequest& request, const char* who);

// The progress watch's last word on a file written without a bounded copy
// step: all of it handled. False when the watch asks to stop.
bool watch_done(const coding_extras& extras, std::uint64_t size);

}  // namespace vekdc::detail
