#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

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
using Copied = platform::OutputFile::Copied;

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
        std::string name = platform::suffixed_name(stem + "." + extension, suffix);
        if (platform::name_length(name) > platform::kLongestName && !stem.empty()) {
            drop_last_character(stem);
            continue;
        }
        const std::string chosen = out_dir + name;
        switch (out.publish_new(chosen)) {
            case platform::OutputFile::Publish::Done:
                return chosen;
            case platform::OutputFile::Publish::Exists:
                suffix = std::to_string(ticks.next());
                continue;
            case platform::OutputFile::Publish::Failed:
                if (errno == ENAMETOOLONG && !stem.empty()) {
                    drop_last_character(stem);  // a file system of shorter names
                    continue;
                }
                fatal_error(about_file("dec out file open error", chosen, errno), -1);
        }
    }
}

// Where the bytes of a decoded file come from: the clear prefix, the ten
// plain bytes and the clear rest, taken from the bytes read with the header
// as far as they reach and copied from the file beyond.
struct decoded_layout {
    std::uint64_t prefix_end;  // where the cipher block starts
    std::uint64_t rest_start;  // where the clear rest starts
};

// Writes the plain file; a copy that stopped, failed or met the end of the
// source early tells how.
Copied write_plain(platform::OutputFile& out, const encrypted_file& file, const plain_block& plain,
                   const coding_extras& extras, bool& stepped) {
    const std::vector<unsigned char>& head = file.head;
    const platform::InputFile& in = *file.input;
    const std::uint64_t size = file.inspection.facts.size;
    const decoded_layout at{
        kHeaderBytes + static_cast<std::uint64_t>(file.inspection.facts.clear_prefix_length),
        kHeaderBytes + static_cast<std::uint64_t>(file.inspection.facts.clear_prefix_length) +
            kBlockBytes};
    // Progress counts the bytes of the encrypted file handled so far.
    const auto step_from = [&](std::uint64_t start,
                               std::uint64_t length) -> platform::OutputFile::CopyStep {
        if (extras.watch == nullptr || !*extras.watch || length == 0) {
            return {};
        }
        stepped = true;
        return [&, start](std::uint64_t copied) { return (*extras.watch)(start + copied, size); };
    };
    // Everything within the bytes read at the start goes out in one write.
    std::vector<unsigned char> bytes;
    bytes.reserve(head.size());
    if (at.prefix_end <= head.size()) {
        bytes.assign(head.begin() + kHeaderBytes,
                     head.begin() + static_cast<std::ptrdiff_t>(at.prefix_end));
    } else if (const Copied copied =
                   out.copy_from(in, kHeaderBytes, at.prefix_end - kHeaderBytes,
                                 step_from(kHeaderBytes, at.prefix_end - kHeaderBytes));
               copied != Copied::Done) {
        return copied;
    }
    bytes.insert(bytes.end(), plain.begin() + 1, plain.end());
    std::uint64_t copy_start = at.rest_start;
    if (at.rest_start < head.size()) {
        bytes.insert(bytes.end(), head.begin() + static_cast<std::ptrdiff_t>(at.rest_start),
                     head.end());
        copy_start = head.size();
    }
    if (!out.write(bytes.data(), bytes.size())) {
        return Copied::WriteFailed;
    }
    return out.copy_from(in, copy_start, size - copy_start,
                         step_from(copy_start, size - copy_start));
}

}  // namespace

decoded decode_opened(encrypted_file& file, const std::string& path, const std::string& out_dir,
                      Matrix B, Matrix J_inv, std::string& out_stem, std::string& out_ext,
                      const coding_extras& extras) {
    const encrypted_facts& facts = file.inspection.facts;
    const std::string extension(*extension_of_type(facts.type_code));
    out_ext = extension;
    std::string name;
    split_path(path, name, out_stem);

    // The key is checked before anything is written.
    const auto plain = open_block(facts.block, facts.type_code, B, J_inv);
    if (!plain) {
        platform::app_message(
            platform::notice(platform::kWrongKeyNotice, platform::shown_path(path)));
        return decoded::wrong_key;
    }

    const std::string first_choice = out_dir + out_stem + "." + extension;
    auto out = detail::create_output(first_choice, extras);
    if (!out) {
        fatal_error(about_file("dec out file open error", first_choice, errno), -1);
    }
    bool stepped = false;
    const Copied copied = write_plain(*out, file, *plain, extras, stepped);
    if (copied == Copied::Stopped ||
        (copied == Copied::Done && !stepped && !detail::watch_done(extras, facts.size))) {
        return decoded::stopped;  // the unfinished output is discarded with `out`
    }
    if (copied == Copied::WriteFailed) {
        fatal_error(about_file("dec out file write error", first_choice, errno), -1);
    }
    if (copied != Copied::Done) {
        file.inspection.problem = detail::copy_problem(copied, file.inspection.error_number);
        platform::app_message(encrypted_problem_message(path, file.inspection));
        return decoded::unreadable;
    }
    const std::string chosen = publish_decoded(*out, out_dir, out_stem, extension);
    if (extras.written_path != nullptr) {
        *extras.written_path = chosen;
    }
    return decoded::written;
}

coding_result decode_file(std::string& path, std::string& out_dir, Matrix B, Matrix J_inv,
                          std::string& out_stem, std::string& out_ext, coding_mode mode,
                          const coding_extras& extras) {
    if (B == nullptr || J_inv == nullptr) {
        fatal_error("Fatal error: B or J_inv is null.", 1);
    }
    if (mode != coding_mode::batch && mode != coding_mode::dialog) {
        return coding_result::written;
    }
    std::string chosen = path;
    if (mode == coding_mode::batch) {
        // An empty folder means the current folder.
        out_dir = platform::with_final_separator(std::move(out_dir));
        if (path.empty()) {
            fatal_error("file name is not given in batch mode (decoder).", 1);
        }
    } else {
        if (platform::services().message_box(platform::notice(platform::kChooseEncryptedNotice),
                                             platform::notice(platform::kHierarchyDecoderCaption),
                                             platform::Buttons::OkCancel,
                                             platform::Icon::None) == platform::Answer::Failed) {
            return coding_result::refused;
        }
        platform::FileDialogRequest request;
        request.filter =
            "vek file (*.vek)|*.vek| encrypted file (*.encrypted)|*.encrypted | all files "
            "(*.*)|*.*||";
        request.initial_dir = "./";
        const auto picked = platform::services().open_file(request);
        if (!picked) {
            return coding_result::refused;
        }
        chosen = *picked;
    }
    encrypted_file file = open_encrypted_file(chosen, kDecoderHead);
    const file_problem problem = file.inspection.problem;
    if (mode == coding_mode::dialog && problem != file_problem::none &&
        problem != file_problem::not_encrypted && problem != file_problem::unknown_type) {
        // A chosen file that cannot be opened: said, and taken as no file.
        platform::app_message(platform::shown_path(chosen) + " cannot be opened (decoder): " +
                              problem_text(problem, file.inspection.error_number));
        return coding_result::refused;
    }
    if (problem != file_problem::none) {
        fatal_error(encrypted_problem_message(chosen, file.inspection), 1);
    }
    if (mode == coding_mode::dialog) {
        std::string stem;
        split_path(chosen, path, stem);  // the message names the file alone
    }
    switch (decode_opened(file, path, out_dir, B, J_inv, out_stem, out_ext, extras)) {
        case decoded::written:
            return coding_result::written;
        case decoded::unreadable:
            platform::exit_program(1);
        default:
            return coding_result::refused;
    }
}

}  // namespace vekdc
