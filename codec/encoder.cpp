#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "codec/codec.h"
#include "codec/format_detail.h"
#include "platform/file.h"
#include "platform/runtime.h"
#include "platform/services.h"

namespace vekdc {

namespace {

using platform::about_file;
using platform::fatal_error;

std::array<unsigned char, kBlockBytes> block_bytes(const cipher_block& block) {
    std::array<unsigned char, kBlockBytes> bytes{};
    for (std::size_t i = 0; i < block.size(); ++i) {
        detail::store_f64(block[i], bytes.data() + 8 * i);
    }
    return bytes;
}

// Opens a block with the job's decoding key before it is written: it must
// give back the values it was made from. For a block of whole numbers (the
// pVEK form) that is exactly the decoder's key check.
void verify_block(const cipher_block& block, const plain_vector& x, const decoding_key* check,
                  const std::string& shown) {
    if (check == nullptr) {
        return;
    }
    const plain_vector back = decipher_values(block, check->B, check->J_inv);
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!(std::fabs(back[i] - x[i]) <= kKeyCheckTolerance)) {
            fatal_error(about_file("The key of this job cannot encode the file: its enciphered "
                                   "block does not open with the job's decoding key (encoder)",
                                   shown),
                        1);
        }
    }
}

// A folder that holds the output's name keeps the file from being written.
void refuse_folder_output(const std::string& out_path, const std::string& text) {
    if (platform::file_status(out_path).kind == platform::FileKind::Folder) {
        fatal_error(text.empty() ? about_file("enc out file open error", out_path, EISDIR)
                                 : text + ": " + std::strerror(EISDIR),
                    -1);
    }
}

// Writes the pVEK form of an open plain file to `out_path`, replacing any
// file of that name once the new one is complete. The block is made and
// checked before anything is written.
// Returns false when `watch` stopped it; the unfinished output is then discarded.
bool write_pvek(const platform::InputFile& in, const std::string& shown, int type_code,
                const std::string& out_path, Matrix A, int clear_prefix_length, int header_extra,
                const progress_watch* watch, const decoding_key* check) {
    const std::uint64_t size = in.size();
    if (clear_prefix_length < 0) {
        fatal_error("The clear prefix length " + std::to_string(clear_prefix_length) +
                        " is negative (encoder).",
                    1);
    }
    const std::uint64_t prefix = static_cast<std::uint64_t>(clear_prefix_length);
    if (size < prefix + kPlainSpan) {
        fatal_error(shown + " is too short to encode: it holds " + std::to_string(size) +
                        " bytes, and a clear prefix of " + std::to_string(prefix) +
                        " needs at least " + std::to_string(prefix + kPlainSpan) + " (encoder).",
                    1);
    }
    std::array<unsigned char, kPlainSpan> span{};
    if (!in.read_at(span.data(), span.size(), prefix)) {
        fatal_error(shown + " could not be read (encoder): " + std::strerror(errno), 1);
    }
    plain_vector x{};
    x[0] = static_cast<double>(type_code & 0xff);
    for (std::size_t k = 0; k < kPlainSpan; ++k) {
        x[k + 1] = static_cast<double>(span[k]);
    }
    const cipher_block block = encipher(x, A);
    verify_block(block, x, check, shown);

    refuse_folder_output(out_path, std::string());
    auto out = platform::OutputFile::create_beside(out_path);
    if (!out) {
        fatal_error(about_file("enc out file open error", out_path, errno), -1);
    }
    std::array<unsigned char, kHeaderBytes> header{};
    detail::store_i32(1, &header[0]);
    detail::store_i32(clear_prefix_length, &header[4]);
    detail::store_i32(type_code, &header[8]);
    detail::store_i32(header_extra, &header[12]);

    const std::uint64_t rest = prefix + kPlainSpan;
    // Progress counts the bytes of the plain file handled so far.
    bool stopped = false;
    platform::OutputFile::CopyStep step;
    if (watch != nullptr && *watch) {
        step = [&](std::uint64_t copied) {
            stopped = !(*watch)(rest + copied, size);
            return !stopped;
        };
    }
    const auto bytes = block_bytes(block);
    const bool written = out->write(header.data(), header.size()) &&
                         out->copy_from(in, 0, prefix) && out->write(bytes.data(), bytes.size()) &&
                         out->copy_from(in, rest, size - rest, step);
    if (stopped) {
        return false;
    }
    if (!written || !out->publish_replacing(out_path)) {
        fatal_error(about_file("enc out file write error", out_path, errno), -1);
    }
    return true;
}

// Sequential reader of a plain file in bounded chunks.
class ByteStream {
public:
    explicit ByteStream(const platform::InputFile& in) : in_(in), size_(in.size()) {}
    bool next(unsigned char& byte) {
        if (pos_ == filled_) {
            const std::uint64_t left = size_ - offset_;
            if (left == 0) {
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

    const std::string cannot_open = out_path + " cannot be opened (encoder)";
    refuse_folder_output(out_path, cannot_open);
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
                fatal_error(
                    out_path + " could not be written: the plain file ended early (encoder)", -1);
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
        const auto bytes = block_bytes(block);
        if (!out->write(bytes.data(), bytes.size())) {
            fatal_error(about_file("enc out file write error", out_path, errno), -1);
        }
    }
    if (!out->publish_replacing(out_path)) {
        fatal_error(about_file("enc out file write error", out_path, errno), -1);
    }
}

}  // namespace

int encode_file(std::string& path, const std::string& out_dir, Matrix A, int dialog, bool pvek,
                int clear_prefix_length, int header_extra, std::string* written_path,
                const progress_watch* watch, const decoding_key* check) {
    if (A == nullptr) {
        fatal_error("Fatal error: A is null.", 1);
    }
    if (dialog == 0 && pvek) {
        if (path.empty()) {
            fatal_error("file name is not given in batch mode (encoder).", 1);
        }
        std::string reason;
        auto in = detail::open_input(path, reason);
        if (!in) {
            fatal_error(path + " cannot be opened (in batch mode encoder): " + reason, 1);
        }
        const int type_code = file_type_code(last_three_characters(path), path);
        const std::string out_path = encoded_path(path, out_dir);
        if (!write_pvek(*in, path, type_code, out_path, A, clear_prefix_length, header_extra, watch,
                        check)) {
            return 0;
        }
        if (written_path != nullptr) {
            *written_path = out_path;
        }
        return 1;
    }
    if (dialog != 1) {
        return 0;
    }

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
        return 0;
    }
    const auto& [chosen, in] = *opened;
    std::string stem;
    split_path(chosen, path, stem);
    const int type_code = file_type_code(last_three_characters(path), chosen);
    const std::string out_path = stem + ".vek";
    if (pvek) {
        if (!write_pvek(in, chosen, type_code, out_path, A, clear_prefix_length, header_extra,
                        watch, check)) {
            return 0;
        }
    } else {
        write_blocks(in, chosen, type_code, out_path, A, check);
    }
    if (written_path != nullptr) {
        *written_path = out_path;
    }
    return 1;
}

}  // namespace vekdc
