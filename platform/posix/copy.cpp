// Copying a range of one file into an output on POSIX systems: in-kernel
// where the system allows it, through a bounded buffer where not.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <vector>

#include "platform/file.h"

namespace vekdc::platform {

namespace {

constexpr std::size_t kCopyBuffer = 1 << 20;
constexpr std::uint64_t kSpliceThreshold = 1 << 20;
constexpr int kPipeSize = 1 << 20;

using Copied = OutputFile::Copied;
// The in-kernel roads, or none where the system offers neither.
constexpr auto kUnsupported = static_cast<Copied>(-1);

// The writes of a copy fail for a full disk or a file too large; other
// errors of a file-to-file copy are the source's.
Copied failed_side() {
    return errno == ENOSPC || errno == EFBIG || errno == EDQUOT ? Copied::WriteFailed
                                                                : Copied::ReadFailed;
}

// Moves bytes through a pipe with splice(): one in-kernel copy even when
// source and destination offsets are not page-aligned alike, which the
// file-to-file copy of copy_file_range() handles far more slowly.
Copied splice_copy(int in_fd, std::uint64_t& offset, int out_fd, std::uint64_t& length) {
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
        return kUnsupported;
    }
    (void)::fcntl(pipe_fds[1], F_SETPIPE_SZ, kPipeSize);  // a larger pipe is only faster
    Copied result = Copied::Done;
    bool first = true;
    while (length > 0 && result == Copied::Done) {
        loff_t in_offset = static_cast<loff_t>(offset);
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(length, std::uint64_t{1} << 30));
        const ssize_t n = ::splice(in_fd, &in_offset, pipe_fds[1], nullptr, chunk, SPLICE_F_MOVE);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            result = n == 0                                          ? Copied::SourceEnded
                     : first && (errno == EINVAL || errno == ENOSYS) ? kUnsupported
                                                                     : Copied::ReadFailed;
            break;
        }
        first = false;
        std::size_t pending = static_cast<std::size_t>(n);
        while (pending > 0) {
            const ssize_t w =
                ::splice(pipe_fds[0], nullptr, out_fd, nullptr, pending, SPLICE_F_MOVE);
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                result = Copied::WriteFailed;
                break;
            }
            pending -= static_cast<std::size_t>(w);
        }
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::uint64_t>(n);
    }
    const int error = errno;
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    errno = error;
    return result;
}

Copied range_copy(int in_fd, std::uint64_t& offset, int out_fd, std::uint64_t& length) {
    bool first = true;
    while (length > 0) {
        loff_t in_offset = static_cast<loff_t>(offset);
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(length, std::uint64_t{1} << 30));
        const ssize_t n = ::copy_file_range(in_fd, &in_offset, out_fd, nullptr, chunk, 0);
        if (n > 0) {
            first = false;
            offset += static_cast<std::uint64_t>(n);
            length -= static_cast<std::uint64_t>(n);
            continue;
        }
        if (n == 0) {
            return Copied::SourceEnded;
        }
        if (errno == EINTR) {
            continue;
        }
        if (first && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                      errno == EBADF || errno == EPERM)) {
            return kUnsupported;
        }
        return failed_side();
    }
    return Copied::Done;
}

// One uninterrupted copy: in-kernel first, through a pipe for large ranges; a
// bounded buffer where the system offers neither.
Copied copy_range(const InputFile& source, std::uint64_t offset, OutputFile& out, int out_fd,
                  std::uint64_t length) {
    if (length == 0) {
        return Copied::Done;
    }
    Copied copied = kUnsupported;
    if (length >= kSpliceThreshold) {
        copied = splice_copy(source.handle().get(), offset, out_fd, length);
    }
    if (copied == kUnsupported) {
        copied = range_copy(source.handle().get(), offset, out_fd, length);
    }
    if (copied != kUnsupported) {
        return copied;
    }
    std::vector<char> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopyBuffer)));
    while (length > 0) {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size()));
        if (!source.read_at(buffer.data(), chunk, offset)) {
            return errno == 0 ? Copied::SourceEnded : Copied::ReadFailed;
        }
        if (!out.write(buffer.data(), chunk)) {
            return Copied::WriteFailed;
        }
        offset += chunk;
        length -= chunk;
    }
    return Copied::Done;
}

}  // namespace

OutputFile::Copied OutputFile::copy_from(const InputFile& source, std::uint64_t offset,
                                         std::uint64_t length, const CopyStep& step) {
    if (!step) {
        return copy_range(source, offset, *this, handle_.get(), length);
    }
    std::uint64_t copied = 0;
    while (copied < length) {
        const std::uint64_t slice = std::min(length - copied, kCopyStepBytes);
        const Copied result = copy_range(source, offset + copied, *this, handle_.get(), slice);
        if (result != Copied::Done) {
            return result;
        }
        copied += slice;
        if (!step(copied)) {
            return Copied::Stopped;
        }
    }
    return Copied::Done;
}

}  // namespace vekdc::platform
