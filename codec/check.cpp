// The key check, and the looks at a file that the programs take before they
// write anything.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>

#include "codec/codec.h"
#include "codec/format_detail.h"
#include "platform/file.h"

namespace vekdc {

cipher_block encipher(const plain_vector& x, Matrix A) {
    MatrixPtr vector(alloc_matrix(kPlainLength, 1));
    for (int i = 0; i < kPlainLength; ++i) {
        vector.get()[i][0] = x[static_cast<std::size_t>(i)];
    }
    MatrixPtr y(multiply_matrix(A, vector.get(), kBlockLength, kPlainLength, 1));
    cipher_block block{};
    for (int i = 0; i < kBlockLength; ++i) {
        block[static_cast<std::size_t>(i)] = y.get()[i][0];
    }
    return block;
}

plain_vector decipher_values(const cipher_block& block, Matrix B, Matrix J_inv) {
    MatrixPtr x(alloc_matrix(kBlockLength, 1));
    for (int i = 0; i < kBlockLength; ++i) {
        x.get()[i][0] = block[static_cast<std::size_t>(i)];
    }
    MatrixPtr v(multiply_matrix(B, x.get(), kPlainLength, kBlockLength, 1));
    MatrixPtr y(multiply_matrix(J_inv, v.get(), kPlainLength, kPlainLength, 1));
    plain_vector values{};
    for (int i = 0; i < kPlainLength; ++i) {
        values[static_cast<std::size_t>(i)] = y.get()[i][0];
    }
    return values;
}

double integer_deviation(const plain_vector& values) {
    double worst = 0.0;
    for (const double value : values) {
        if (!std::isfinite(value)) {
            return std::numeric_limits<double>::infinity();
        }
        worst = std::max(worst, std::fabs(value - std::round(value)));
    }
    return worst;
}

std::optional<plain_block> open_block(const cipher_block& block, std::int32_t type_code, Matrix B,
                                      Matrix J_inv) {
    const plain_vector values = decipher_values(block, B, J_inv);
    if (!(integer_deviation(values) <= kKeyCheckTolerance)) {
        return std::nullopt;
    }
    plain_block bytes{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double nearest = std::round(values[i]);
        const bool fits =
            i == 0 ? nearest == static_cast<double>(type_code) : nearest >= 0.0 && nearest <= 255.0;
        if (!fits) {
            return std::nullopt;
        }
        bytes[i] = *round_to_byte(values[i]);
    }
    return bytes;
}

namespace {

// What is wrong with a path, by its status, before it is opened: missing, a folder, or not
// a regular file (a pipe is never waited on); none for a regular file.
file_problem kind_problem(const platform::FileStatus& status, int& error_number) {
    switch (status.kind) {
        case platform::FileKind::Missing:
            error_number = status.error;
            return file_problem::missing;
        case platform::FileKind::Folder:
            return file_problem::folder;
        case platform::FileKind::Pipe:
        case platform::FileKind::Other:
            return file_problem::not_regular;
        case platform::FileKind::Regular:
            break;
    }
    return file_problem::none;
}

}  // namespace

encrypted_inspection inspect_encrypted_file(const std::string& path) {
    encrypted_inspection result;
    const platform::FileStatus status = platform::file_status(path);
    result.problem = kind_problem(status, result.error_number);
    if (result.problem != file_problem::none) {
        return result;
    }
    const auto in = platform::InputFile::open(path);
    if (!in) {
        result.problem = file_problem::cannot_read;
        result.error_number = errno;
        return result;
    }
    encrypted_facts& facts = result.facts;
    facts.size = in->size();
    std::array<unsigned char, kHeaderBytes> header{};
    if (facts.size < kHeaderBytes || !in->read_at(header.data(), header.size(), 0) ||
        detail::load_i32(&header[0]) != 1) {
        result.problem = file_problem::not_encrypted;
        return result;
    }
    facts.clear_prefix_length = detail::load_i32(&header[4]);
    facts.type_code = detail::load_i32(&header[8]);
    if (facts.clear_prefix_length < 0 ||
        facts.size <
            kHeaderBytes + static_cast<std::uint64_t>(facts.clear_prefix_length) + kBlockBytes) {
        result.problem = file_problem::not_encrypted;
        return result;
    }
    if (!extension_of_type(facts.type_code)) {
        result.problem = file_problem::unknown_type;
        return result;
    }
    std::array<unsigned char, kBlockBytes> block{};
    if (!in->read_at(block.data(), block.size(),
                     kHeaderBytes + static_cast<std::uint64_t>(facts.clear_prefix_length))) {
        result.problem = file_problem::cannot_read;
        result.error_number = errno;
        return result;
    }
    for (std::size_t i = 0; i < facts.block.size(); ++i) {
        facts.block[i] = detail::load_f64(block.data() + 8 * i);
    }
    return result;
}

plain_inspection inspect_plain_file(const std::string& path, int clear_prefix_length) {
    plain_inspection result;
    const platform::FileStatus status = platform::file_status(path);
    result.problem = kind_problem(status, result.error_number);
    if (result.problem != file_problem::none) {
        return result;
    }
    const std::string_view last_three = last_three_characters(path);
    const auto code = accepted_type_code(last_three);
    if (!code) {
        result.problem = last_three == "vek" ? file_problem::vek_type : file_problem::refused_type;
        return result;
    }
    result.type_code = *code;
    if (!platform::InputFile::open(path)) {
        result.problem = file_problem::cannot_read;
        result.error_number = errno;
        return result;
    }
    result.size = status.size;
    if (clear_prefix_length < 0 ||
        result.size < static_cast<std::uint64_t>(clear_prefix_length) + kPlainSpan) {
        result.problem = file_problem::too_short;
    }
    return result;
}

std::string encoded_path(const std::string& path, const std::string& out_dir) {
    std::string name;
    std::string stem;
    split_path(path, name, stem);
    return out_dir + stem + ".vek";
}

std::vector<output_collision> output_collisions(const std::vector<std::string>& files,
                                                const std::string& out_dir) {
    std::vector<output_collision> collisions;
    // Output paths are compared as written, with "." and ".." steps resolved.
    std::map<std::string, std::size_t> first_writer;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!accepted_type_code(last_three_characters(files[i]))) {
            continue;
        }
        const std::string output = encoded_path(files[i], out_dir);
        const std::string key = std::filesystem::path(output).lexically_normal().string();
        const auto [found, inserted] = first_writer.emplace(key, i);
        if (!inserted) {
            collisions.push_back({found->second, i, output});
        }
    }
    return collisions;
}

std::string problem_text(file_problem problem, int error_number) {
    switch (problem) {
        case file_problem::none:
            return std::string();
        case file_problem::missing:
        case file_problem::cannot_read:
            return error_number != 0 ? std::strerror(error_number) : "cannot be read";
        case file_problem::folder:
            return "is a folder";
        case file_problem::not_regular:
            return "is not a regular file";
        case file_problem::not_encrypted:
            return "is not an encrypted file";
        case file_problem::unknown_type:
            return "has an unknown file type code";
        case file_problem::refused_type:
            return "is of a type the encoder does not take";
        case file_problem::vek_type:
            return "is an encrypted file already";
        case file_problem::too_short:
            return "is too short for its clear prefix and ten enciphered bytes";
    }
    return std::string();
}

}  // namespace vekdc
