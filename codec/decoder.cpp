#include <array>

#include "codec/codec.h"
#include "codec/format_detail.h"
#include "platform/file.h"
#include "platform/language.h"
#include "platform/paths.h"
#include "platform/runtime.h"
#include "platform/services.h"

namespace vekdc {

namespace {

[[noreturn]] void fatal(const std::string& text, int status) {
    platform::app_message(text);
    platform::exit_program(status);
}

struct Header {
    std::int32_t clear_prefix_length;
    std::int32_t type_code;
};

// Reads and checks the header: the marker, a clear prefix that is not
// negative, and a file long enough for its prefix and cipher block.
Header read_header(const platform::InputFile& in, std::uint64_t size, const std::string& shown) {
    std::array<unsigned char, kHeaderBytes> bytes{};
    if (size < kHeaderBytes || !in.read_at(bytes.data(), bytes.size(), 0) ||
        detail::load_i32(&bytes[0]) != 1) {
        fatal("This is not a pVEK file.", 1);
    }
    const Header header{detail::load_i32(&bytes[4]), detail::load_i32(&bytes[8])};
    if (header.clear_prefix_length < 0 ||
        size <
            kHeaderBytes + static_cast<std::uint64_t>(header.clear_prefix_length) + kBlockBytes) {
        fatal("This is not a pVEK file.", 1);
    }
    if (!extension_of_type(header.type_code)) {
        fatal("Unknown file type code " + std::to_string(header.type_code) + " in " + shown +
                  " (decoder).",
              1);
    }
    return header;
}

// The cipher block of an open file whose header has been checked.
cipher_block read_block(const platform::InputFile& in, std::uint64_t offset) {
    std::array<unsigned char, kBlockBytes> bytes{};
    if (!in.read_at(bytes.data(), bytes.size(), offset)) {
        fatal("This is not a pVEK file.", 1);
    }
    cipher_block block{};
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = detail::load_f64(bytes.data() + 8 * i);
    }
    return block;
}

// The common road of both modes once the input is open and checked. The key
// is checked before anything is written.
int decode_open_file(const platform::InputFile& in, std::uint64_t size, const Header& header,
                     std::string& path, const std::string& out_dir, Matrix B, Matrix J_inv,
                     std::string& out_stem, std::string& out_ext, std::string* written_path,
                     const progress_watch* watch) {
    const std::string extension(*extension_of_type(header.type_code));
    out_ext = extension;
    std::string name;
    split_path(path, name, out_stem);

    const std::uint64_t prefix = static_cast<std::uint64_t>(header.clear_prefix_length);
    const std::uint64_t block_offset = kHeaderBytes + prefix;
    const auto plain = open_block(read_block(in, block_offset), header.type_code, B, J_inv);
    if (!plain) {
        platform::app_message(platform::notice(platform::kWrongKeyNotice, path));
        return 0;
    }

    const std::string first_choice = out_dir + out_stem + "." + extension;
    auto out = platform::OutputFile::create_beside(first_choice);
    if (!out) {
        fatal("dec out file open error", -1);
    }
    // Progress counts the bytes of the encrypted file handled so far.
    bool stopped = false;
    const auto step_from = [&](std::uint64_t start) -> platform::OutputFile::CopyStep {
        if (watch == nullptr || !*watch) {
            return {};
        }
        return [&, start](std::uint64_t copied) {
            stopped = !(*watch)(start + copied, size);
            return !stopped;
        };
    };
    const std::uint64_t rest_offset = block_offset + kBlockBytes;
    const bool written =
        out->copy_from(in, kHeaderBytes, prefix, step_from(kHeaderBytes)) &&
        out->write(plain->data() + 1, kPlainSpan) &&
        out->copy_from(in, rest_offset, size - rest_offset, step_from(rest_offset));
    if (stopped) {
        return 0;  // the unfinished output is discarded with `out`
    }
    if (!written) {
        fatal("dec out file write error", -1);
    }

    // Name the finished file: the first choice, else stem + tick + extension,
    // with later tick values until a name is free. Nothing is ever replaced.
    std::string chosen = first_choice;
    auto published = out->publish_new(chosen);
    if (published == platform::OutputFile::Publish::Exists) {
        std::string unused_name;
        std::string stem;
        split_path(first_choice, unused_name, stem);
        std::int64_t tick = platform::tick_count();
        do {
            chosen = out_dir + stem + std::to_string(tick) + "." + extension;
            published = out->publish_new(chosen);
            tick = std::max<std::int64_t>(tick + 1, platform::tick_count());
            if (tick > INT32_MAX) {
                tick = INT32_MIN;  // the 32-bit tick count wraps around
            }
        } while (published == platform::OutputFile::Publish::Exists);
    }
    if (published != platform::OutputFile::Publish::Done) {
        fatal("dec out file open error", -1);
    }
    if (written_path != nullptr) {
        *written_path = chosen;
    }
    return 1;
}

}  // namespace

int decode_file(std::string& path, std::string& out_dir, Matrix B, Matrix J_inv,
                std::string& out_stem, std::string& out_ext, int dialog, std::string* written_path,
                const progress_watch* watch) {
    if (B == nullptr || J_inv == nullptr) {
        fatal("Fatal error: B or J_inv is null.", 1);
    }
    if (dialog != 0 && dialog != 1) {
        return 1;
    }
    if (dialog == 0) {
        // An empty folder means the current folder.
        out_dir = platform::with_final_separator(std::move(out_dir));
        if (path.empty()) {
            fatal("file name is not given in batch mode (decoder).", 1);
        }
        auto in = platform::InputFile::open(path);
        if (!in) {
            fatal("file open error in batch mode (decoder)", 1);
        }
        const std::uint64_t size = in->size();
        const Header header = read_header(*in, size, path);
        return decode_open_file(*in, size, header, path, out_dir, B, J_inv, out_stem, out_ext,
                                written_path, watch);
    }

    if (platform::services().message_box(platform::notice(platform::kChooseEncryptedNotice),
                                         platform::notice(platform::kHierarchyDecoderCaption),
                                         platform::Buttons::OkCancel,
                                         platform::Icon::None) == platform::Answer::Failed) {
        return 0;
    }
    platform::FileDialogRequest request;
    request.filter =
        "vek file (*.vek)|*.vek| encrypted file (*.encrypted)|*.encrypted | all files (*.*)|*.*||";
    request.initial_dir = "./";
    auto opened = detail::choose_and_open(request, "decoder");
    if (!opened) {
        return 0;
    }
    const auto& [chosen, in] = *opened;
    const std::uint64_t size = in.size();
    const Header header = read_header(in, size, chosen);
    std::string stem;
    split_path(chosen, path, stem);
    return decode_open_file(in, size, header, path, out_dir, B, J_inv, out_stem, out_ext,
                            written_path, watch);
}

}  // namespace vekdc
