// Reading on POSIX systems: what a path names, files opened for reading,
// and the leading bytes of small files and pipes.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
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

namespace {

FileKind kind_of(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileKind::Regular;
    }
    if (S_ISDIR(mode)) {
        return FileKind::Folder;
    }
    return S_ISFIFO(mode) ? FileKind::Pipe : FileKind::Other;
}

}  // namespace

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
    status.kind = kind_of(st.st_mode);
    if (status.kind == FileKind::Regular) {
        status.size = static_cast<std::uint64_t>(st.st_size);
    }
    return status;
}

// ---------------------------------------------------------------- case

namespace {

// File systems whose names are compared without case.
constexpr unsigned long kFoldingFileSystems[] = {
    0x4d44,      // FAT (msdos, vfat)
    0x2011BAB0,  // exFAT
    0x7366746e,  // NTFS (ntfs3)
    0xFF534D42,  // CIFS
    0xFE534D42,  // SMB2
    0x517B,      // SMB
};
constexpr long kCaseFoldFlag = 0x40000000;  // FS_CASEFOLD_FL: an ext4 folder without case

}  // namespace

bool folder_folds_case(const std::string& folder) {
    std::string existing = host_path(folder).value_or(std::string());
    struct stat st {};
    while (!existing.empty() && ::stat(existing.c_str(), &st) != 0) {
        // The folder above: strip the last name (and the separator after it).
        while (!existing.empty() && existing.back() == '/') {
            existing.pop_back();
        }
        existing = folder_of(existing);
    }
    const std::string shown = existing.empty() ? "." : existing;
    struct statfs fs {};
    if (::statfs(shown.c_str(), &fs) == 0) {
        for (const unsigned long type : kFoldingFileSystems) {
            if (static_cast<unsigned long>(fs.f_type) == type) {
                return true;
            }
        }
    }
    long flags = 0;
    const int fd = ::open(shown.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool folding =
        fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & kCaseFoldFlag) != 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return folding;
}

// ---------------------------------------------------------------- InputFile

InputFile::Opening InputFile::open_regular(const std::string& path) {
    Opening opening;
    const auto host = host_path(path);
    if (!host) {
        opening.error = ENOENT;
        return opening;
    }
    // Not blocking: opening a pipe would otherwise wait for its writer.
    const int fd = ::open(host->c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        opening.error = errno;
        return opening;
    }
    FileHandle handle(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        opening.error = errno;
        return opening;
    }
    opening.kind = kind_of(st.st_mode);
    if (opening.kind == FileKind::Regular) {
        opening.file = InputFile(std::move(handle), static_cast<std::uint64_t>(st.st_size));
    }
    return opening;
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
            errno = 0;  // the file ended
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

// ---------------------------------------------------------------- open files

std::size_t raise_open_file_limit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 0;
    }
    if (limit.rlim_cur != limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    return limit.rlim_cur == RLIM_INFINITY ? SIZE_MAX : static_cast<std::size_t>(limit.rlim_cur);
}

}  // namespace vekdc::platform
