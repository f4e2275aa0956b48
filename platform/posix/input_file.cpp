// Reading on POSIX systems: what a path names, files opened for reading,
// and the leading bytes of small files and pipes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/file.h"
#include "platform/paths.h"

namespace vekdc::platform {

namespace {

constexpr std::size_t kReadChunk = 1 << 16;

}  // namespace

// ---------------------------------------------------------------- FileHandle

void FileHandle::close() {
    if (native_ != kNone) {
        ::close(native_);
        native_ = kNone;
    }
}

// ---------------------------------------------------------------- file_status

FileStatus file_status(const std::string& path) {
    FileStatus status;
    const auto host = host_path(path);
    if (!host) {
        status.error = ENOENT;
        return status;
    }
    struct stat st {};
    if (::stat(host->c_str(), &st) != 0) {
        status.error = errno;
        return status;
    }
    if (S_ISREG(st.st_mode)) {
        status.kind = FileKind::Regular;
        status.size = static_cast<std::uint64_t>(st.st_size);
    } else if (S_ISDIR(st.st_mode)) {
        status.kind = FileKind::Folder;
    } else if (S_ISFIFO(st.st_mode)) {
        status.kind = FileKind::Pipe;
    } else {
        status.kind = FileKind::Other;
    }
    return status;
}

// ---------------------------------------------------------------- InputFile

std::optional<InputFile> InputFile::open(const std::string& path) {
    const auto host = host_path(path);
    if (!host) {
        errno = ENOENT;
        return std::nullopt;
    }
    const int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return std::nullopt;
    }
    return InputFile(FileHandle(fd));
}

std::uint64_t InputFile::size() const {
    struct stat st {};
    if (::fstat(handle_.get(), &st) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

bool InputFile::read_at(void* buffer, std::size_t length, std::uint64_t offset) const {
    auto* out = static_cast<char*>(buffer);
    while (length > 0) {
        const ssize_t n = ::pread(handle_.get(), out, length, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            return false;
        }
        out += n;
        length -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

// ---------------------------------------------------------------- reading small files

LeadingBytes read_leading_bytes(const std::string& path, std::size_t wanted) {
    LeadingBytes result;
    const auto give_up = [&](LeadingBytes::Status status, int error) {
        result.status = status;
        result.error = error;
        result.bytes.clear();
        return result;
    };
    const auto host = host_path(path);
    if (!host) {
        return give_up(LeadingBytes::Status::CannotOpen, ENOENT);
    }
    struct stat st {};
    if (::stat(host->c_str(), &st) != 0) {
        return give_up(LeadingBytes::Status::CannotOpen, errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return give_up(LeadingBytes::Status::CannotOpen, EISDIR);
    }
    const bool pipe = S_ISFIFO(st.st_mode);
    if (!pipe && !S_ISREG(st.st_mode)) {
        return give_up(LeadingBytes::Status::NotFileOrPipe, 0);
    }
    // Opening a pipe waits for its writer; nothing else may wait.
    const int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC | (pipe ? 0 : O_NONBLOCK));
    if (fd < 0) {
        return give_up(LeadingBytes::Status::CannotOpen, errno);
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || (opened.st_mode & S_IFMT) != (st.st_mode & S_IFMT)) {
        ::close(fd);  // replaced by something else since it was looked at
        return give_up(LeadingBytes::Status::NotFileOrPipe, 0);
    }
    std::vector<unsigned char> chunk(kReadChunk);
    for (;;) {
        // A regular file needs no more than `wanted`; a pipe is drained.
        std::size_t ask = chunk.size();
        if (!pipe) {
            if (result.bytes.size() >= wanted) {
                break;
            }
            ask = std::min(ask, wanted - result.bytes.size());
        }
        const ssize_t n = ::read(fd, chunk.data(), ask);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            return give_up(LeadingBytes::Status::ReadError, error);
        }
        if (n == 0) {
            break;
        }
        const std::size_t keep =
            std::min(static_cast<std::size_t>(n), wanted - std::min(wanted, result.bytes.size()));
        result.bytes.insert(result.bytes.end(), chunk.begin(),
                            chunk.begin() + static_cast<std::ptrdiff_t>(keep));
        result.total += static_cast<std::uint64_t>(n);
    }
    if (!pipe) {
        result.total = static_cast<std::uint64_t>(opened.st_size);
    }
    ::close(fd);
    return result;
}

}  // namespace vekdc::platform
