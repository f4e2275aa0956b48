// The Windows side of what a standard stream is connected to.
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/terminal.h"

namespace vekdc::platform {

namespace {

int descriptor_of(StandardStream stream) {
    switch (stream) {
        case StandardStream::Input:
            return _fileno(stdin);
        case StandardStream::Output:
            return _fileno(stdout);
        case StandardStream::Error:
            break;
    }
    return _fileno(stderr);
}

DWORD handle_name_of(StandardStream stream) {
    switch (stream) {
        case StandardStream::Input:
            return STD_INPUT_HANDLE;
        case StandardStream::Output:
            return STD_OUTPUT_HANDLE;
        case StandardStream::Error:
            break;
    }
    return STD_ERROR_HANDLE;
}

}  // namespace

bool is_terminal(StandardStream stream) {
    return _isatty(descriptor_of(stream)) != 0;
}

// A Windows process's files get handles, never the numbers of its standard streams.
void keep_standard_streams_apart() {}

std::size_t terminal_columns(StandardStream stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(handle_name_of(stream)), &info)) {
        return 0;
    }
    return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
}

}  // namespace vekdc::platform
