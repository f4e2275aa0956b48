#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

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

constexpr const char* kVekRefused = "I do not want to encrypt a vek file.";
constexpr const char* kTypeRefused = "Sorry, VEK encoder is not ready for this type of file.";

}  // namespace

std::array<unsigned char, kHeaderBytes> header_bytes(const vek_header& header) {
    std::array<unsigned char, kHeaderBytes> bytes{};
    detail::store_i32(header.marker, &bytes[0]);
    detail::store_i32(header.clear_prefix_length, &bytes[4]);
    detail::store_i32(header.type_code, &bytes[8]);
    detail::store_i32(header.header_extra, &bytes[12]);
    return bytes;
}

vek_header parse_header(const unsigned char* bytes) {
    vek_header header;
    header.marker = detail::load_i32(bytes);
    header.clear_prefix_length = detail::load_i32(bytes + 4);
    header.type_code = detail::load_i32(bytes + 8);
    header.header_extra = detail::load_i32(bytes + 12);
    return header;
}

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
    std::string text = last_three == "vek" ? kVekRefused : kTypeRefused;
    if (!shown.empty()) {
        text = platform::about_file(text, shown);
    }
    platform::fatal_error(text, 0);
}

std::string_view last_three_characters(std::string_view name) {
    return name.size() < 3 ? name : name.substr(name.size() - 3);
}

void split_path(const std::string& path, std::string& name, std::string& stem) {
    // A fixed drive path ("d:\\...") is separated by backslashes everywhere.
    const auto slash =
        platform::is_drive_path(path) ? path.find_last_of("\\/") : platform::last_separator(path);
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

std::string problem_text(file_problem problem, int error_number) {
    switch (problem) {
        case file_problem::none:
            return std::string();
        case file_problem::missing:
        case file_problem::cannot_read:
            return error_number != 0 ? std::strerror(error_number) : "cannot be read";
        case file_problem::folder:
            return std::strerror(EISDIR);
        case file_problem::not_regular:
            return "not a regular file";
        case file_problem::not_encrypted:
            return "not an encrypted file";
        case file_problem::unknown_type:
            return "an unknown file type code";
        case file_problem::refused_type:
            return "a type the encoder does not take";
        case file_problem::vek_type:
            return "an encrypted file already";
        case file_problem::too_short:
            return "too short for its clear prefix and ten enciphered bytes";
        case file_problem::shrunk:
            return "it became shorter while it was read";
    }
    return std::string();
}

std::string plain_problem_message(const std::string& path, const plain_inspection& inspection,
                                  int clear_prefix_length) {
    const std::string shown = platform::shown_path(path);
    switch (inspection.problem) {
        case file_problem::vek_type:
            return platform::about_file(kVekRefused, path);
        case file_problem::refused_type:
            return platform::about_file(kTypeRefused, path);
        case file_problem::too_short: {
            if (clear_prefix_length < 0) {
                return "The clear prefix length " + std::to_string(clear_prefix_length) +
                       " is negative (encoder).";
            }
            const auto prefix = static_cast<std::uint64_t>(std::max(clear_prefix_length, 0));
            return shown + " is too short to encode: it holds " + std::to_string(inspection.size) +
                   " bytes, and a clear prefix of " + std::to_string(clear_prefix_length) +
                   " needs at least " + std::to_string(prefix + kPlainSpan) + " (encoder).";
        }
        case file_problem::shrunk:
            return shown + " could not be read (encoder): " +
                   problem_text(inspection.problem, inspection.error_number);
        default:
            return shown + " cannot be opened (in batch mode encoder): " +
                   problem_text(inspection.problem, inspection.error_number);
    }
}

namespace detail {

cipher_block block_from_bytes(const unsigned char* bytes) {
    cipher_block block{};
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = load_f64(bytes + 8 * i);
    }
    return block;
}

std::array<unsigned char, kBlockBytes> bytes_of_block(const cipher_block& block) {
    std::array<unsigned char, kBlockBytes> bytes{};
    for (std::size_t i = 0; i < block.size(); ++i) {
        store_f64(block[i], bytes.data() + 8 * i);
    }
    return bytes;
}

file_problem kind_problem(platform::FileKind kind, int error, int& error_number) {
    switch (kind) {
        case platform::FileKind::Regular:
            return file_problem::none;
        case platform::FileKind::Folder:
            return file_problem::folder;
        case platform::FileKind::Pipe:
        case platform::FileKind::Other:
            return file_problem::not_regular;
        case platform::FileKind::Missing:
            break;
    }
    error_number = error;
    return error == ENOENT || error == ENOTDIR ? file_problem::missing : file_problem::cannot_read;
}

file_problem read_bytes(const platform::InputFile& in, unsigned char* buffer, std::size_t length,
                        std::uint64_t offset, int& error_number) {
    if (in.read_at(buffer, length, offset)) {
        return file_problem::none;
    }
    error_number = errno;
    return errno == 0 ? file_problem::shrunk : file_problem::cannot_read;
}

file_problem read_head(const platform::InputFile& in, std::size_t head,
                       std::vector<unsigned char>& bytes, int& error_number) {
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(in.size(), head)));
    return read_bytes(in, bytes.data(), bytes.size(), 0, error_number);
}

file_problem copy_problem(platform::OutputFile::Copied copied, int& error_number) {
    switch (copied) {
        case platform::OutputFile::Copied::SourceEnded:
            return file_problem::shrunk;
        case platform::OutputFile::Copied::ReadFailed:
            error_number = errno;
            return file_problem::cannot_read;
        default:
            return file_problem::none;
    }
}

std::optional<platform::OutputFile> create_output(const std::string& final_path,
                                                  const coding_extras& extras) {
    auto out = platform::OutputFile::create_beside(final_path);
    if (!out && errno == ENOENT && extras.make_folder) {
        if (extras.make_folder(platform::folder_of(final_path))) {
            out = platform::OutputFile::create_beside(final_path);
        }
    }
    return out;
}

std::optional<std::pair<std::string, platform::InputFile>> choose_and_open(
    const platform::FileDialogRequest& request, const char* who) {
    const auto chosen = platform::services().open_file(request);
    if (!chosen) {
        return std::nullopt;
    }
    auto opening = platform::InputFile::open_regular(*chosen);
    if (!opening.file) {
        int error = 0;
        const file_problem problem = kind_problem(opening.kind, opening.error, error);
        platform::app_message(platform::shown_path(*chosen) + " cannot be opened (" + who +
                              "): " + problem_text(problem, error));
        return std::nullopt;
    }
    return std::make_pair(*chosen, std::move(*opening.file));
}

bool watch_done(const coding_extras& extras, std::uint64_t size) {
    return extras.watch == nullptr || !*extras.watch || (*extras.watch)(size, size);
}

}  // namespace detail

}  // namespace vekdc
