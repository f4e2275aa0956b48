// The counters a window reads while a run goes on: progress by bytes once
// the files are measured, else by files with the current one by its bytes,
// and the job's stop request.
#include <gtest/gtest.h>

#include "desktop/decode_run.h"
#include "desktop/texts.h"
#include "tests/support/test_support.h"

namespace vekdc::desktop {
namespace {

TEST(DecodeRun, FollowsTheRunByFilesAndBytes) {
    struct row {
        const char* name;
        std::size_t files;
        std::size_t written;  // files reported written, in order
        std::uint64_t current;
        std::uint64_t current_size;
        int percent;
        std::vector<std::uint64_t> measured;  // the files' sizes, when measured
    };
    const row rows[] = {
        {"nothing yet", 2, 0, 0, 100, 0, {}},
        {"inside the first", 2, 0, 50, 100, 25, {}},
        {"first done", 2, 1, 0, 300, 50, {}},
        {"inside a large one", 2, 1, std::uint64_t{1} << 63, ~std::uint64_t{0}, 75, {}},
        {"all done", 2, 2, 0, 0, 100, {}},
        {"empty files", 4, 1, 0, 0, 25, {}},
        {"measured, first done", 2, 1, 0, 300, 25, {100, 300}},
        {"measured, inside the second", 2, 1, 150, 300, 62, {100, 300}},
        {"measured, all of them empty", 2, 1, 0, 0, 50, {0, 0}},
    };
    CMatrixCipher engine;
    test::TempDir dir;
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<std::string> files(r.files, "f");
        for (std::size_t i = 0; i < r.measured.size(); ++i) {
            files[i] = dir / ("f" + std::to_string(i));
            test::write_file(files[i], std::string(r.measured[i], 'x'));
        }
        decode_run run(engine, decode_job(nullptr, files, "o"));
        if (!r.measured.empty()) {
            run.measure_files();
        }
        for (std::size_t i = 0; i < r.written; ++i) {
            run.file_started(job_step::decode, i, "f");
            run.file_written(job_step::decode, i, "f", "g");
        }
        run.file_started(job_step::decode, r.written, "f");
        run.file_progress(job_step::decode, r.written, r.current, r.current_size);
        // Steps of other jobs do not count.
        run.file_written(job_step::encode, 0, "e", "v");
        const decode_run::snapshot now = run.progress();
        EXPECT_EQ(now.percent(), r.percent);
        EXPECT_EQ(now.written, r.written);
        EXPECT_EQ(now.files, r.files);
        EXPECT_FALSE(run.stop_requested());
        run.request_stop();
        EXPECT_TRUE(run.stop_requested());
        EXPECT_FALSE(run.progress().stopped);
        run.job_stopped(job_step::decode, r.written);
        EXPECT_TRUE(run.progress().stopped);
    }
}

TEST(DecodeRun, ReportsTheRunInTheStatusBar) {
    // (The tests speak Japanese unless they choose otherwise.)
    decode_run::snapshot end;
    end.files = 5;
    end.written = 3;
    end.refused = 1;
    EXPECT_EQ(progress_text(end), "デコード中: 4 / 5 個");
    EXPECT_EQ(summary_text(end), "デコード完了: 3 個をデコード、1 個を拒否");
    end.stopped = true;
    EXPECT_EQ(summary_text(end), "デコード中止: 3 個をデコード、1 個を拒否");
}

}  // namespace
}  // namespace vekdc::desktop
