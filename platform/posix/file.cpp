#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <vector>

#include "platform/paths.h"
#include "platform/runtime.h"

namespace vekdc::platform {

namespace {

constexpr std::size_t kCopyBuffer = 1 << 20;

bool g_unnamed_allowed = true;

// Hidden temporaries that exist right now; removed if the process ends by exit().
struct TempRegistry {
    std::mutex lock;
    std::set<std::string> paths;
};

TempRegistry& temp_registry() {
    // Never destroyed, so that the exit handler can still use it.
    static TempRegistry* registry = [] {
        auto* created = new TempRegistry;
        std::atexit([] {
            TempRegistry& r = temp_registry();
            std::lock_guard<std::mutex> guard(r.lock);
            for (const auto& path : r.paths) {
                ::unlink(path.c_str());
            }
            r.paths.clear();
        });
        return created;
    }();
    return *registry;
}

void remember_temp(const std::string& path) {
    TempRegistry& r = temp_registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.paths.insert(path);
}

void forget_temp(const std::string& path) {
    TempRegistry& r = temp_registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.paths.erase(path);
}

std::string hidden_name(const std::string& folder) {
    static std::atomic<unsigned> counter{0};
    return folder + ".vekdc-" + std::to_string(::getpid()) + "-" +
           std::to_string(static_cast<std::uint32_t>(tick_count())) + "-" +
           std::to_string(counter++) + ".tmp";
}

bool write_all(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string proc_fd_path(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// Gives the unnamed file behind fd the name `path`; errno tells why not.
bool link_unnamed(int fd, const std::string& path) {
    if (::linkat(AT_FDCWD, proc_fd_path(fd).c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) ==
        0) {
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    return ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0;
}

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

// ---------------------------------------------------------------- OutputFile

std::optional<OutputFile> OutputFile::create_beside(const std::string& final_path) {
    const auto host = host_path(final_path);
    if (!host) {
        errno = ENOENT;
        return std::nullopt;
    }
    std::string folder = folder_of(*host);
    // An unnamed file is named later through /proc; without /proc, use a hidden one.
    static const bool can_name_unnamed = ::access("/proc/self/fd", X_OK) == 0;
    if (can_name_unnamed && g_unnamed_allowed) {
        const int fd =
            ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return OutputFile(FileHandle(fd), std::string());
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return std::nullopt;
        }
    }
    // The file system cannot hold unnamed files: use a hidden temporary.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = hidden_name(folder);
        const int hidden = ::open(temp.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (hidden >= 0) {
            remember_temp(temp);
            return OutputFile(FileHandle(hidden), std::move(temp));
        }
        if (errno != EEXIST) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

void OutputFile::allow_unnamed_files(bool allowed) {
    g_unnamed_allowed = allowed;
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

void OutputFile::discard() {
    handle_.close();
    if (!temp_path_.empty()) {
        ::unlink(temp_path_.c_str());
        forget_temp(temp_path_);
        temp_path_.clear();
    }
}

bool OutputFile::write(const void* data, std::size_t length) {
    return write_all(handle_.get(), static_cast<const char*>(data), length);
}

namespace {

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

OutputFile::Publish OutputFile::publish_new(const std::string& path) {
    const auto host = host_path(path);
    if (!host || !handle_) {
        return Publish::Failed;
    }
    if (temp_path_.empty()) {
        if (link_unnamed(handle_.get(), *host)) {
            return Publish::Done;
        }
        return errno == EEXIST ? Publish::Exists : Publish::Failed;
    }
    if (::link(temp_path_.c_str(), host->c_str()) != 0) {
        if (errno == EEXIST) {
            return Publish::Exists;
        }
        // No hard links on this file system: rename, still without replacing.
        if (::renameat2(AT_FDCWD, temp_path_.c_str(), AT_FDCWD, host->c_str(), RENAME_NOREPLACE) !=
            0) {
            return errno == EEXIST ? Publish::Exists : Publish::Failed;
        }
    } else {
        ::unlink(temp_path_.c_str());
    }
    forget_temp(temp_path_);
    temp_path_.clear();
    return Publish::Done;
}

bool OutputFile::publish_replacing(const std::string& path) {
    const auto host = host_path(path);
    if (!host || !handle_) {
        return false;
    }
    // The file replaces something the user had: make its content durable first.
    if (::fsync(handle_.get()) != 0) {
        return false;
    }
    if (temp_path_.empty()) {
        // An unnamed file cannot be renamed: give it a hidden name first.
        const std::string folder = folder_of(*host);
        for (int attempt = 0; attempt < 100 && temp_path_.empty(); ++attempt) {
            std::string temp = hidden_name(folder);
            if (link_unnamed(handle_.get(), temp)) {
                remember_temp(temp);
                temp_path_ = std::move(temp);
            } else if (errno != EEXIST) {
                return false;
            }
        }
        if (temp_path_.empty()) {
            return false;
        }
    }
    if (::rename(temp_path_.c_str(), host->c_str()) != 0) {
        return false;
    }
    forget_temp(temp_path_);
    temp_path_.clear();
    return true;
}

}  // namespace vekdc::platform
