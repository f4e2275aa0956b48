// One decode job on a worker thread (std::thread), with the counters a
// window reads while it waits, the files the job skipped and why, the
// program-wide key cache, and the texts that report a run.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Common/matrix/matrix.h"
#include "engine/job_options.h"
#include "engine/matrix_cipher.h"

namespace vekdc::desktop {

class decode_run : public job_observer {
public:
    struct snapshot {
        std::size_t files = 0;    // files of the job
        std::size_t written = 0;  // decoded and written
        std::size_t refused = 0;  // not written (a wrong key, or a file that cannot be decoded)
        std::uint64_t current_done = 0;   // bytes of the current file handled
        std::uint64_t current_total = 0;  // of its size
        std::uint64_t bytes_done = 0;     // of all the files, once they are measured
        std::uint64_t bytes_total = 0;
        bool stopped = false;  // the job stopped at a request
        // Share of the work done: by bytes once the files are measured, else
        // by files with the current one by its bytes.
        int percent() const;
        // Files the job has finished with, written or refused.
        std::size_t done() const { return written + refused; }
    };
    // A listed file the job skipped without decoding it, and why.
    struct skipped_file {
        std::string path;
        std::string reason;  // in the user's language
    };

    // The decode of `job` (skipping files that cannot be decoded, the job's
    // files counted from its decode_file_count).
    decode_run(CMatrixCipher& engine, job_options job);
    ~decode_run() override;
    decode_run(const decode_run&) = delete;
    decode_run& operator=(const decode_run&) = delete;

    // Runs the job on a thread of its own; `finished` is called on that
    // thread when run_job has returned (a window wakes its own thread there).
    void start(std::function<void()> finished);
    // Waits for the thread, after `finished` was called.
    void join();
    // Any thread: the job stops after the current file, or inside a large one.
    void request_stop() { m_stop.store(true); }
    snapshot progress() const;
    // The files the job skipped, in job order; read once the thread is joined.
    const std::vector<skipped_file>& skipped() const { return m_skipped; }

    void file_started(job_step step, std::size_t index, const std::string& path) override;
    void file_written(job_step step, std::size_t index, const std::string& path,
                      const std::string& written_path) override;
    void file_refused(job_step step, std::size_t index, const std::string& path) override;
    bool file_unusable(job_step step, std::size_t index, const std::string& path,
                       file_problem problem, int error_number) override;
    void file_progress(job_step step, std::size_t index, std::uint64_t done,
                       std::uint64_t total) override;
    bool stop_requested() override { return m_stop.load(); }
    void job_stopped(job_step step, std::size_t index) override;

    // The worker's first step: each listed file's size, looked up by name
    // (no file is opened), so that the bars go by bytes.
    void measure_files();

private:
    void file_done();
    void file_done(std::size_t index);

    CMatrixCipher& m_engine;
    job_options m_job;
    const std::size_t m_files;
    std::atomic<std::size_t> m_written{0};
    std::atomic<std::size_t> m_refused{0};
    std::atomic<std::uint64_t> m_currentDone{0};
    std::atomic<std::uint64_t> m_currentTotal{0};
    std::vector<std::uint64_t> m_sizes;  // the worker's: each file's size, in job order
    std::atomic<std::uint64_t> m_currentSize{0};
    std::atomic<std::uint64_t> m_bytesBefore{0};  // sizes of the files done
    std::atomic<std::uint64_t> m_bytesTotal{0};
    std::vector<skipped_file> m_skipped;  // the worker's until it is joined
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_stopped{false};
    std::thread m_worker;
};

// The key read by the first decode of the program run, kept until the
// process ends: later decodes use it whatever key file is chosen meanwhile.
class key_cache {
public:
    // The kept key, or nullptr before the first decode has read one.
    static Matrix key();
    // The kept key, read from `key_path` first when there is none yet. With
    // no key and no path: the restart notice, then the end of the program
    // (status 1); a missing or short key file ends it with the reader's message.
    static Matrix load(const std::string& key_path);
    // Forgets the key (tests start each case from a fresh process state).
    static void reset();
};

// Why a file cannot serve as the key: empty when it is a readable regular
// file that holds a whole key (a shorter one would end the program at the
// first decode); else the reason, in the user's language.
std::string key_file_problem(const std::string& path);

// Names the files a run skipped in one message box (at most a screenful,
// then how many more), when there are any.
void report_skipped_files(const std::vector<decode_run::skipped_file>& skipped);

// What the status bar says while a run goes on and when it has ended.
std::string progress_text(const decode_run::snapshot& progress);
std::string summary_text(const decode_run::snapshot& end);

}  // namespace vekdc::desktop
