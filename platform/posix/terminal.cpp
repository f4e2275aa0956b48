#include "platform/terminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace vekdc::platform {

namespace {

int descriptor_of(StandardStream stream) {
    switch (stream) {
        case StandardStream::Input:
            return STDIN_FILENO;
        case StandardStream::Output:
            return STDOUT_FILENO;
        case StandardStream::Error:
            break;
    }
    return STDERR_FILENO;
}

}  // namespace

bool is_terminal(StandardStream stream) {
    return ::isatty(descriptor_of(stream)) == 1;
}

void keep_standard_streams_apart() {
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free number: this one.
            (void)::open("/dev/null", O_RDONLY);
        }
    }
}

std::size_t terminal_columns(StandardStream stream) {
    winsize size{};
    if (::ioctl(descriptor_of(stream), TIOCGWINSZ, &size) != 0) {
        return 0;
    }
    return size.ws_col;
}

}  // namespace vekdc::platform
