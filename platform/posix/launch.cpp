#include "platform/launch.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/paths.h"

namespace vekdc::platform {

namespace {

// Opens a file or address with the desktop's default opener (xdg-open),
// detached from this process, its output discarded. Failures are ignored.
void open_with_desktop(const std::string& target) {
    // Everything the child needs is prepared before fork().
    const char* argv[] = {"xdg-open", target.c_str(), nullptr};
    const pid_t child = ::fork();
    if (child < 0) {
        return;
    }
    if (child == 0) {
        // The intermediate child starts a new session and leaves at once, so
        // the opener is adopted by init and never becomes our zombie.
        ::setsid();
        if (::fork() == 0) {
            const int null_fd = ::open("/dev/null", O_RDWR);
            if (null_fd >= 0) {
                ::dup2(null_fd, 0);
                ::dup2(null_fd, 1);
                ::dup2(null_fd, 2);
            }
            ::execvp(argv[0], const_cast<char* const*>(argv));
            ::_exit(127);
        }
        ::_exit(0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

void start_program(const std::string& command_line) {
    if (const auto argument = fixed_program_argument(command_line)) {
        open_with_desktop(*argument);
    }
}

void open_document(const std::string& path, const std::string& /*working_dir*/) {
    if (const auto host = host_path(path)) {
        open_with_desktop(*host);
    }
}

}  // namespace vekdc::platform
