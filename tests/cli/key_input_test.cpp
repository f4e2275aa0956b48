// Where vekdc-cli takes its key from: a file, or a pipe read to its end;
// anything else is refused by name at once, and nothing is written.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace vekdc {
namespace {

using test::TempDir;

const std::string kExamples = std::string(VEKDC_SOURCE_DIR) + "/examples/";

test::ProcessResult decode_with(const std::string& key, const TempDir& dir) {
    return test::run_process(
        {VEKDC_CLI, "decode", "-k", key, "-o", dir / "out", kExamples + "notes.vek"});
}

TEST(KeyInput, APipeIsReadToItsEnd) {
    TempDir dir;
    ::mkdir((dir / "out").c_str(), 0755);
    const std::string fifo = dir / "key.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The key and more than a pipe holds: the reader must drain it all.
    const std::string sent = test::read_file(kExamples + "example.key") + std::string(1 << 17, 'z');
    std::thread writer([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        for (std::size_t done = 0; done < sent.size();) {
            const ssize_t n = ::write(fd, sent.data() + done, sent.size() - done);
            ASSERT_GT(n, 0);
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    });
    const test::ProcessResult decoded = decode_with(fifo, dir);
    writer.join();
    EXPECT_EQ(decoded.status, 0) << decoded.err;
    EXPECT_EQ(test::read_file(dir / "out/notes.txt"),
              test::read_file(kExamples + "plain/notes.txt"));
}

TEST(KeyInput, WhatIsNeitherFileNorPipeIsRefusedByNameAndNothingIsWritten) {
    const struct {
        std::string key;
        std::string message;
    } cases[] = {
        // The test's standard input is /dev/null: a device, never waited on.
        {"/dev/stdin", "/dev/stdin is neither a file nor a pipe"},
        {"/dev/zero", "/dev/zero is neither a file nor a pipe"},
        {"FOLDER", "cannot be opened (read_matrix_from_binary_file): Is a directory"},
        {"MISSING", "cannot be opened (read_matrix_from_binary_file): No such file or directory"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        ::mkdir((dir / "out").c_str(), 0755);
        const std::string key = c.key == "FOLDER"    ? dir / "out"
                                : c.key == "MISSING" ? dir / "none.key"
                                                     : c.key;
        const test::ProcessResult decoded = decode_with(key, dir);
        EXPECT_EQ(decoded.status, 1) << c.key;
        EXPECT_NE(decoded.err.find(c.message), std::string::npos) << decoded.err;
        EXPECT_NE(decoded.err.find(key), std::string::npos) << decoded.err;
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"out"}) << c.key;
        EXPECT_TRUE(std::filesystem::is_empty(dir / "out")) << c.key;
    }
}

}  // namespace
}  // namespace vekdc
