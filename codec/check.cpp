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
#include "platform/paths.h"
#include "platform/services.h"

namespace vekdc {

cipher_block encipher(const plain_vector& x, Matrix A) {
    cipher_block block{};
    multiply_vector(A, x.data(), kBlockLength, kPlainLength, block.data());
    return block;
}

plain_vector decipher_values(const cipher_block& block, Matrix B, Matrix J_inv) {
    plain_vector v{};
    multiply_vector(B, block.data(), kPlainLength, kBlockLength, v.data());
    if (J_inv == nullptr) {
        return v;
    }
    plain_vector values{};
    multiply_vector(J_inv, v.data(), kPlainLength, kPlainLength, values.data());
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

// What is wrong with a header, for a file of `size` bytes.
file_problem header_problem(const vek_header& header, std::uint64_t size) {
    if (header.marker != 1 || header.clear_prefix_length < 0 ||
        size <
            kHeaderBytes + static_cast<std::uint64_t>(header.clear_prefix_length) + kBlockBytes) {
        return file_problem::not_encrypted;
    }
    return extension_of_type(header.type_code) ? file_problem::none : file_problem::unknown_type;
}

// Reads the header and the cipher block of an open file into `file`.
file_problem read_encrypted_head(encrypted_file& file, const platform::InputFile& in,
                                 std::size_t head) {
    encrypted_inspection& seen = file.inspection;
    encrypted_facts& facts = seen.facts;
    facts.size = in.size();
    if (facts.size < kHeaderBytes) {
        return file_problem::not_encrypted;
    }
    const file_problem unread = detail::read_head(in, std::max(head, kHeaderBytes + kBlockBytes),
                                                  file.head, seen.error_number);
    if (unread != file_problem::none) {
        return unread;
    }
    const vek_header header = parse_header(file.head.data());
    facts.clear_prefix_length = header.clear_prefix_length;
    facts.type_code = header.type_code;
    if (const file_problem wrong = header_problem(header, facts.size);
        wrong != file_problem::none) {
        return wrong;
    }
    const std::uint64_t block_at =
        kHeaderBytes + static_cast<std::uint64_t>(header.clear_prefix_length);
    std::array<unsigned char, kBlockBytes> block{};
    const unsigned char* bytes = file.head.data() + block_at;
    if (block_at + kBlockBytes > file.head.size()) {
        const file_problem unread_block =
            detail::read_bytes(in, block.data(), block.size(), block_at, seen.error_number);
        if (unread_block != file_problem::none) {
            return unread_block;
        }
        bytes = block.data();
    }
    facts.block = detail::block_from_bytes(bytes);
    return file_problem::none;
}

}  // namespace

encrypted_file open_encrypted_file(const std::string& path, std::size_t head) {
    encrypted_file file;
    auto opening = platform::InputFile::open_regular(path);
    file.inspection.problem =
        detail::kind_problem(opening.kind, opening.error, file.inspection.error_number);
    if (file.inspection.problem != file_problem::none) {
        return file;
    }
    file.inspection.problem = read_encrypted_head(file, *opening.file, head);
    if (file.inspection.problem == file_problem::none) {
        file.input = std::move(opening.file);
    }
    return file;
}

encrypted_inspection inspect_encrypted_file(const std::string& path) {
    return open_encrypted_file(path).inspection;
}

std::string encrypted_problem_message(const std::string& path,
                                      const encrypted_inspection& inspection) {
    switch (inspection.problem) {
        case file_problem::not_encrypted:
            return platform::about_file("This is not a pVEK file.", path);
        case file_problem::unknown_type:
            return "Unknown file type code " + std::to_string(inspection.facts.type_code) + " in " +
                   platform::shown_path(path) + " (decoder).";
        case file_problem::shrunk:
            return platform::about_file("file read error (decoder)", path,
                                        problem_text(inspection.problem, 0));
        default:
            return platform::about_file("file open error in batch mode (decoder)", path,
                                        problem_text(inspection.problem, inspection.error_number));
    }
}

namespace {

// The encoder's screening of a plain file by its name and size.
file_problem plain_problem(const std::string& path, std::uint64_t size, int clear_prefix_length,
                           int& type_code) {
    const std::string_view last_three = last_three_characters(path);
    const auto code = accepted_type_code(last_three);
    if (!code) {
        return last_three == "vek" ? file_problem::vek_type : file_problem::refused_type;
    }
    type_code = *code;
    if (clear_prefix_length < 0 ||
        size < static_cast<std::uint64_t>(clear_prefix_length) + kPlainSpan) {
        return file_problem::too_short;
    }
    return file_problem::none;
}

}  // namespace

plain_inspection inspect_plain_file(const std::string& path, int clear_prefix_length) {
    plain_inspection result;
    const platform::FileStatus status = platform::file_status(path);
    result.problem = detail::kind_problem(status.kind, status.error, result.error_number);
    if (result.problem == file_problem::none) {
        result.size = status.size;
        result.problem = plain_problem(path, result.size, clear_prefix_length, result.type_code);
    }
    return result;
}

plain_file screen_plain_file(const std::string& path, int clear_prefix_length) {
    plain_file file;
    plain_inspection& seen = file.inspection;
    auto opening = platform::InputFile::open_regular(path);
    seen.problem = detail::kind_problem(opening.kind, opening.error, seen.error_number);
    if (seen.problem != file_problem::none) {
        return file;
    }
    seen.size = opening.file->size();
    seen.problem = plain_problem(path, seen.size, clear_prefix_length, seen.type_code);
    if (seen.problem == file_problem::none) {
        file.input = std::move(opening.file);
    }
    return file;
}

void read_plain_head(plain_file& file) {
    plain_inspection& seen = file.inspection;
    seen.problem = detail::read_head(*file.input, kEncoderHead, file.head, seen.error_number);
    if (seen.problem != file_problem::none) {
        file.input.reset();
    }
}

plain_file open_plain_file(const std::string& path, int clear_prefix_length) {
    plain_file file = screen_plain_file(path, clear_prefix_length);
    if (file.inspection.problem == file_problem::none) {
        read_plain_head(file);
    }
    return file;
}

std::string encoded_path(const std::string& path, const std::string& out_dir) {
    std::string name;
    std::string stem;
    split_path(path, name, stem);
    return out_dir + stem + ".vek";
}

namespace {

// Whether a path has "." or ".." steps or doubled separators that make
// another spelling of it.
bool needs_normalizing(std::string_view path) {
    for (std::size_t i = 0; i < path.size(); ++i) {
        const bool step_start = i == 0 || platform::is_path_separator(path[i - 1]);
        if ((step_start && path[i] == '.') || (i > 0 && platform::is_path_separator(path[i]) &&
                                               platform::is_path_separator(path[i - 1]))) {
            return true;
        }
    }
    return false;
}

std::string folded(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

}  // namespace

std::vector<output_collision> output_collisions(const std::vector<std::string>& files,
                                                const std::string& out_dir) {
    return output_collisions(files, out_dir, platform::folder_folds_case(out_dir));
}

std::vector<output_collision> output_collisions(const std::vector<std::string>& files,
                                                const std::string& out_dir, bool fold) {
    std::vector<output_collision> collisions;
    // Output paths are compared as written, with "." and ".." steps resolved.
    std::map<std::string, std::size_t> first_writer;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!accepted_type_code(last_three_characters(files[i]))) {
            continue;
        }
        const std::string output = encoded_path(files[i], out_dir);
        std::string key = needs_normalizing(output)
                              ? std::filesystem::path(output).lexically_normal().string()
                              : output;
        if (fold) {
            key = folded(std::move(key));
        }
        const auto [found, inserted] = first_writer.emplace(key, i);
        if (!inserted) {
            collisions.push_back({found->second, i, output});
        }
    }
    return collisions;
}

std::string collision_message(const std::string& first, const std::string& second,
                              const std::string& output) {
    return platform::shown_path(first) + " and " + platform::shown_path(second) +
           " would both be encoded to " + platform::shown_path(output) + " (encoder).";
}

}  // namespace vekdc
