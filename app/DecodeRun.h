// One decode job on a worker thread. The engine reports to this observer on
// the worker; the window's thread reads a snapshot whenever it repaints and
// may ask the job to stop.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "engine/job_options.h"
#include "engine/matrix_cipher.h"

namespace vekdc {

class DecodeRun : public job_observer {
public:
    struct Snapshot {
        std::size_t files = 0;    // files of the job
        std::size_t written = 0;  // decoded and written
        std::size_t refused = 0;  // not written (a wrong key)
        std::uint64_t bytesDone = 0;
        std::uint64_t bytesTotal = 0;
        bool stopped = false;  // the job stopped at a request
        // Share of the work done, by bytes (by files when the files are empty).
        int Percent() const;
    };

    // `sizes`: the byte size of each file of the job, in job order.
    explicit DecodeRun(std::vector<std::uint64_t> sizes);
    ~DecodeRun() override;
    DecodeRun(const DecodeRun&) = delete;
    DecodeRun& operator=(const DecodeRun&) = delete;

    // Runs the job on a thread of its own; `finished` is called on that
    // thread when run_job has returned.
    void Start(CMatrixCipher& engine, job_options options, std::function<void()> finished);
    // Waits for the thread after `finished` was called.
    void Join();
    // Any thread: the job stops after the current file, or inside a large one.
    void RequestStop() { stop_.store(true); }
    Snapshot Progress() const;

    void file_started(job_step step, std::size_t index, const std::string& path) override;
    void file_written(job_step step, std::size_t index, const std::string& path,
                      const std::string& written_path) override;
    void file_refused(job_step step, std::size_t index, const std::string& path) override;
    void file_progress(job_step step, std::size_t index, std::uint64_t done,
                       std::uint64_t total) override;
    bool stop_requested() override { return stop_.load(); }
    void job_stopped(job_step step, std::size_t index) override;

private:
    void FileDone(std::size_t index);

    const std::vector<std::uint64_t> sizes_;
    std::uint64_t total_ = 0;
    std::atomic<std::size_t> written_{0};
    std::atomic<std::size_t> refused_{0};
    std::atomic<std::uint64_t> bytesBefore_{0};  // sizes of the files done
    std::atomic<std::uint64_t> bytesCurrent_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> stopped_{false};
    std::thread worker_;
};

}  // namespace vekdc
