// Files that belong together, written all or none. Portable: built on
// OutputFile and file_status alone.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/file.h"
#include "platform/paths.h"
#include "platform/runtime.h"

namespace vekdc::platform {

namespace {

// Removes a file this call linked, when the group cannot be completed.
void remove_path(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(filesystem_path(path), ignored);
}

}  // namespace

// ---------------------------------------------------------------- file groups

namespace {

// `name` with `suffix` put before its extension (the text from its last ".").
std::string with_suffix(const std::string& name, const std::string& suffix) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) {
        return name + suffix;
    }
    return name.substr(0, dot) + suffix + name.substr(dot);
}

enum class NameUse { Free, Same, Taken, Failed };

// Whether `path` is free, already holds exactly `bytes`, or holds something else.
NameUse name_use(const std::string& path, const std::vector<unsigned char>& bytes) {
    const FileStatus status = file_status(path);
    if (status.kind == FileKind::Missing) {
        errno = status.error;
        return status.error == ENOENT ? NameUse::Free : NameUse::Failed;
    }
    if (status.kind != FileKind::Regular || status.size != bytes.size()) {
        return NameUse::Taken;
    }
    const LeadingBytes held = read_leading_bytes(path, bytes.size());
    return held.status == LeadingBytes::Status::Done && held.bytes == bytes ? NameUse::Same
                                                                            : NameUse::Taken;
}

// The next tick suffix after `tick`: later than it and not earlier than now,
// wrapping like the 32-bit tick count.
std::int64_t next_tick(std::int64_t tick) {
    tick = std::max<std::int64_t>(tick + 1, tick_count());
    return tick > INT32_MAX ? INT32_MIN : tick;
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
    std::string suffix = first_suffix;
    std::int64_t tick = tick_count();
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
        std::vector<std::string> paths;
        std::vector<NameUse> uses;
        for (bool usable = false; !usable;) {
            paths.clear();
            uses.clear();
            usable = true;
            for (std::size_t i = 0; i < files.size() && usable; ++i) {
                paths.push_back(*host_folder + with_suffix(files[i].name, suffix));
                uses.push_back(name_use(paths.back(), files[i].bytes));
                if (uses.back() == NameUse::Failed) {
                    return fail(paths.back());
                }
                usable = uses.back() != NameUse::Taken;
            }
            if (!usable) {
                tick = next_tick(tick);
                suffix = "_" + std::to_string(tick);
            }
        }
        // Link the free names. A name taken meanwhile undoes this call's links,
        // and the group is written again.
        std::vector<std::string> linked;
        bool raced = false;
        for (std::size_t i = 0; i < files.size() && !raced; ++i) {
            if (uses[i] == NameUse::Same) {
                continue;
            }
            const auto published = outputs[i].publish_new(paths[i]);
            if (published == OutputFile::Publish::Done) {
                linked.push_back(paths[i]);
                continue;
            }
            const int error = errno;
            for (const auto& done : linked) {
                remove_path(done);
            }
            if (published == OutputFile::Publish::Failed) {
                errno = error;
                return fail(paths[i]);
            }
            raced = true;
        }
        if (!raced) {
            result.ok = true;
            result.paths = std::move(paths);
            result.suffix = suffix;
            return result;
        }
    }
}

}  // namespace vekdc::platform
