#include <array>
#include <cerrno>

#include "codec/codec.h"
#include "codec/format_detail.h"
#include "platform/file.h"
#include "platform/language.h"
#include "platform/paths.h"
#include "platform/runtime.h"
#include "platform/services.h"

namespace vekdc {

namespace {

using platform::about_file;
using platform::fatal_error;

constexpr const char* kNotPvek = "This is not a pVEK file.";

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
        fatal_error(about_file(kNotPvek, shown), 1);
    }
    const Header header{detail::load_i32(&bytes[4]), detail::load_i32(&bytes[8])};
    if (header.clear_prefix_length < 0 ||
        size <
            kHeaderBytes + static_cast<std::uint64_t>(header.clear_prefix_length) + kBlockBytes) {
        fatal_error(about_file(kNotPvek, shown), 1);
    }
    if (!extension_of_type(header.type_code)) {
        fatal_error("Unknown file type code " + std::to_string(header.type_code) + " in " + shown +
                        " (decoder).",
                    1);
    }
    return header;
}

// The cipher block of an open file whose header has been checked.
cipher_block read_block(const platform::InputFile& in, std::uint64_t offset,
                        const std::string& shown) {
    std::array<unsigned char, kBlockBytes> bytes{};
    if (!in.read_at(bytes.data(), bytes.size(), offset)) {
        fatal_error(about_file(kNotPvek, shown, errno), 1);
    }
    cipher_block block{};
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = detail::load_f64(bytes.data() + 8 * i);
    }
    return block;
}

// The stem without its last character (a whole UTF-8 sequence).
void drop_last_character(std::string& stem) {
    while (!stem.empty() && (static_cast<unsigned char>(stem.back()) & 0xC0) == 0x80) {
        stem.pop_back();
    }
    if (!stem.empty()) {
        stem.pop_back();
    }
}

// Names the finished file: out_dir + stem + "." + extension, else the same
// with a tick count after the stem, with later ticks until a name is free.
// Nothing is ever replaced. Where a name is too long for the folder the stem
// is shortened, the tick count and the extension kept. Returns the name given.
std::string publish_decoded(platform::OutputFile& out, const std::string& out_dir, std::string stem,
                            const std::string& extension) {
    platform::TickSequence ticks;
    std::string suffix;  // none for the first choice
    for (;;) {
        const std::string chosen =
            out_dir + platform::suffixed_name(stem + "." + extension, suffix);
        switch (out.publish_new(chosen)) {
            case platform::OutputFile::Publish::Done:
                return chosen;
            case platform::OutputFile::Publish::Exists:
                suffix = std::to_string(ticks.next());
                continue;
            case platform::OutputFile::Publish::Failed:
                if (errno == ENAMETOOLONG && !stem.empty()) {
                    drop_last_character(stem);
                    continue;
                }
                fatal_error(about_file("dec out file open error", chosen, errno), -1);
        }
    }
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
    const auto plain = open_block(read_block(in, block_offset, path), header.type_code, B, J_inv);
    if (!plain) {
        platform::app_message(platform::notice(platform::kWrongKeyNotice, path));
        return 0;
    }

    const std::string first_choice = out_dir + out_stem + "." + extension;
    auto out = platform::OutputFile::create_beside(first_choice);
    if (!out) {
        fatal_error(about_file("dec out file open error", first_choice, errno), -1);
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
        fatal_error(about_file("dec out file write error", first_choice, errno), -1);
    }

    const std::string chosen = publish_decoded(*out, out_dir, out_stem, extension);
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
        fatal_error("Fatal error: B or J_inv is null.", 1);
    }
    if (dialog != 0 && dialog != 1) {
        return 1;
    }
    if (dialog == 0) {
        // An empty folder means the current folder.
        out_dir = platform::with_final_separator(std::move(out_dir));
        if (path.empty()) {
            fatal_error("file name is not given in batch mode (decoder).", 1);
        }
        std::string reason;
        auto in = detail::open_input(path, reason);
        if (!in) {
            fatal_error(about_file("file open error in batch mode (decoder)", path, reason), 1);
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
