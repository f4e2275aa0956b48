#include <array>
#include <vector>

#include "codec/codec.h"
#include "codec/format_detail.h"
#include "platform/file.h"
#include "platform/runtime.h"
#include "platform/services.h"

namespace vekdc {

namespace {

[[noreturn]] void fatal(const std::string& text, int status) {
    platform::app_message(text);
    platform::exit_program(status);
}

// The twelve doubles of A * x, little-endian.
std::array<unsigned char, kBlockBytes> encipher(const double (&x)[kPlainLength], Matrix A) {
    MatrixPtr vector(alloc_matrix(kPlainLength, 1));
    for (int i = 0; i < kPlainLength; ++i) {
        vector.get()[i][0] = x[i];
    }
    MatrixPtr y(multiply_matrix(A, vector.get(), kBlockLength, kPlainLength, 1));
    std::array<unsigned char, kBlockBytes> block{};
    for (int i = 0; i < kBlockLength; ++i) {
        detail::store_f64(y.get()[i][0], block.data() + 8 * i);
    }
    return block;
}

// Writes the pVEK form of an open plain file to `out_path`, replacing any
// file of that name once the new one is complete.
// Returns false when `watch` stopped it; the unfinished output is then discarded.
bool write_pvek(const platform::InputFile& in, const std::string& shown, int type_code,
                const std::string& out_path, Matrix A, int clear_prefix_length, int header_extra,
                const progress_watch* watch) {
    const std::uint64_t size = in.size();
    if (clear_prefix_length < 0) {
        fatal("The clear prefix length " + std::to_string(clear_prefix_length) +
                  " is negative (encoder).",
              1);
    }
    const std::uint64_t prefix = static_cast<std::uint64_t>(clear_prefix_length);
    if (size < prefix + kPlainSpan) {
        fatal(shown + " is too short to encode: it holds " + std::to_string(size) +
                  " bytes, and a clear prefix of " + std::to_string(prefix) + " needs at least " +
                  std::to_string(prefix + kPlainSpan) + " (encoder).",
              1);
    }
    auto out = platform::OutputFile::create_beside(out_path);
    if (!out) {
        fatal("enc out file open error", -1);
    }
    std::array<unsigned char, kHeaderBytes> header{};
    detail::store_i32(1, &header[0]);
    detail::store_i32(clear_prefix_length, &header[4]);
    detail::store_i32(type_code, &header[8]);
    detail::store_i32(header_extra, &header[12]);

    std::array<unsigned char, kPlainSpan> span{};
    if (!in.read_at(span.data(), span.size(), prefix)) {
        fatal(shown + " could not be read (encoder).", 1);
    }
    double x[kPlainLength];
    x[0] = static_cast<double>(type_code & 0xff);
    for (std::size_t k = 0; k < kPlainSpan; ++k) {
        x[k + 1] = static_cast<double>(span[k]);
    }
    const auto block = encipher(x, A);
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
    const bool written = out->write(header.data(), header.size()) &&
                         out->copy_from(in, 0, prefix) && out->write(block.data(), block.size()) &&
                         out->copy_from(in, rest, size - rest, step);
    if (stopped) {
        return false;
    }
    if (!written || !out->publish_replacing(out_path)) {
        fatal("enc out file write error", -1);
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
void write_blocks(const platform::InputFile& in, int type_code, const std::string& out_path,
                  Matrix A) {
    const std::uint64_t size = in.size();
    const std::uint64_t q = (size + 1) / kPlainLength;
    const std::uint64_t r = (size + 1) % kPlainLength;
    const std::uint64_t blocks = r == 0 ? q : q + 1;

    auto out = platform::OutputFile::create_beside(out_path);
    if (!out) {
        fatal(out_path + " cannot be opened (encoder)", -1);
    }
    ByteStream stream(in);
    bool type_pending = true;
    for (std::uint64_t k = 0; k < blocks; ++k) {
        const bool last = k + 1 == blocks;
        const std::size_t values = (last && r != 0) ? static_cast<std::size_t>(r) : kPlainLength;
        double x[kPlainLength];
        for (std::size_t i = 0; i < values; ++i) {
            if (type_pending) {
                x[i] = static_cast<double>(type_code & 0xff);
                type_pending = false;
                continue;
            }
            unsigned char byte = 0;
            if (!stream.next(byte)) {
                fatal(out_path + " could not be written: the plain file ended early (encoder)", -1);
            }
            x[i] = static_cast<double>(byte);
        }
        if (values < kPlainLength) {
            x[values] = 127.0;
            for (std::size_t i = values + 1; i < kPlainLength; ++i) {
                x[i] = static_cast<double>(platform::crt_rand() % 32727) / 32727.0;
            }
        }
        const auto block = encipher(x, A);
        platform::crt_srand(static_cast<std::uint32_t>(k * 132));
        if (!out->write(block.data(), block.size())) {
            fatal("enc out file write error", -1);
        }
    }
    if (!out->publish_replacing(out_path)) {
        fatal("enc out file write error", -1);
    }
}

}  // namespace

int encode_file(std::string& path, const std::string& out_dir, Matrix A, int dialog, bool pvek,
                int clear_prefix_length, int header_extra, std::string* written_path,
                const progress_watch* watch) {
    if (A == nullptr) {
        fatal("Fatal error: A is null.", 1);
    }
    if (dialog == 0 && pvek) {
        if (path.empty()) {
            fatal("file name is not given in batch mode (encoder).", 1);
        }
        auto in = platform::InputFile::open(path);
        if (!in) {
            fatal(path + " cannot be opened (in batch mode encoder)", 1);
        }
        const int type_code = file_type_code(last_three_characters(path));
        const std::string out_path = encoded_path(path, out_dir);
        if (!write_pvek(*in, path, type_code, out_path, A, clear_prefix_length, header_extra,
                        watch)) {
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
    const int type_code = file_type_code(last_three_characters(path));
    const std::string out_path = stem + ".vek";
    if (pvek) {
        if (!write_pvek(in, path, type_code, out_path, A, clear_prefix_length, header_extra,
                        watch)) {
            return 0;
        }
    } else {
        write_blocks(in, type_code, out_path, A);
    }
    if (written_path != nullptr) {
        *written_path = out_path;
    }
    return 1;
}

}  // namespace vekdc
