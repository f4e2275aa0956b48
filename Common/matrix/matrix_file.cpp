#include <bit>
#include <cerrno>
#include <cstring>
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

[[noreturn]] void write_failed() {
    platform::app_message("file open error (write_matrix_into_binary_file)\n");
    platform::exit_program(1);
}

// Reads the elements of an open key file; a file too short for the shape ends the program.
Matrix read_elements(const platform::InputFile& file, int rows, int cols,
                     const std::string& shown) {
    const std::uint64_t needed = static_cast<std::uint64_t>(rows < 0 ? 0 : rows) *
                                 static_cast<std::uint64_t>(cols < 0 ? 0 : cols) * kElementBytes;
    const std::uint64_t size = file.size();
    std::vector<unsigned char> bytes(static_cast<std::size_t>(needed));
    if (size < needed || !file.read_at(bytes.data(), bytes.size(), 0)) {
        platform::app_message(shown + " is too short for a " + std::to_string(rows) + " x " +
                              std::to_string(cols) + " key: it holds " + std::to_string(size) +
                              " bytes, the key needs " + std::to_string(needed) +
                              " (read_matrix_from_binary_file)");
        platform::exit_program(1);
    }
    Matrix M = alloc_matrix(rows, cols);
    const unsigned char* p = bytes.data();
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j, p += kElementBytes) {
            M[i][j] = load_le(p);
        }
    }
    return M;
}

std::string open_failure(const std::string& path) {
    return path + " cannot be opened (read_matrix_from_binary_file): " + std::strerror(errno);
}

}  // namespace

void write_matrix_into_binary_file(bool header, Matrix M, int rows, int cols,
                                   const std::string& name, const std::string& folder) {
    const std::string path = folder + name;
    auto out = platform::OutputFile::create_beside(path);
    if (!out) {
        write_failed();
    }
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
    if (!out->write(bytes.data(), bytes.size()) || !out->publish_replacing(path)) {
        write_failed();
    }
}

Matrix read_matrix_from_binary_file(bool /*header*/, bool ask, int rows, int cols,
                                    int* /*rows_read*/, int* /*cols_read*/,
                                    const std::string& path) {
    if (!ask) {
        auto file = platform::InputFile::open(path);
        if (!file) {
            platform::app_message(open_failure(path));
            platform::exit_program(1);
        }
        return read_elements(*file, rows, cols, path);
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
    auto file = platform::InputFile::open(*chosen);
    if (!file) {
        // Reported like a file error of the dialog; the caller treats it as cancelled.
        platform::app_message(open_failure(*chosen));
        return {nullptr, *chosen};
    }
    return {MatrixPtr(read_elements(*file, rows, cols, *chosen)), *chosen};
}

}  // namespace vekdc
