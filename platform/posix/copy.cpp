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

enum class Copied { Done, Failed, Unsupported };

// Moves bytes through a pipe with splice(): one in-kernel copy even when
// source and destination offsets are not page-aligned alike, which the
// file-to-file copy of copy_file_range() handles far more slowly.
Copied splice_copy(int in_fd, std::uint64_t& offset, int out_fd, std::uint64_t& length) {
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
        return Copied::Unsupported;
    }
    (void)::fcntl(pipe_fds[1], F_SETPIPE_SZ, kPipeSize);  // a larger pipe is only faster
    Copied result = Copied::Done;
    bool first = true;
    while (length > 0) {
        loff_t in_offset = static_cast<loff_t>(offset);
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(length, std::uint64_t{1} << 30));
        const ssize_t n = ::splice(in_fd, &in_offset, pipe_fds[1], nullptr, chunk, SPLICE_F_MOVE);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            result = (n < 0 && first && (errno == EINVAL || errno == ENOSYS)) ? Copied::Unsupported
                                                                              : Copied::Failed;
            break;
        }
        first = false;
        std::size_t pending = static_cast<std::size_t>(n);
        while (pending > 0) {
            const ssize_t w =
                ::splice(pipe_fds[0], nullptr, out_fd, nullptr, pending, SPLICE_F_MOVE);
            if (w <= 0) {
                if (w < 0 && errno == EINTR) {
                    continue;
                }
                ::close(pipe_fds[0]);
                ::close(pipe_fds[1]);
                return Copied::Failed;
            }
            pending -= static_cast<std::size_t>(w);
        }
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::uint64_t>(n);
    }
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
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
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && first &&
            (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
             errno == EBADF || errno == EPERM)) {
            return Copied::Unsupported;
        }
        return Copied::Failed;  // an error, or the source ended early
    }
    return Copied::Done;
}

}  // namespace

namespace {

// One uninterrupted copy: in-kernel first, through a pipe for large ranges; a
// bounded buffer where the system offers neither.
bool copy_range(const InputFile& source, std::uint64_t offset, int out_fd, std::uint64_t length,
                const std::function<bool(const void*, std::size_t)>& write_buffer) {
    if (length == 0) {
        return true;
    }
    Copied copied = Copied::Unsupported;
    if (length >= kSpliceThreshold) {
        copied = splice_copy(source.handle().get(), offset, out_fd, length);
    }
    if (copied == Copied::Unsupported) {
        copied = range_copy(source.handle().get(), offset, out_fd, length);
    }
    if (copied != Copied::Unsupported) {
        return copied == Copied::Done;
    }
    std::vector<char> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopyBuffer)));
    while (length > 0) {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size()));
        if (!source.read_at(buffer.data(), chunk, offset) || !write_buffer(buffer.data(), chunk)) {
            return false;
        }
        offset += chunk;
        length -= chunk;
    }
    return true;
}

}  // namespace

bool OutputFile::copy_from(const InputFile& source, std::uint64_t offset, std::uint64_t length,
                           const CopyStep& step) {
    const auto write_buffer = [this](const void* data, std::size_t size) {
        return write(data, size);
    };
    if (!step) {
        return copy_range(source, offset, handle_.get(), length, write_buffer);
    }
    std::uint64_t copied = 0;
    while (copied < length) {
        const std::uint64_t slice = std::min(length - copied, kCopyStepBytes);
        if (!copy_range(source, offset + copied, handle_.get(), slice, write_buffer)) {
            return false;
        }
        copied += slice;
        if (!step(copied)) {
            return false;
        }
    }
    return true;
}

}  // namespace vekdc::platform
