#include "cli/precheck.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "tests/support/test_support.h"

namespace vekdc::cli {
namespace {

#ifndef _WIN32
// A child with 32 files at most: half are held, by the bound (0 taken
// before), or fewer, when the handles run out first (20 taken); the rest
// are looked at by name, and only the missing file is reported.
TEST(ScreenedPlainFilesDeathTest, HoldWhatTheProcessMayKeepOpenAndLookAtTheRestByName) {
    test::TempDir dir;
    std::vector<std::string> files;
    for (int i = 0; i < 40; ++i) {
        files.push_back(dir / ("f" + std::to_string(i) + ".txt"));
        test::write_file(files.back(), test::pattern_bytes(20, 1));
    }
    files.push_back(dir / "missing.txt");
    const auto screen = [&](int taken_before) {
        const rlimit limit{32, 32};
        ::setrlimit(RLIMIT_NOFILE, &limit);
        std::vector<int> taken;
        for (int i = 0; i < taken_before; ++i) {
            taken.push_back(::open("/dev/null", O_RDONLY));
        }
        screened_plain_files screened(files, 0);
        for (const int fd : taken) {
            ::close(fd);  // room again, for the sanitizers' own checks
        }
        plain_file file;
        const bool held = screened.take(0, file) && file.input && !screened.take(16, file);
        std::exit(held && screened.problems() ==
                              std::vector<std::string>{files.back() +
                                                       " cannot be opened (in batch mode "
                                                       "encoder): No such file or directory"}
                      ? 0
                      : 1);
    };
    EXPECT_EXIT(screen(0), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(screen(20), testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace vekdc::cli
