// The key check, and the looks at a file that the programs take before they
// write anything.
#include <cerrno>
#include <cmath>
#include <limits>

#include "codec/codec.h"
#include "codec/format_detail.h"
#include "platform/file.h"

namespace vekdc {

deciphered_values decipher_values(const cipher_block& block, Matrix B, Matrix J_inv) {
    MatrixPtr x(alloc_matrix(kBlockLength, 1));
    for (int i = 0; i < kBlockLength; ++i) {
        x.get()[i][0] = block[static_cast<std::size_t>(i)];
    }
    MatrixPtr v(multiply_matrix(B, x.get(), kPlainLength, kBlockLength, 1));
    MatrixPtr y(multiply_matrix(J_inv, v.get(), kPlainLength, kPlainLength, 1));
    deciphered_values values{};
    for (int i = 0; i < kPlainLength; ++i) {
        values[static_cast<std::size_t>(i)] = y.get()[i][0];
    }
    return values;
}

double integer_deviation(const deciphered_values& values) {
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
    const deciphered_values values = decipher_values(block, B, J_inv);
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

encrypted_inspection inspect_encrypted_file(const std::string& path) {
    encrypted_inspection result;
    const platform::FileStatus status = platform::file_status(path);
    switch (status.kind) {
        case platform::FileKind::Missing:
            result.problem = file_problem::missing;
            result.error_number = status.error;
            return result;
        case platform::FileKind::Folder:
            result.problem = file_problem::folder;
            return result;
        case platform::FileKind::Pipe:
        case platform::FileKind::Other:
            result.problem = file_problem::not_regular;
            return result;
        case platform::FileKind::Regular:
            break;
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
    switch (status.kind) {
        case platform::FileKind::Missing:
            result.problem = file_problem::missing;
            result.error_number = status.error;
            return result;
        case platform::FileKind::Folder:
            result.problem = file_problem::folder;
            return result;
        case platform::FileKind::Pipe:
        case platform::FileKind::Other:
            result.problem = file_problem::not_regular;
            return result;
        case platform::FileKind::Regular:
            break;
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

}  // namespace vekdc
