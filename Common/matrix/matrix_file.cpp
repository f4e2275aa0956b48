#include <bit>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "Common/matrix/matrix.h"
#include "platform/file.h"
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

std::vector<unsigned char> matrix_bytes(bool header, Matrix M, int rows, int cols) {
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

written_keys write_files(std::vector<platform::NewFile> files, const std::string& folder,
                         const std::string& first_suffix) {
    const platform::NewFiles written =
        platform::write_new_files(folder, files, platform::Access::Private, first_suffix);
    if (!written.ok) {
        platform::app_message("file open error (write_matrix_into_binary_file)\n" +
                              written.failed_path + ": " + std::strerror(written.error));
        platform::exit_program(1);
    }
    return {written.paths, written.suffix};
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

// The key in `path`. A file that holds no key of the shape ends the program
// (status 1); one that cannot be opened does too, except for a file chosen in
// the dialog, which gives nothing, as a cancelled dialog does.
Matrix read_key(const std::string& path, int rows, int cols, bool chosen_in_dialog) {
    const std::size_t needed = static_cast<std::size_t>(rows < 0 ? 0 : rows) *
                               static_cast<std::size_t>(cols < 0 ? 0 : cols) * kElementBytes;
    const platform::LeadingBytes read = platform::read_leading_bytes(path, needed);
    if (const auto problem = open_problem(read, path)) {
        platform::app_message(*problem);
        if (chosen_in_dialog) {
            return nullptr;
        }
        platform::exit_program(1);
    }
    if (const auto problem = content_problem(read, path, rows, cols, needed)) {
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

std::string write_matrix_into_binary_file(bool header, Matrix M, int rows, int cols,
                                          const std::string& name, const std::string& folder) {
    return write_files({{name, matrix_bytes(header, M, rows, cols)}}, folder, "").paths.front();
}

written_keys write_key_files(const std::vector<key_file>& keys, const std::string& folder,
                             const std::string& first_suffix) {
    std::vector<platform::NewFile> files;
    for (const key_file& key : keys) {
        files.push_back({key.name, matrix_bytes(false, key.M, key.rows, key.cols)});
    }
    return write_files(std::move(files), folder, first_suffix);
}

Matrix read_matrix_from_binary_file(bool /*header*/, bool ask, int rows, int cols,
                                    int* /*rows_read*/, int* /*cols_read*/,
                                    const std::string& path) {
    if (!ask) {
        return read_key(path, rows, cols, false);
    }
    return choose_and_read_matrix(rows, cols).matrix.release();
}

ChosenMatrix choose_and_read_matrix(int rows, int cols) {
    platform::FileDialogRequest request;
    request.filter = "key file (*.key)";
    request.default_ext = "key";
    request.initial_name = "*.key";
    request.initial_dir = "./";
    const auto chosen = platform::services().open_file(request);
    if (!chosen) {
        return {};
    }
    return {MatrixPtr(read_key(*chosen, rows, cols, true)), *chosen};
}

}  // namespace vekdc
