// What files do the same on every system: an input opened without its
// kind's details; an output owns its handle and its hidden temporary, and a
// file given up before it is published leaves nothing behind (each back
// end's discard() says how); the folders outputs go into are made.
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/file.h"
#include "platform/paths.h"

namespace vekdc::platform {

std::optional<InputFile> InputFile::open(const std::string& path) {
    Opening opening = open_regular(path);
    if (!opening.file) {
        errno = opening.kind == FileKind::Folder    ? EISDIR
                : opening.kind == FileKind::Missing ? opening.error
                                                    : EINVAL;
    }
    return std::move(opening.file);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : handle_(std::move(other.handle_)), temp_path_(std::move(other.temp_path_)) {
    other.temp_path_.clear();
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        discard();
        handle_ = std::move(other.handle_);
        temp_path_ = std::move(other.temp_path_);
        other.temp_path_.clear();
    }
    return *this;
}

OutputFile::~OutputFile() {
    discard();
}

}  // namespace vekdc::platform
