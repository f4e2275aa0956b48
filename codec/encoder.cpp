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
#include "platform/runtime.h"
#include "platform/services.h"

namespace vekdc {

namespace {

using platform::about_file;
using platform::fatal_error;
using Copied = platform::OutputFile::Copied;

// The values a block carries: the type code and the ten bytes of `span`.
plain_vector block_values(int type_code, const unsigned char* span) {
    plain_vector x{};
    x[0] = static_cast<double>(type_code & 0xff);
    std::copy_n(span, kPlainSpan, x.begin() + 1);
    return x;
}

// Whether the job's decoding key gives back the values a block was made
// from. For a block of whole numbers (the pVEK form) that is exactly the
// decoder's key check.
bool block_opens(const cipher_block& block, const plain_vector& x, const decoding_key& check) {
    const plain_vector back = decipher_values(block, check.B, check.J_inv);
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!(std::fabs(back[i] - x[i]) <= kKeyCheckTolerance)) {
            return false;
        }
    }
    return true;
}

// Opens a block with the job's decoding key before it is written.
void verify_block(const cipher_block& block, const plain_vector& x, const decoding_key* check,
                  const std::string& shown) {
    if (check != nullptr && !block_opens(block, x, *check)) {
        fatal_error(about_file("The key of this job cannot encode the file: its enciphered "
                               "block does not open with the job's decoding key (encoder)",
                               shown),
                    1);
    }
}

// Names a complete encoded file, replacing an older file of that name. A
// folder of that name keeps it from being written: `open_error` (or the
// batch encoder's words) says so.
void publish_encoded(platform::OutputFile& out, const std::string& out_path,
                     const std::string& open_error = std::string()) {
    switch (out.publish_new(out_path)) {
        case platform::OutputFile::Publish::Done:
            return;
        case platform::OutputFile::Publish::Exists:
            if (platform::file_status(out_path).kind == platform::FileKind::Folder) {
                fatal_error(open_error.empty()
                                ? about_file("enc out file open error", out_path, EISDIR)
                                : open_error + ": " + std::strerror(EISDIR),
                            -1);
            }
            if (out.publish_replacing(out_path)) {
                return;
            }
            break;
        case platform::OutputFile::Publish::Failed:
            break;
    }
    fatal_error(about_file("enc out file write error", out_path, errno), -1);
}

// The cipher block of a plain file's ten bytes after the clear prefix.
std::optional<cipher_block> make_block(plain_file& file, int clear_prefix_length,
                                       const std::string& shown, Matrix A,
                                       const decoding_key* check) {
    const auto prefix = static_cast<std::uint64_t>(clear_prefix_length);
    std::array<unsigned char, kPlainSpan> span{};
    if (prefix + kPlainSpan <= file.head.size()) {
        std::copy_n(file.head.begin() + static_cast<std::ptrdiff_t>(prefix), kPlainSpan,
                    span.begin());
    } else {
        file.inspection.problem = detail::read_bytes(*file.input, span.data(), span.size(), prefix,
                                                     file.inspection.error_number);
        if (file.inspection.problem != file_problem::none) {
            return std::nullopt;
        }
    }
    const plain_vector x = block_values(file.inspection.type_code, span.data());
    const cipher_block block = encipher(x, A);
    verify_block(block, x, check, shown);
    return block;
}

// Writes the pVEK form: header, clear prefix, block and clear rest, from the
// bytes read at the start as far as they reach and copied beyond.
Copied write_pvek_bytes(platform::OutputFile& out, const plain_file& file,
                        const cipher_block& block, int clear_prefix_length, int header_extra,
                        const coding_extras& extras, bool& stepped) {
    const std::vector<unsigned char>& head = file.head;
    const platform::InputFile& in = *file.input;
    const std::uint64_t size = file.inspection.size;
    const auto prefix = static_cast<std::uint64_t>(clear_prefix_length);
    const auto header =
        header_bytes({1, clear_prefix_length, file.inspection.type_code, header_extra});
    // Everything within the bytes read at the start goes out in one write.
    std::vector<unsigned char> bytes;
    bytes.reserve(kHeaderBytes + kBlockBytes + head.size());
    bytes.insert(bytes.end(), header.begin(), header.end());
    if (prefix <= head.size()) {
        bytes.insert(bytes.end(), head.begin(), head.begin() + static_cast<std::ptrdiff_t>(prefix));
    } else {
        if (!out.write(bytes.data(), bytes.size())) {
            return Copied::WriteFailed;
        }
        bytes.clear();
        if (const Copied copied = out.copy_from(in, 0, prefix); copied != Copied::Done) {
            return copied;
        }
    }
    const auto block_bytes = detail::bytes_of_block(block);
    bytes.insert(bytes.end(), block_bytes.begin(), block_bytes.end());
    std::uint64_t copy_start = prefix + kPlainSpan;
    if (copy_start < head.size()) {
        bytes.insert(bytes.end(), head.begin() + static_cast<std::ptrdiff_t>(copy_start),
                     head.end());
        copy_start = head.size();
    }
    if (!out.write(bytes.data(), bytes.size())) {
        return Copied::WriteFailed;
    }
    // Progress counts the bytes of the plain file handled so far.
    platform::OutputFile::CopyStep step;
    if (extras.watch != nullptr && *extras.watch && size > copy_start) {
        stepped = true;
        step = [&, copy_start](std::uint64_t copied) {
            return (*extras.watch)(copy_start + copied, size);
        };
    }
    return out.copy_from(in, copy_start, size - copy_start, step);
}

// Encodes an open plain file in the pVEK form into `out_path`. The block is
// made and checked before anything is written.
encoded write_pvek(plain_file& file, const std::string& path, const std::string& out_path, Matrix A,
                   int clear_prefix_length, int header_extra, const coding_extras& extras,
                   const decoding_key* check) {
    const auto block = make_block(file, clear_prefix_length, path, A, check);
    if (!block) {
        platform::app_message(plain_problem_message(path, file.inspection, clear_prefix_length));
        return encoded::unreadable;
    }
    auto out = detail::create_output(out_path, extras);
    if (!out) {
        fatal_error(about_file("enc out file open error", out_path, errno), -1);
    }
    bool stepped = false;
    const Copied copied =
        write_pvek_bytes(*out, file, *block, clear_prefix_length, header_extra, extras, stepped);
    if (copied == Copied::Stopped ||
        (copied == Copied::Done && !stepped && !detail::watch_done(extras, file.inspection.size))) {
        return encoded::stopped;  // the unfinished output is discarded with `out`
    }
    if (copied == Copied::WriteFailed) {
        fatal_error(about_file("enc out file write error", out_path, errno), -1);
    }
    if (copied != Copied::Done) {
        file.inspection.problem = detail::copy_problem(copied, file.inspection.error_number);
        platform::app_message(plain_problem_message(path, file.inspection, clear_prefix_length));
        return encoded::unreadable;
    }
    publish_encoded(*out, out_path);
    if (extras.written_path != nullptr) {
        *extras.written_path = out_path;
    }
    return encoded::written;
}

// Sequential reader of a plain file in bounded chunks.
class ByteStream {
public:
    explicit ByteStream(const platform::InputFile& in) : in_(in), size_(in.size()) {}
    // The next byte; false at the end or when the file cannot be read (errno).
    bool next(unsigned char& byte) {
        if (pos_ == filled_) {
            const std::uint64_t left = size_ - offset_;
            if (left == 0) {
                errno = 0;
                return false;
            }
            filled_ = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer_.size()));
            if (!in_.read_at(buffer_.data(), filled_, offset_)) {
                return false;
            }
            offset_ += filled_;
            pos_ = 0;
        }
        byte = buffer_[pos_++];
        return true;
    }

private:
    const platform::InputFile& in_;
    std::uint64_t size_;
    std::uint64_t offset_ = 0;
    std::vector<unsigned char> buffer_ = std::vector<unsigned char>(1 << 16);
    std::size_t filled_ = 0;
    std::size_t pos_ = 0;
};

// The block-by-block form: the type code and every plain byte, eleven values
// a block, the last block closed by 127 and padding fractions.
void write_blocks(const platform::InputFile& in, const std::string& shown, int type_code,
                  const std::string& out_path, Matrix A, const decoding_key* check) {
    const std::uint64_t size = in.size();
    const std::uint64_t q = (size + 1) / kPlainLength;
    const std::uint64_t r = (size + 1) % kPlainLength;
    const std::uint64_t blocks = r == 0 ? q : q + 1;

    const std::string cannot_open = platform::shown_path(out_path) + " cannot be opened (encoder)";
    auto out = platform::OutputFile::create_beside(out_path);
    if (!out) {
        fatal_error(cannot_open + ": " + std::strerror(errno), -1);
    }
    ByteStream stream(in);
    bool type_pending = true;
    for (std::uint64_t k = 0; k < blocks; ++k) {
        const bool last = k + 1 == blocks;
        const std::size_t values = (last && r != 0) ? static_cast<std::size_t>(r) : kPlainLength;
        plain_vector x{};
        for (std::size_t i = 0; i < values; ++i) {
            if (type_pending) {
                x[i] = static_cast<double>(type_code & 0xff);
                type_pending = false;
                continue;
            }
            unsigned char byte = 0;
            if (!stream.next(byte)) {
                plain_inspection unread;
                unread.problem = errno == 0 ? file_problem::shrunk : file_problem::cannot_read;
                unread.error_number = errno;
                fatal_error(plain_problem_message(shown, unread, 0), 1);
            }
            x[i] = static_cast<double>(byte);
        }
        if (values < x.size()) {
            x[values] = 127.0;
            for (std::size_t i = values + 1; i < x.size(); ++i) {
                x[i] = static_cast<double>(platform::crt_rand() % 32727) / 32727.0;
            }
        }
        const cipher_block block = encipher(x, A);
        verify_block(block, x, check, shown);
        platform::crt_srand(static_cast<std::uint32_t>(k * 132));
        const auto bytes = detail::bytes_of_block(block);
        if (!out->write(bytes.data(), bytes.size())) {
            fatal_error(about_file("enc out file write error", out_path, errno), -1);
        }
    }
    publish_encoded(*out, out_path, cannot_open);
}

// The dialog modes: the file the user picks, written into the current folder.
coding_result encode_by_dialog(std::string& path, Matrix A, bool pvek, int clear_prefix_length,
                               int header_extra, const coding_extras& extras,
                               const decoding_key* check) {
    platform::app_message(pvek ? "This is interactive pVEK mode (encoder)."
                               : "This is select_M_by_dialog non-pVEK mode (encoder).",
                          platform::Icon::Information);
    platform::FileDialogRequest request;
    request.filter = "plain file";
    request.default_ext = "*text";
    request.initial_name = "*.*";
    request.initial_dir = "./";
    auto opened = detail::choose_and_open(request, "encoder");
    if (!opened) {
        return coding_result::refused;
    }
    auto& [chosen, in] = *opened;
    std::string stem;
    split_path(chosen, path, stem);
    const int type_code = file_type_code(last_three_characters(path), chosen);
    const std::string out_path = stem + ".vek";
    if (!pvek) {
        write_blocks(in, chosen, type_code, out_path, A, check);
    } else {
        plain_file file;
        file.inspection.type_code = type_code;
        file.inspection.size = in.size();
        if (clear_prefix_length < 0 ||
            file.inspection.size < static_cast<std::uint64_t>(clear_prefix_length) + kPlainSpan) {
            file.inspection.problem = file_problem::too_short;
            fatal_error(plain_problem_message(chosen, file.inspection, clear_prefix_length), 1);
        }
        file.inspection.problem =
            detail::read_head(in, kEncoderHead, file.head, file.inspection.error_number);
        file.input = std::move(in);
        const encoded result = file.inspection.problem == file_problem::none
                                   ? write_pvek(file, chosen, out_path, A, clear_prefix_length,
                                                header_extra, extras, check)
                                   : encoded::unreadable;
        if (result == encoded::unreadable) {
            fatal_error(plain_problem_message(chosen, file.inspection, clear_prefix_length), 1);
        }
        if (result == encoded::stopped) {
            return coding_result::refused;
        }
    }
    if (extras.written_path != nullptr) {
        *extras.written_path = out_path;
    }
    return coding_result::written;
}

}  // namespace

std::optional<platform::OutputFile> encode_unnamed(const plain_file& file,
                                                   const std::string& out_path, Matrix A,
                                                   int clear_prefix_length, int header_extra,
                                                   const decoding_key& check) {
    const plain_inspection& seen = file.inspection;
    const auto prefix = static_cast<std::uint64_t>(clear_prefix_length);
    if (seen.problem != file_problem::none || file.head.size() != seen.size ||
        prefix + kPlainSpan > seen.size) {
        return std::nullopt;
    }
    const plain_vector x = block_values(seen.type_code, file.head.data() + prefix);
    const cipher_block block = encipher(x, A);
    if (!block_opens(block, x, check)) {
        return std::nullopt;
    }
    auto out = platform::OutputFile::create_beside(out_path);
    bool stepped = false;
    if (!out || write_pvek_bytes(*out, file, block, clear_prefix_length, header_extra, {},
                                 stepped) != Copied::Done) {
        return std::nullopt;
    }
    return out;
}

void publish_encoded_file(platform::OutputFile& out, const std::string& out_path) {
    publish_encoded(out, out_path);
}

encoded encode_opened(plain_file& file, const std::string& path, const std::string& out_dir,
                      Matrix A, int clear_prefix_length, int header_extra,
                      const coding_extras& extras, const decoding_key* check) {
    return write_pvek(file, path, encoded_path(path, out_dir), A, clear_prefix_length, header_extra,
                      extras, check);
}

coding_result encode_file(std::string& path, const std::string& out_dir, Matrix A, coding_mode mode,
                          bool pvek, int clear_prefix_length, int header_extra,
                          const coding_extras& extras, const decoding_key* check) {
    if (A == nullptr) {
        fatal_error("Fatal error: A is null.", 1);
    }
    if (mode == coding_mode::dialog) {
        return encode_by_dialog(path, A, pvek, clear_prefix_length, header_extra, extras, check);
    }
    if (mode != coding_mode::batch || !pvek) {
        return coding_result::refused;
    }
    if (path.empty()) {
        fatal_error("file name is not given in batch mode (encoder).", 1);
    }
    plain_file file = open_plain_file(path, clear_prefix_length);
    const file_problem problem = file.inspection.problem;
    if (problem == file_problem::refused_type || problem == file_problem::vek_type) {
        file_type_code(last_three_characters(path), path);  // refuses it, status 0
    }
    if (problem != file_problem::none) {
        fatal_error(plain_problem_message(path, file.inspection, clear_prefix_length), 1);
    }
    switch (
        encode_opened(file, path, out_dir, A, clear_prefix_length, header_extra, extras, check)) {
        case encoded::written:
            return coding_result::written;
        case encoded::unreadable:
            platform::exit_program(1);
        default:
            return coding_result::refused;
    }
}

}  // namespace vekdc
