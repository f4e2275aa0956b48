// The counters a window reads while a run goes on: progress by bytes, so that
// a single large file moves the bars too, and the job's stop request.
#include <gtest/gtest.h>

#include "desktop/decode_run.h"
#include "desktop/texts.h"

namespace vekdc::desktop {
namespace {

TEST(DecodeRun, FollowsTheRunByBytes) {
    struct row {
        const char* name;
        std::vector<std::uint64_t> sizes;
        std::size_t written;  // files reported written, in order
        std::uint64_t current;
        int percent;
    };
    const row rows[] = {
        {"nothing yet", {100, 300}, 0, 0, 0},
        {"inside the first", {100, 300}, 0, 50, 12},
        {"first done", {100, 300}, 1, 0, 25},
        {"inside a large one", {1, std::uint64_t{1} << 32}, 1, std::uint64_t{1} << 31, 50},
        {"all done", {100, 300}, 2, 0, 100},
        {"empty files count by files", {0, 0, 0, 0}, 1, 0, 25},
    };
    CMatrixCipher engine;
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        decode_run run(engine, job_options{}, r.sizes);
        for (std::size_t i = 0; i < r.written; ++i) {
            run.file_started(job_step::decode, i, "f");
            run.file_written(job_step::decode, i, "f", "g");
        }
        run.file_started(job_step::decode, r.written, "f");
        run.file_progress(job_step::decode, r.written, r.current, 0);
        // Steps of other jobs do not count.
        run.file_written(job_step::encode, 0, "e", "v");
        const decode_run::snapshot now = run.progress();
        EXPECT_EQ(now.percent(), r.percent);
        EXPECT_EQ(now.written, r.written);
        EXPECT_EQ(now.files, r.sizes.size());
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
