// Hidden temporaries: their names, their locks, and the clearing of those
// that a dead process left.
#include "platform/posix/hidden_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/group_marker.h"
#include "platform/paths.h"
#include "platform/runtime.h"

namespace vekdc::platform::posix {

namespace {

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

// This process's number, asked of the system once and again after a fork.
pid_t g_pid = 0;

}  // namespace

pid_t own_pid() {
    static const bool watching = [] {
        ::pthread_atfork(nullptr, nullptr, [] { g_pid = 0; });
        return true;
    }();
    (void)watching;
    if (g_pid == 0) {
        g_pid = ::getpid();
    }
    return g_pid;
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

std::string hidden_name(const std::string& folder, std::string_view suffix) {
    static std::atomic<unsigned> counter{0};
    return folder + std::string(kHiddenPrefix) + std::to_string(own_pid()) + "-" +
           std::to_string(static_cast<std::uint32_t>(tick_count())) + "-" +
           std::to_string(counter++) + std::string(suffix);
}

void hold_lock(int fd) {
    (void)::flock(fd, LOCK_EX | LOCK_NB);
}

int create_hidden(const std::string& folder, mode_t mode, std::string& path,
                  std::string_view suffix) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = hidden_name(folder, suffix);
        const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return -1;
        }
        // Between the creation and the lock a cleaner may have taken the
        // file for a leftover: it then holds the lock, or has removed the name.
        const bool lost = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        struct stat opened {};
        struct stat named {};
        if (lost || ::fstat(fd, &opened) != 0 || ::stat(name.c_str(), &named) != 0 ||
            opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
            ::close(fd);
            continue;
        }
        path = std::move(name);
        return fd;
    }
    errno = EEXIST;
    return -1;
}

// ---------------------------------------------------------------- leftovers

namespace {

// What a hidden name stands for, and the process number of its owner.
struct HiddenName {
    pid_t owner = 0;
    bool marker = false;  // a group's marker rather than a temporary
};

// A hidden temporary's or marker's name read, or nothing for a name of any
// other pattern.
std::optional<HiddenName> hidden_owner(std::string_view name) {
    HiddenName hidden;
    if (!name.starts_with(kHiddenPrefix)) {
        return std::nullopt;
    }
    if (name.ends_with(kGroupMarkerSuffix)) {
        hidden.marker = true;
        name.remove_suffix(kGroupMarkerSuffix.size());
    } else if (name.ends_with(kHiddenSuffix)) {
        name.remove_suffix(kHiddenSuffix.size());
    } else {
        return std::nullopt;
    }
    name.remove_prefix(kHiddenPrefix.size());
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
    hidden.owner = static_cast<pid_t>(numbers[0]);
    return hidden;
}

bool process_is_gone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// The files a command was given, by device and inode: never leftovers,
// whatever their names.
struct SparedFiles {
    std::mutex lock;
    std::set<std::pair<dev_t, ino_t>> files;
};

SparedFiles& spared_files() {
    static SparedFiles* spared = new SparedFiles;  // outlives exit handlers
    return *spared;
}

bool is_spared(const struct stat& st) {
    SparedFiles& spared = spared_files();
    std::lock_guard<std::mutex> guard(spared.lock);
    return spared.files.count({st.st_dev, st.st_ino}) != 0;
}

// The whole content of an open file, read from its start.
std::vector<unsigned char> content_of(int fd, std::uint64_t size) {
    std::vector<unsigned char> content(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n =
            ::pread(fd, content.data() + done, content.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    content.resize(done);
    return content;
}

// Removes one leftover if nobody holds it. Its lock decides, which only a
// living process holds, in whatever process-number space it runs; only where
// the file system has no locks does the owner's process number. A file of
// another user, or one a command was given, is never touched. An abandoned
// marker first has the part of its group that was linked removed.
void remove_if_abandoned(int folder_fd, const std::string& folder, const char* name,
                         const HiddenName& hidden) {
    const int fd = ::openat(folder_fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat st {};
    const bool ours =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && !is_spared(st);
    if (ours) {
        bool abandoned = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (!abandoned && errno != EWOULDBLOCK) {
            abandoned = process_is_gone(hidden.owner);  // no locks here
        }
        if (abandoned && hidden.marker) {
            undo_group(folder, content_of(fd, static_cast<std::uint64_t>(st.st_size)));
        }
        if (abandoned) {
            (void)::unlinkat(folder_fd, name, 0);
        }
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

}  // namespace

void remove_leftovers_once(const std::string& folder) {
    ClearedFolders& cleared = cleared_folders();
    {
        std::lock_guard<std::mutex> guard(cleared.lock);
        if (cleared.pid != own_pid()) {
            cleared.pid = own_pid();
            cleared.folders.clear();
        }
        if (!cleared.folders.insert(folder).second) {
            return;
        }
    }
    remove_leftover_temporaries(folder);
}

}  // namespace vekdc::platform::posix

namespace vekdc::platform {

void remove_leftover_temporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const auto hidden = posix::hidden_owner(entry->d_name);
        if (hidden && hidden->owner != posix::own_pid()) {
            posix::remove_if_abandoned(::dirfd(dir), folder, entry->d_name, *hidden);
        }
    }
    ::closedir(dir);
}

void spare_from_clearing(const std::vector<std::string>& paths) {
    posix::SparedFiles& spared = posix::spared_files();
    for (const std::string& path : paths) {
        const auto slash = last_separator(path);
        const std::string_view name =
            std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
        struct stat st {};
        const auto host = host_path(path);
        if (posix::hidden_owner(name) && host && ::lstat(host->c_str(), &st) == 0) {
            std::lock_guard<std::mutex> guard(spared.lock);
            spared.files.insert({st.st_dev, st.st_ino});
        }
    }
}

}  // namespace vekdc::platform

namespace vekdc::platform {

// ---------------------------------------------------------------- group markers

std::optional<GroupMarker> GroupMarker::create(const std::string& folder,
                                               const std::vector<unsigned char>& content) {
    std::string path;
    const int fd = posix::create_hidden(folder, 0600, path, kGroupMarkerSuffix);
    if (fd < 0) {
        return std::nullopt;
    }
    FileHandle handle(fd);
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = errno;
            ::unlink(path.c_str());
            errno = error;
            return std::nullopt;
        }
        done += static_cast<std::size_t>(n);
    }
    return GroupMarker(std::move(handle), std::move(path));
}

GroupMarker::GroupMarker(GroupMarker&& other) noexcept
    : handle_(std::move(other.handle_)), path_(std::move(other.path_)) {
    other.path_.clear();
}

GroupMarker::~GroupMarker() {
    if (!path_.empty()) {
        ::unlink(path_.c_str());  // still locked, so that no one else takes it meanwhile
    }
}

}  // namespace vekdc::platform
