// Outputs on POSIX systems: unnamed files (O_TMPFILE) or hidden temporaries,
// named by a link when complete, or renamed over an older file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>

#include "platform/file.h"
#include "platform/paths.h"
#include "platform/posix/hidden_files.h"

namespace vekdc::platform {

namespace {

bool g_unnamed_allowed = true;

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

// Whether linking by descriptor (AT_EMPTY_PATH, which needs the capability
// to search any folder) is still worth trying; given up after its first
// refusal, after which the road through /proc is taken alone.
std::atomic<bool> g_link_by_descriptor{true};

// The folder unnamed outputs were last made in, held open, so that the
// next ones there (a run writes all its files into one folder) are made and
// named relative to it without its path being walked again. Dropped when a
// call through it fails, which is then made by path.
class HeldFolder {
public:
    // A descriptor of `folder` ("" for the current one), or -1 (errno).
    int open(const std::string& folder) {
        std::lock_guard<std::mutex> guard(lock_);
        if (fd_ >= 0 && path_ == folder) {
            return fd_;
        }
        drop_locked();
        fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        path_ = folder;
        return fd_;
    }
    // The descriptor of the held folder when `path` names an entry of it.
    int of(const std::string& path, std::string& name) {
        std::lock_guard<std::mutex> guard(lock_);
        if (fd_ < 0 || folder_of(path) != path_) {
            return AT_FDCWD;
        }
        name = path.substr(path_.size());
        return fd_;
    }
    void drop() {
        std::lock_guard<std::mutex> guard(lock_);
        drop_locked();
    }

private:
    void drop_locked() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
        path_.clear();
    }
    std::mutex lock_;
    std::string path_;
    int fd_ = -1;
};

HeldFolder& held_folder() {
    static HeldFolder* held = new HeldFolder;  // outlives exit handlers
    return *held;
}

// Links the unnamed file behind fd to `name` in folder `at` (a descriptor,
// or AT_FDCWD with a whole path).
bool link_unnamed_at(int fd, int at, const std::string& name) {
    if (g_link_by_descriptor.load()) {
        if (::linkat(fd, "", at, name.c_str(), AT_EMPTY_PATH) == 0) {
            return true;
        }
        if (errno != ENOENT || at != AT_FDCWD) {
            return false;  // EEXIST, or a failure the other road would meet too
        }
        g_link_by_descriptor.store(false);
    }
    return ::linkat(AT_FDCWD, proc_fd_path(fd).c_str(), at, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Gives the unnamed file behind fd the name `path`; errno tells why not.
bool link_unnamed(int fd, const std::string& path) {
    std::string name;
    const int at = held_folder().of(path, name);
    if (at != AT_FDCWD) {
        if (link_unnamed_at(fd, at, name)) {
            return true;
        }
        if (errno == EEXIST) {
            return false;
        }
        held_folder().drop();  // gone or moved: by path from now on
    }
    return link_unnamed_at(fd, AT_FDCWD, path);
}

// Gives the file behind fd the owner (as far as this process may: else the
// group alone) and the permissions of the regular file `older`.
void take_permissions_of(int fd, const std::string& older) {
    struct stat st {};
    if (::lstat(older.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return;
    }
    // The owner first: changing it clears the set-id bits the mode then restores.
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    }
    (void)::fchmod(fd, st.st_mode & 07777);
}

}  // namespace

using posix::forget_temp;
using posix::hidden_name;
using posix::hold_lock;
using posix::remember_temp;

// ---------------------------------------------------------------- OutputFile

std::optional<OutputFile> OutputFile::create_beside(const std::string& final_path, Access access) {
    const auto host = host_path(final_path);
    if (!host) {
        errno = ENOENT;
        return std::nullopt;
    }
    std::string folder = folder_of(*host);
    posix::remove_leftovers_once(folder);
    const mode_t mode = mode_for(access);
    // An unnamed file is named later through /proc; without /proc, use a hidden one.
    static const bool can_name_unnamed = ::access("/proc/self/fd", X_OK) == 0;
    if (can_name_unnamed && g_unnamed_allowed) {
        int fd = ::openat(held_folder().open(folder), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            held_folder().drop();  // by path, once more
            fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC,
                        mode);
        }
        if (fd >= 0) {
            return OutputFile(FileHandle(fd), std::string());
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return std::nullopt;
        }
    }
    // The file system cannot hold unnamed files: use a hidden temporary.
    std::string temp;
    const int hidden = posix::create_hidden(folder, mode, temp);
    if (hidden < 0) {
        return std::nullopt;
    }
    remember_temp(temp);
    return OutputFile(FileHandle(hidden), std::move(temp));
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
    // The file replaces something the user had: it takes the older file's
    // owner where this process may give it, and its permissions; and its
    // content is made durable first.
    take_permissions_of(handle_.get(), *host);
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

}  // namespace vekdc::platform
