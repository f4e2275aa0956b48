#include "cli/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace vekdc::cli {

namespace {

// The reason the first lost write gave, 0 while nothing was lost.
int g_lost = 0;

void note_loss() {
    if (g_lost == 0) {
        g_lost = errno != 0 ? errno : EIO;
    }
}

}  // namespace

void prepare_output(bool to_terminal) {
    if (!to_terminal) {
        // Lines go out in large writes; a terminal keeps its line buffering.
        static char buffer[1 << 16];
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    }
}

void print_text(std::string_view text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
        note_loss();
    }
}

void print_line(std::string_view line) {
    print_text(line);
    print_text("\n");
}

void flush_output() {
    errno = 0;
    if (std::fflush(stdout) != 0) {
        note_loss();
    }
}

int status_after_output(int status) {
    flush_output();
    if (g_lost == 0 && std::ferror(stdout) == 0) {
        return status;
    }
    std::cerr << "vekdc-cli: write error on standard output: "
              << std::strerror(g_lost != 0 ? g_lost : EIO) << '\n'
              << std::flush;
    return status == 0 || status == 2 ? 1 : status;
}

}  // namespace vekdc::cli
