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
// A list longer than the process may hold open: the files beyond are looked
// at by name, also when the handles run out before the bound, and nothing
// but the missing file is reported. Run in a child, whose limit it lowers.
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
        for (int i = 0; i < taken_before; ++i) {
            ::open("/dev/null", O_RDONLY);
        }
        screened_plain_files screened(files, 0);
        plain_file file;
        const bool one_problem =
            screened.problems() ==
            std::vector<std::string>{files.back() +
                                     " cannot be opened (in batch mode encoder): No such file or "
                                     "directory"};
        const bool first_held = screened.take(0, file) && file.input.has_value();
        std::exit(one_problem && first_held && !screened.take(16, file) ? 0 : 1);
    };
    EXPECT_EXIT(screen(0), testing::ExitedWithCode(0), "");   // 16 held, by the bound
    EXPECT_EXIT(screen(20), testing::ExitedWithCode(0), "");  // fewer, by the system
}
#endif

}  // namespace
}  // namespace vekdc::cli
