#include "platform/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string_view>
#include <vector>

#include "platform/paths.h"
#include "platform/runtime.h"

namespace vekdc::platform {

namespace {

constexpr std::size_t kCopyBuffer = 1 << 20;
constexpr std::size_t kReadChunk = 1 << 16;

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

// Hidden temporaries are named ".vekdc-PID-TICK-N.tmp": the process that
// owns one can be told from the name, and it holds a lock on the file while
// it lives.
constexpr std::string_view kHiddenPrefix = ".vekdc-";
constexpr std::string_view kHiddenSuffix = ".tmp";

std::string hidden_name(const std::string& folder) {
    static std::atomic<unsigned> counter{0};
    return folder + std::string(kHiddenPrefix) + std::to_string(::getpid()) + "-" +
           std::to_string(static_cast<std::uint32_t>(tick_count())) + "-" +
           std::to_string(counter++) + std::string(kHiddenSuffix);
}

// Marks a file as in use for as long as this process lives. Where the file
// system has no locks the owner's process number alone has to do.
void hold_lock(int fd) {
    (void)::flock(fd, LOCK_EX | LOCK_NB);
}

mode_t mode_for(Access access) {
    return access == Access::Private ? 0600 : 0666;
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

// ---------------------------------------------------------------- leftovers

namespace {

// The owner's process number of a hidden temporary's name, or nothing for a
// name of any other pattern.
std::optional<pid_t> hidden_owner(std::string_view name) {
    if (!name.starts_with(kHiddenPrefix) || !name.ends_with(kHiddenSuffix)) {
        return std::nullopt;
    }
    name.remove_prefix(kHiddenPrefix.size());
    name.remove_suffix(kHiddenSuffix.size());
    // PID-TICK-N, three runs of digits.
    std::int64_t numbers[3] = {};
    for (int k = 0; k < 3; ++k) {
        if (name.empty() || name[0] < '0' || name[0] > '9') {
            return std::nullopt;
        }
        const auto [end, error] =
            std::from_chars(name.data(), name.data() + name.size(), numbers[k]);
        if (error != std::errc()) {
            return std::nullopt;
        }
        name.remove_prefix(static_cast<std::size_t>(end - name.data()));
        if (k < 2) {
            if (!name.starts_with('-')) {
                return std::nullopt;
            }
            name.remove_prefix(1);
        }
    }
    if (!name.empty() || numbers[0] <= 0 || numbers[0] > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<pid_t>(numbers[0]);
}

bool process_is_gone(pid_t pid) {
    return pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Removes one leftover if nobody holds it: its process is gone, and no
// process (of another process-number space, say) holds its lock.
void remove_if_abandoned(int folder_fd, const char* name) {
    const int fd = ::openat(folder_fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (regular && !held) {
        (void)::unlinkat(folder_fd, name, 0);
    }
    ::close(fd);
}

// Folders this process has already cleared of leftovers. A forked child is
// a process of its own and clears them again.
struct ClearedFolders {
    std::mutex lock;
    pid_t pid = 0;
    std::set<std::string> folders;
};

ClearedFolders& cleared_folders() {
    static ClearedFolders* cleared = new ClearedFolders;  // outlives exit handlers
    return *cleared;
}

void remove_leftovers_once(const std::string& folder) {
    ClearedFolders& cleared = cleared_folders();
    {
        std::lock_guard<std::mutex> guard(cleared.lock);
        if (cleared.pid != ::getpid()) {
            cleared.pid = ::getpid();
            cleared.folders.clear();
        }
        if (!cleared.folders.insert(folder).second) {
            return;
        }
    }
    remove_leftover_temporaries(folder);
}

}  // namespace

void remove_leftover_temporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const auto owner = hidden_owner(entry->d_name);
        if (owner && process_is_gone(*owner)) {
            remove_if_abandoned(::dirfd(dir), entry->d_name);
        }
    }
    ::closedir(dir);
}

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

std::optional<OutputFile> OutputFile::create_beside(const std::string& final_path, Access access) {
    const auto host = host_path(final_path);
    if (!host) {
        errno = ENOENT;
        return std::nullopt;
    }
    std::string folder = folder_of(*host);
    remove_leftovers_once(folder);
    const mode_t mode = mode_for(access);
    // An unnamed file is named later through /proc; without /proc, use a hidden one.
    static const bool can_name_unnamed = ::access("/proc/self/fd", X_OK) == 0;
    if (can_name_unnamed && g_unnamed_allowed) {
        const int fd =
            ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
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
        const int hidden = ::open(temp.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
        if (hidden >= 0) {
            hold_lock(hidden);
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

bool OutputFile::link_hidden(const std::string& folder) {
    hold_lock(handle_.get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = hidden_name(folder);
        if (link_unnamed(handle_.get(), temp)) {
            remember_temp(temp);
            temp_path_ = std::move(temp);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool OutputFile::publish_replacing(const std::string& path) {
    const auto host = host_path(path);
    if (!host || !handle_) {
        return false;
    }
    // Nothing has the name: a link, as for any new file, and no sync.
    if (publish_new(path) == Publish::Done) {
        return true;
    }
    // The file replaces something the user had: make its content durable first.
    if (::fsync(handle_.get()) != 0) {
        return false;
    }
    // An unnamed file cannot be renamed: give it a hidden name first.
    if (temp_path_.empty() && !link_hidden(folder_of(*host))) {
        return false;
    }
    if (::rename(temp_path_.c_str(), host->c_str()) != 0) {
        return false;
    }
    forget_temp(temp_path_);
    temp_path_.clear();
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
