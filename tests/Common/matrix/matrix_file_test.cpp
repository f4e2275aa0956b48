#include <bit>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "Common/matrix/matrix.h"
#include "platform/environment.h"
#include "tests/support/test_support.h"

namespace vekdc {
namespace {

using test::TempDir;

TEST(MatrixFile, RowMajorLittleEndianWithoutHeader) {
    TempDir dir;
    MatrixPtr m = test::filled_matrix(2, 3);
    write_matrix_into_binary_file(false, m.get(), 2, 3, "m.key", dir.path() + "/");
    const std::string bytes = test::read_file(dir / "m.key");
    ASSERT_EQ(bytes.size(), 48u);
    EXPECT_EQ(test::le_double_at(bytes, 0), m.get()[0][0]);
    EXPECT_EQ(test::le_double_at(bytes, 24), m.get()[1][0]);
    EXPECT_EQ(test::le_double_at(bytes, 40), m.get()[1][2]);
    // 0.125 + 0 is 0x3FC0000000000000: the sign and exponent byte comes last.
    EXPECT_EQ(static_cast<unsigned char>(bytes[7]), 0x3F);
}

TEST(MatrixFile, HeaderFlagWritesTheLowBytesOfTheShape) {
    TempDir dir;
    MatrixPtr m = test::filled_matrix(2, 3);
    write_matrix_into_binary_file(true, m.get(), 2, 3, "h.key", dir.path() + "/");
    const std::string bytes = test::read_file(dir / "h.key");
    ASSERT_EQ(bytes.size(), 50u);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[1], 3);
    EXPECT_EQ(test::le_double_at(bytes, 2), m.get()[0][0]);
}

TEST(MatrixFile, FolderAndNameJoinWithoutASeparator) {
    TempDir dir;
    MatrixPtr m = test::filled_matrix(1, 1);
    write_matrix_into_binary_file(false, m.get(), 1, 1, "joined.key", dir.path() + "/pre_");
    EXPECT_TRUE(test::exists(dir / "pre_joined.key"));
    platform::set_environment_variable("VEKDC_DRIVE_D", dir.path());
    write_matrix_into_binary_file(false, m.get(), 1, 1, "master.key", "d:\\");
    platform::set_environment_variable("VEKDC_DRIVE_D", std::nullopt);
    EXPECT_TRUE(test::exists(dir / "master.key"));
}

std::string key_bytes(Matrix m, int rows, int cols) {
    std::string bytes;
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            bytes.append(reinterpret_cast<const char*>(&m[i][j]), 8);
        }
    }
    return bytes;
}

#ifndef _WIN32
mode_t mode_of(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}
#endif

// The name of a written file, whichever separator its path uses.
std::string name_of(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// A key never replaces a file: what the name held stays, and the key goes
// under the name with a tick before the extension, unless the name already
// holds exactly this key.
TEST(MatrixFile, NeverReplacesAFileAndSaysWhereTheKeyWent) {
    MatrixPtr m = test::filled_matrix(11, 12);
    const std::string key = key_bytes(m.get(), 11, 12);
    const struct {
        const char* held;  // nullptr: the name is free
        bool same_name;
    } cases[] = {
        {nullptr, true},
        {"an older key", false},
        {"", false},    // an empty file
        {"key", true},  // the very same key: left as it is
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::string held;
        if (c.held != nullptr) {
            held = std::string(c.held) == "key" ? key : std::string(c.held);
            test::write_file(dir / "k.key", held);
        }
        const std::string written =
            write_matrix_into_binary_file(false, m.get(), 11, 12, "k.key", dir.path() + "/");
        SCOPED_TRACE(c.held == nullptr ? "free" : c.held);
        EXPECT_EQ(test::read_file(written), key);
        EXPECT_EQ(name_of(written) == "k.key", c.same_name) << written;
        if (c.held != nullptr) {
            EXPECT_EQ(test::read_file(dir / "k.key"), held);
        }
        if (!c.same_name) {
            EXPECT_TRUE(name_of(written).starts_with("k_") && written.ends_with(".key")) << written;
            EXPECT_EQ(dir.entries().size(), 2u);
        }
#ifndef _WIN32
        if (!c.same_name || c.held == nullptr) {
            EXPECT_EQ(mode_of(written), 0600u);
        }
#endif
    }
}

#ifndef _WIN32
// A key may come through a pipe, which is read to its end; anything that is
// neither a file nor a pipe is refused by name without being waited on.
TEST(MatrixFile, ReadsAKeyThroughAPipe) {
    TempDir dir;
    MatrixPtr m = test::filled_matrix(11, 12);
    const std::string fifo = dir / "key.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // More than a pipe holds at once, so a reader that stops early would leave the writer blocked.
    const std::string sent = key_bytes(m.get(), 11, 12) + std::string(200000, 'z');
    std::thread writer([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        std::size_t done = 0;
        while (done < sent.size()) {
            const ssize_t n = ::write(fd, sent.data() + done, sent.size() - done);
            ASSERT_GT(n, 0);
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    });
    MatrixPtr r(read_matrix_from_binary_file(11, 12, fifo));
    writer.join();
    ASSERT_TRUE(r);
    EXPECT_EQ(key_bytes(r.get(), 11, 12), key_bytes(m.get(), 11, 12));
}
#endif

TEST(MatrixFile, ReadsBackWhatWasWrittenAndIgnoresExtraBytes) {
    TempDir dir;
    MatrixPtr m = test::filled_matrix(11, 12);
    write_matrix_into_binary_file(false, m.get(), 11, 12, "k.key", dir.path() + "/");
    test::write_file(dir / "long.key", test::read_file(dir / "k.key") + std::string(944, '\x7f'));
    for (const char* name : {"k.key", "long.key"}) {
        MatrixPtr r(read_matrix_from_binary_file(11, 12, dir / name));
        ASSERT_TRUE(r);
        for (int i = 0; i < 11; ++i) {
            for (int j = 0; j < 12; ++j) {
                ASSERT_EQ(std::memcmp(&r.get()[i][j], &m.get()[i][j], 8), 0) << name;
            }
        }
    }
}

TEST(MatrixFileDeathTest, UnreadableOrShortKeysEndTheProgramWithAMessage) {
    TempDir dir;
#ifndef _WIN32
    EXPECT_EXIT(
        read_matrix_from_binary_file(11, 12, "/dev/null"), testing::ExitedWithCode(1),
        "^VekDC: /dev/null is neither a file nor a pipe \\(read_matrix_from_binary_file\\)");
    EXPECT_EXIT(read_matrix_from_binary_file(11, 12, dir.path()), testing::ExitedWithCode(1),
                "cannot be opened .*Is a directory");
#endif
    test::write_file(dir / "short.key", std::string(1055, '\0'));
    EXPECT_EXIT(read_matrix_from_binary_file(11, 12, dir / "missing.key"),
                testing::ExitedWithCode(1),
                "^VekDC: .*" + test::kSepPattern +
                    "missing.key cannot be opened \\(read_matrix_from_binary_file\\)");
    EXPECT_EXIT(
        read_matrix_from_binary_file(11, 12, dir / "short.key"), testing::ExitedWithCode(1),
        "^VekDC: .*" + test::kSepPattern +
            "short.key is too short for a 11 x 12 key: it holds 1055 bytes, the key needs 1056");
}

TEST(MatrixFileDeathTest, AnUnwritableKeyEndsTheProgram) {
    TempDir dir;
    MatrixPtr m = test::filled_matrix(1, 1);
    EXPECT_EXIT(write_matrix_into_binary_file(false, m.get(), 1, 1, "k.key", dir / "none/"),
                testing::ExitedWithCode(1),
                "^VekDC: file open error \\(write_matrix_into_binary_file\\)\n"
                ".*none.k\\.key: .*\n$");
    test::UnavailableDrive no_d('D', dir);
    EXPECT_EXIT(write_matrix_into_binary_file(false, m.get(), 1, 1, "master.key", "d:\\"),
                testing::ExitedWithCode(1), "file open error \\(write_matrix_into_binary_file\\)");
    EXPECT_TRUE(dir.entries().empty());
}

}  // namespace
}  // namespace vekdc
