#include "cli/progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace vekdc::cli {
namespace {

using namespace std::chrono_literals;

TEST(ProgressText, ShowsFilesBytesAndTheCurrentFile) {
    const struct {
        std::size_t files_done, files_total;
        std::uint64_t bytes_done, bytes_total;
        const char* current;
        std::size_t columns;
        const char* expected;
    } cases[] = {
        {0, 3, 0, 1000, "a.vek", 80, "0/3 files, 0 B of 1000 B  a.vek"},
        {1, 3, 1536, 3ull << 30, "b.vek", 80, "1/3 files, 1.5 KiB of 3.0 GiB  b.vek"},
        {2, 2, 1023, 1024, "", 80, "2/2 files, 1023 B of 1.0 KiB"},
        // The last column stays free; the name loses its start.
        {0, 1, 0, 10, "/very/long/path/name.vek", 32, "0/1 files, 0 B of 10 B  …me.vek"},
        // Wide characters take two columns and are never cut in half.
        {0, 1, 0, 10, "写真の名前.vek", 30, "0/1 files, 0 B of 10 B  ….vek"},
        {0, 1, 0, 10, "写真.vek", 32, "0/1 files, 0 B of 10 B  …真.vek"},
        // Control characters in a name cannot move the cursor.
        {0, 1, 0, 10, "a\rb\x1b[2J.vek", 80, "0/1 files, 0 B of 10 B  $'a\\rb\\e[2J.vek'"},
        // A terminal too narrow for the counts gets what fits.
        {5, 10, 0, 10, "x", 9, "5/10 fil"},
    };
    for (const auto& c : cases) {
        const std::string text = progress_text(c.files_done, c.files_total, c.bytes_done,
                                               c.bytes_total, c.current, c.columns);
        EXPECT_EQ(text, c.expected);
        EXPECT_LT(display_columns(text), c.columns) << text;
    }
}

TEST(ProgressText, CountsColumnsOfUtf8) {
    const struct {
        const char* text;
        std::size_t columns;
    } cases[] = {
        {"abc", 3}, {"写真", 4}, {"ｱｲ", 2}, {"Ｖｅｋ", 6}, {"\xff\xfe", 2}, {"é", 1}, {"", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(display_columns(c.text), c.columns) << c.text;
    }
}

// A progress line on a fake terminal with a clock the test moves.
class ProgressLineTest : public testing::Test {
protected:
    progress_line make(std::size_t files, std::uint64_t bytes) {
        return progress_line([this](std::string_view text) { written.emplace_back(text); },
                             [this] { return now; }, 60, files, bytes);
    }

    progress_line::clock::time_point now{};
    std::vector<std::string> written;
};

TEST_F(ProgressLineTest, DrawsAtMostTenTimesASecond) {
    progress_line line = make(2, 2000);
    line.file_started("a.vek");
    EXPECT_TRUE(written.empty()) << "nothing for a run that ends at once";
    for (int step = 1; step <= 100; ++step) {
        now += 10ms;
        line.file_progress(static_cast<std::uint64_t>(step) * 10);
    }
    ASSERT_EQ(written.size(), 10u);  // one second in steps of 10 ms
    EXPECT_EQ(written.back(), "\r0/2 files, 1000 B of 2.0 KiB  a.vek\x1b[K");
    now += 99ms;
    line.file_finished(1000);
    EXPECT_EQ(written.size(), 10u);
    now += 1ms;
    line.file_started("b.vek");
    EXPECT_EQ(written.back(), "\r1/2 files, 1000 B of 2.0 KiB  b.vek\x1b[K");
}

TEST_F(ProgressLineTest, ClearErasesOnlyAShownLine) {
    progress_line line = make(1, 10);
    line.clear();
    EXPECT_TRUE(written.empty());
    now += 100ms;
    line.file_started("a.vek");
    ASSERT_EQ(written.size(), 1u);
    line.clear();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written.back(), "\r\x1b[K");
    line.clear();
    EXPECT_EQ(written.size(), 2u);
}

TEST_F(ProgressLineTest, BytesOfTheCurrentFileAreNotCountedTwice) {
    progress_line line = make(2, 300);
    now += 100ms;
    line.file_started("a.vek");
    now += 100ms;
    line.file_progress(100);
    EXPECT_EQ(written.back(), "\r0/2 files, 100 B of 300 B  a.vek\x1b[K");
    now += 100ms;
    line.file_finished(100);
    EXPECT_EQ(written.back(), "\r1/2 files, 100 B of 300 B  a.vek\x1b[K");
    now += 100ms;
    line.file_started("b.vek");
    now += 100ms;
    line.file_progress(50);
    EXPECT_EQ(written.back(), "\r1/2 files, 150 B of 300 B  b.vek\x1b[K");
}

}  // namespace
}  // namespace vekdc::cli
