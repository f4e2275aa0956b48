// A library the fault tests preload into the programs they start, to put
// them into situations that are hard to come by on purpose. It adds nothing
// to the programs themselves; each behaviour is switched on by the test
// through the environment:
//
//   VEKDC_FAULT_NO_TMPFILE=1   open(O_TMPFILE) fails with EOPNOTSUPP, as on a
//                              file system without unnamed files, so the
//                              program takes its hidden-temporary road.
//   VEKDC_FAULT_STOP_AT=N      the process stops itself (SIGSTOP) just before
//                              its Nth step of writing a file: a write,
//                              splice or copy into a regular file, a link,
//                              rename or sync. The test then looks at the
//                              folder and kills it.
//   VEKDC_FAULT_ENOSPC_AT=N    from the Nth step on, every write into a
//                              regular file fails with ENOSPC: a full disk.
//   VEKDC_FAULT_COUNT_FILE=F   the number of steps taken is written to F when
//                              the process ends normally.
//   VEKDC_FAULT_NO_LINK=1      link() and linkat() fail with EPERM, as on FAT and
//                              exFAT file systems and some network shares, so
//                              that files are named by rename() alone.
//   VEKDC_FAULT_SWEEP_FIFOS=R:A  right after the process has created its first
//                              hidden temporary, and before it returns to the
//                              program, it asks a cleaner for one sweep of the
//                              folder (a byte into FIFO R) and waits for it
//                              to be done (a byte from FIFO A): the worst
//                              moment for a cleaner to come.
//   VEKDC_FAULT_SHRINK_AT=N    just before its Nth step of writing, the process
//   VEKDC_FAULT_SHRINK_FILE=F  finds the file F cut to half its length, as if
//                              another program had truncated its input.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <string>

namespace {

long env_number(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::atol(value) : 0;
}

struct Settings {
    bool no_tmpfile = env_number("VEKDC_FAULT_NO_TMPFILE") != 0;
    bool no_link = env_number("VEKDC_FAULT_NO_LINK") != 0;
    long stop_at = env_number("VEKDC_FAULT_STOP_AT");
    long enospc_at = env_number("VEKDC_FAULT_ENOSPC_AT");
    long shrink_at = env_number("VEKDC_FAULT_SHRINK_AT");
    const char* shrink_file = std::getenv("VEKDC_FAULT_SHRINK_FILE");
    const char* sweep_fifos = std::getenv("VEKDC_FAULT_SWEEP_FIFOS");
};

const Settings& settings() {
    static const Settings loaded;
    return loaded;
}

std::atomic<long> g_steps{0};

// Reports the steps taken at a normal end.
struct StepReport {
    ~StepReport() {
        const char* path = std::getenv("VEKDC_FAULT_COUNT_FILE");
        if (path == nullptr) {
            return;
        }
        const std::string text = std::to_string(g_steps.load());
        using Write = ssize_t (*)(int, const void*, size_t);
        const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            (void)reinterpret_cast<Write>(::dlsym(RTLD_NEXT, "write"))(fd, text.data(),
                                                                       text.size());
            ::close(fd);
        }
    }
} g_report;

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

bool is_regular(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

// Counts one step of writing a file; false when the step is to fail as on a
// full disk.
bool step(bool writes_bytes) {
    const long number = ++g_steps;
    if (settings().stop_at > 0 && number == settings().stop_at) {
        ::raise(SIGSTOP);
    }
    if (settings().shrink_at > 0 && number == settings().shrink_at &&
        settings().shrink_file != nullptr) {
        struct stat st {};
        if (::stat(settings().shrink_file, &st) == 0) {
            (void)::truncate(settings().shrink_file, st.st_size / 2);
        }
    }
    if (writes_bytes && settings().enospc_at > 0 && number >= settings().enospc_at) {
        errno = ENOSPC;
        return false;
    }
    return true;
}

// Whether a path names a hidden temporary of the programs.
bool is_hidden_temporary(const char* path) {
    const std::string text = path;
    const std::string name =
        text.substr(text.rfind('/') == std::string::npos ? 0 : text.rfind('/') + 1);
    return name.rfind(".vekdc-", 0) == 0 && name.size() > 4 &&
           name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// One sweep of the cleaner at the other end of the FIFOs, once per process.
void sweep_once() {
    static bool swept = false;
    const char* fifos = settings().sweep_fifos;
    if (swept || fifos == nullptr) {
        return;
    }
    swept = true;
    const std::string both = fifos;
    const auto colon = both.find(':');
    using Open = int (*)(const char*, int, ...);
    using Write = ssize_t (*)(int, const void*, size_t);
    const int request = next<Open>("open")(both.substr(0, colon).c_str(), O_WRONLY | O_CLOEXEC);
    const int answer = next<Open>("open")(both.substr(colon + 1).c_str(), O_RDONLY | O_CLOEXEC);
    char byte = 's';
    if (request >= 0 && answer >= 0 && next<Write>("write")(request, &byte, 1) == 1) {
        (void)::read(answer, &byte, 1);
    }
    ::close(request);
    ::close(answer);
}

int open_with(const char* name, const char* path, int flags, mode_t mode) {
    if (settings().no_tmpfile && (flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    using Open = int (*)(const char*, int, ...);
    const int fd = next<Open>(name)(path, flags, mode);
    if (fd >= 0 && (flags & O_CREAT) != 0 && (flags & O_EXCL) != 0 && is_hidden_temporary(path)) {
        const int error = errno;
        sweep_once();
        errno = error;
    }
    return fd;
}

int openat_with(const char* name, int dir, const char* path, int flags, mode_t mode) {
    if (settings().no_tmpfile && (flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    using OpenAt = int (*)(int, const char*, int, ...);
    return next<OpenAt>(name)(dir, path, flags, mode);
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode =
        (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
    va_end(args);
    return open_with("open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode =
        (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
    va_end(args);
    return open_with("open64", path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode =
        (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
    va_end(args);
    return openat_with("openat", dir, path, flags, mode);
}

int openat64(int dir, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode =
        (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
    va_end(args);
    return openat_with("openat64", dir, path, flags, mode);
}

ssize_t write(int fd, const void* data, size_t length) {
    if (is_regular(fd) && !step(true)) {
        return -1;
    }
    using Write = ssize_t (*)(int, const void*, size_t);
    return next<Write>("write")(fd, data, length);
}

ssize_t splice(int in_fd, loff_t* in_offset, int out_fd, loff_t* out_offset, size_t length,
               unsigned int flags) {
    if (is_regular(out_fd) && !step(true)) {
        return -1;
    }
    using Splice = ssize_t (*)(int, loff_t*, int, loff_t*, size_t, unsigned int);
    return next<Splice>("splice")(in_fd, in_offset, out_fd, out_offset, length, flags);
}

ssize_t copy_file_range(int in_fd, loff_t* in_offset, int out_fd, loff_t* out_offset, size_t length,
                        unsigned int flags) {
    if (!step(true)) {
        return -1;
    }
    using Copy = ssize_t (*)(int, loff_t*, int, loff_t*, size_t, unsigned int);
    return next<Copy>("copy_file_range")(in_fd, in_offset, out_fd, out_offset, length, flags);
}

int linkat(int old_dir, const char* old_path, int new_dir, const char* new_path, int flags) {
    step(false);
    if (settings().no_link) {
        errno = EPERM;
        return -1;
    }
    using LinkAt = int (*)(int, const char*, int, const char*, int);
    return next<LinkAt>("linkat")(old_dir, old_path, new_dir, new_path, flags);
}

int link(const char* old_path, const char* new_path) {
    step(false);
    if (settings().no_link) {
        errno = EPERM;
        return -1;
    }
    using Link = int (*)(const char*, const char*);
    return next<Link>("link")(old_path, new_path);
}

int renameat2(int old_dir, const char* old_path, int new_dir, const char* new_path,
              unsigned int flags) {
    step(false);
    using Rename = int (*)(int, const char*, int, const char*, unsigned int);
    return next<Rename>("renameat2")(old_dir, old_path, new_dir, new_path, flags);
}

int rename(const char* old_path, const char* new_path) {
    step(false);
    using Rename = int (*)(const char*, const char*);
    return next<Rename>("rename")(old_path, new_path);
}

int fsync(int fd) {
    step(false);
    using Sync = int (*)(int);
    return next<Sync>("fsync")(fd);
}

}  // extern "C"
