// Hidden temporaries: their names, their locks, and the clearing of those
// that a dead process left.
#include "platform/posix/hidden_files.h"

#include <dirent.h>
#include <fcntl.h>
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

#include "platform/file.h"
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

}  // namespace

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
    return folder + std::string(kHiddenPrefix) + std::to_string(::getpid()) + "-" +
           std::to_string(static_cast<std::uint32_t>(tick_count())) + "-" +
           std::to_string(counter++) + std::string(kHiddenSuffix);
}

void hold_lock(int fd) {
    (void)::flock(fd, LOCK_EX | LOCK_NB);
}

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

}  // namespace

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

}  // namespace vekdc::platform::posix

namespace vekdc::platform {

void remove_leftover_temporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const auto owner = posix::hidden_owner(entry->d_name);
        if (owner && posix::process_is_gone(*owner)) {
            posix::remove_if_abandoned(::dirfd(dir), entry->d_name);
        }
    }
    ::closedir(dir);
}

}  // namespace vekdc::platform
