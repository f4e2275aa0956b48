#include <bit>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "Common/matrix/matrix.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/services.h"

namespace vekdc {

namespace {

constexpr std::size_t kElementBytes = 8;

void store_le(double value, unsigned char* out) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    for (std::size_t k = 0; k < kElementBytes; ++k) {
        out[k] = static_cast<unsigned char>(bits >> (8 * k));
    }
}

double load_le(const unsigned char* in) {
    std::uint64_t bits = 0;
    for (std::size_t k = 0; k < kElementBytes; ++k) {
        bits |= static_cast<std::uint64_t>(in[k]) << (8 * k);
    }
    return std::bit_cast<double>(bits);
}

// Why a key file cannot be opened, as a message naming it.
std::optional<std::string> open_problem(const platform::LeadingBytes& read,
                                        const std::string& shown) {
    switch (read.status) {
        case platform::LeadingBytes::Status::CannotOpen:
            return shown +
                   " cannot be opened (read_matrix_from_binary_file): " + std::strerror(read.error);
        case platform::LeadingBytes::Status::NotFileOrPipe:
            return shown + " is neither a file nor a pipe (read_matrix_from_binary_file)";
        default:
            return std::nullopt;
    }
}

// Why an opened key file does not hold a key of the shape.
std::optional<std::string> content_problem(const platform::LeadingBytes& read,
                                           const std::string& shown, int rows, int cols,
                                           std::size_t needed) {
    if (read.status == platform::LeadingBytes::Status::ReadError) {
        return shown +
               " cannot be read (read_matrix_from_binary_file): " + std::strerror(read.error);
    }
    if (read.bytes.size() < needed) {
        return shown + " is too short for a " + std::to_string(rows) + " x " +
               std::to_string(cols) + " key: it holds " + std::to_string(read.total) +
               " bytes, the key needs " + std::to_string(needed) +
               " (read_matrix_from_binary_file)";
    }
    return std::nullopt;
}

// The matrix in `path`. A file that holds no matrix of the shape ends the
// program (status 1); one that cannot be opened does too, unless it may be
// unopenable, which gives nothing.
Matrix read_key(const std::string& path, int rows, int cols, bool may_be_unopenable) {
    const std::size_t needed = static_cast<std::size_t>(rows < 0 ? 0 : rows) *
                               static_cast<std::size_t>(cols < 0 ? 0 : cols) * kElementBytes;
    const platform::LeadingBytes read = platform::read_leading_bytes(path, needed);
    const std::string shown = platform::shown_path(path);
    if (const auto problem = open_problem(read, shown)) {
        platform::app_message(*problem);
        if (may_be_unopenable) {
            return nullptr;
        }
        platform::exit_program(1);
    }
    if (const auto problem = content_problem(read, shown, rows, cols, needed)) {
        platform::app_message(*problem);
        platform::exit_program(1);
    }
    Matrix M = alloc_matrix(rows, cols);
    const unsigned char* p = read.bytes.data();
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j, p += kElementBytes) {
            M[i][j] = load_le(p);
        }
    }
    return M;
}

}  // namespace

std::vector<unsigned char> matrix_file_bytes(bool header, Matrix M, int rows, int cols) {
    std::vector<unsigned char> bytes;
    bytes.reserve(2 +
                  static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols) * kElementBytes);
    if (header) {
        bytes.push_back(static_cast<unsigned char>(rows & 0xff));
        bytes.push_back(static_cast<unsigned char>(cols & 0xff));
    }
    unsigned char element[kElementBytes];
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            store_le(M[i][j], element);
            bytes.insert(bytes.end(), element, element + kElementBytes);
        }
    }
    return bytes;
}

void matrix_file_not_written(const std::string& path, int error) {
    platform::fatal_error("file open error (write_matrix_into_binary_file)\n" +
                              platform::shown_path(path) + ": " + std::strerror(error),
                          1);
}

std::string write_matrix_into_binary_file(bool header, Matrix M, int rows, int cols,
                                          const std::string& name, const std::string& folder) {
    const platform::NewFiles written = platform::write_new_files(
        folder, {{name, matrix_file_bytes(header, M, rows, cols)}}, platform::Access::Private);
    if (!written.ok) {
        matrix_file_not_written(written.failed_path, written.error);
    }
    return written.paths.front();
}

Matrix read_matrix_from_binary_file(int rows, int cols, const std::string& path) {
    return read_key(path, rows, cols, false);
}

Matrix read_matrix_file_if_openable(int rows, int cols, const std::string& path) {
    return read_key(path, rows, cols, true);
}

}  // namespace vekdc
