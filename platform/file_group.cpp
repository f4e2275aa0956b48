// Files that belong together, written all or none. Portable: built on
// OutputFile, file_status and the group marker alone.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/file.h"
#include "platform/group_marker.h"
#include "platform/paths.h"
#include "platform/runtime.h"

namespace vekdc::platform {

namespace {

// Removes a file this call linked, when the group cannot be completed.
void remove_path(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(filesystem_path(path), ignored);
}

// ---------------------------------------------------------------- the marker's content

void put_u32(std::vector<unsigned char>& out, std::size_t value) {
    for (int k = 0; k < 4; ++k) {
        out.push_back(static_cast<unsigned char>(value >> (8 * k)));
    }
}

// Reads a length-prefixed field at `at`; false at the end or on a cut field.
bool take_field(const std::vector<unsigned char>& in, std::size_t& at,
                std::vector<unsigned char>& field) {
    if (in.size() - at < 4) {
        return false;
    }
    std::size_t length = 0;
    for (int k = 0; k < 4; ++k) {
        length |= static_cast<std::size_t>(in[at + static_cast<std::size_t>(k)]) << (8 * k);
    }
    at += 4;
    if (in.size() - at < length) {
        return false;
    }
    field.assign(in.begin() + static_cast<std::ptrdiff_t>(at),
                 in.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
    return true;
}

}  // namespace

std::vector<unsigned char> marker_content(const std::vector<NewFile>& files) {
    std::vector<unsigned char> content;
    for (const NewFile& file : files) {
        put_u32(content, file.name.size());
        content.insert(content.end(), file.name.begin(), file.name.end());
        put_u32(content, file.bytes.size());
        content.insert(content.end(), file.bytes.begin(), file.bytes.end());
    }
    return content;
}

void undo_group(const std::string& folder, const std::vector<unsigned char>& content) {
    std::size_t at = 0;
    std::vector<unsigned char> name;
    std::vector<unsigned char> bytes;
    while (take_field(content, at, name) && take_field(content, at, bytes)) {
        const std::string path = folder + std::string(name.begin(), name.end());
        std::error_code error;
        const auto status = std::filesystem::symlink_status(filesystem_path(path), error);
        if (error || !std::filesystem::is_regular_file(status)) {
            continue;
        }
        const LeadingBytes held = read_leading_bytes(path, bytes.size());
        if (held.status == LeadingBytes::Status::Done && held.total == bytes.size() &&
            held.bytes == bytes) {
            remove_path(path);
        }
    }
}

// ---------------------------------------------------------------- file groups

namespace {

enum class NameUse { Free, Same, Taken, Failed };

// Whether `path` is free, already holds exactly `bytes`, or holds something
// else. A name is taken by whatever has it, a link that leads nowhere too.
NameUse name_use(const std::string& path, const std::vector<unsigned char>& bytes) {
    const FileStatus status = file_status(path);
    if (status.kind == FileKind::Missing) {
        std::error_code error;
        const auto own = std::filesystem::symlink_status(filesystem_path(path), error);
        if (status.error == ENOENT && own.type() == std::filesystem::file_type::not_found) {
            return NameUse::Free;
        }
        errno = status.error;
        return status.error == ENOENT ? NameUse::Taken : NameUse::Failed;
    }
    if (status.kind != FileKind::Regular || status.size != bytes.size()) {
        return NameUse::Taken;
    }
    const LeadingBytes held = read_leading_bytes(path, bytes.size());
    return held.status == LeadingBytes::Status::Done && held.bytes == bytes ? NameUse::Same
                                                                            : NameUse::Taken;
}

struct GroupNames {
    std::vector<std::string> paths;
    std::vector<NameUse> uses;
    bool failed = false;
};

// The names of the group under `suffix`; usable when none is taken.
GroupNames names_under(const std::string& folder, const std::vector<NewFile>& files,
                       const std::string& suffix, bool& usable) {
    GroupNames names;
    usable = true;
    for (std::size_t i = 0; i < files.size() && usable; ++i) {
        names.paths.push_back(folder + suffixed_name(files[i].name, suffix));
        names.uses.push_back(name_use(names.paths.back(), files[i].bytes));
        names.failed = names.uses.back() == NameUse::Failed;
        usable = names.uses.back() != NameUse::Taken && !names.failed;
    }
    return names;
}

enum class Linked { Done, Raced, Failed };

// Links the free names, under a marker that lets the next writer undo them
// should this process die before the last. A name taken meanwhile undoes
// this call's links.
Linked link_group(const std::string& folder, const std::vector<NewFile>& files,
                  std::vector<OutputFile>& outputs, const GroupNames& names,
                  std::string& failed_path) {
    std::vector<NewFile> listed;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (names.uses[i] != NameUse::Same) {
            listed.push_back({names.paths[i].substr(folder.size()), files[i].bytes});
        }
    }
    const std::optional<GroupMarker> marker =
        listed.size() > 1 ? GroupMarker::create(folder, marker_content(listed)) : std::nullopt;
    if (listed.size() > 1 && !marker) {
        failed_path = folder;
        return Linked::Failed;
    }
    std::vector<std::string> linked;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (names.uses[i] == NameUse::Same) {
            continue;
        }
        const auto published = outputs[i].publish_new(names.paths[i]);
        if (published == OutputFile::Publish::Done) {
            linked.push_back(names.paths[i]);
            continue;
        }
        const int error = errno;
        for (const auto& done : linked) {
            remove_path(done);
        }
        errno = error;
        failed_path = names.paths[i];
        return published == OutputFile::Publish::Exists ? Linked::Raced : Linked::Failed;
    }
    return Linked::Done;
}

}  // namespace

NewFiles write_new_files(const std::string& folder, const std::vector<NewFile>& files,
                         Access access, const std::string& first_suffix) {
    NewFiles result;
    const auto fail = [&](const std::string& path) {
        result.failed_path = path;
        result.error = errno;
        return result;
    };
    const auto host_folder = host_path(folder);
    if (!host_folder) {
        errno = ENOENT;
        return fail(folder + (files.empty() ? std::string() : files.front().name));
    }
    // What a writer of a group killed here before left half done goes first.
    remove_leftover_temporaries(*host_folder);
    std::string suffix = first_suffix;
    TickSequence ticks;
    for (;;) {
        // Everything is written before any name appears: a full disk stops here.
        std::vector<OutputFile> outputs;
        for (const NewFile& file : files) {
            auto out = OutputFile::create_beside(folder + file.name, access);
            if (!out || !out->write(file.bytes.data(), file.bytes.size())) {
                return fail(folder + file.name);
            }
            outputs.push_back(std::move(*out));
        }
        // The first suffix under which each name is free or already holds its file.
        bool usable = false;
        GroupNames names = names_under(*host_folder, files, suffix, usable);
        while (!usable && !names.failed) {
            suffix = "_" + std::to_string(ticks.next());
            names = names_under(*host_folder, files, suffix, usable);
        }
        if (names.failed) {
            return fail(names.paths.back());
        }
        std::string failed_path;
        switch (link_group(*host_folder, files, outputs, names, failed_path)) {
            case Linked::Done:
                result.ok = true;
                result.paths = std::move(names.paths);
                result.suffix = suffix;
                return result;
            case Linked::Failed:
                return fail(failed_path);
            case Linked::Raced:
                // Someone took a name meanwhile: the group goes again, under a later tick.
                suffix = "_" + std::to_string(ticks.next());
                break;
        }
    }
}

}  // namespace vekdc::platform
