#include "app/DecodeRun.h"

#include <numeric>
#include <utility>

namespace vekdc {

int DecodeRun::Snapshot::Percent() const {
    if (bytesTotal > 0) {
        return static_cast<int>(std::min<std::uint64_t>(bytesDone, bytesTotal) * 100 / bytesTotal);
    }
    return files > 0 ? static_cast<int>((written + refused) * 100 / files) : 0;
}

DecodeRun::DecodeRun(std::vector<std::uint64_t> sizes)
    : sizes_(std::move(sizes)),
      total_(std::accumulate(sizes_.begin(), sizes_.end(), std::uint64_t{0})) {}

DecodeRun::~DecodeRun() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

void DecodeRun::Start(CMatrixCipher& engine, job_options options, std::function<void()> finished) {
    worker_ = std::thread(
        [this, &engine, options = std::move(options), finished = std::move(finished)]() mutable {
            engine.run_job(std::move(options), this);
            finished();
        });
}

void DecodeRun::Join() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

DecodeRun::Snapshot DecodeRun::Progress() const {
    Snapshot snapshot;
    snapshot.files = sizes_.size();
    snapshot.written = written_.load();
    snapshot.refused = refused_.load();
    snapshot.bytesDone = bytesBefore_.load() + bytesCurrent_.load();
    snapshot.bytesTotal = total_;
    snapshot.stopped = stopped_.load();
    return snapshot;
}

void DecodeRun::file_started(job_step step, std::size_t /*index*/, const std::string& /*path*/) {
    if (step == job_step::decode) {
        bytesCurrent_.store(0);
    }
}

void DecodeRun::file_written(job_step step, std::size_t index, const std::string& /*path*/,
                             const std::string& /*written_path*/) {
    if (step == job_step::decode) {
        ++written_;
        FileDone(index);
    }
}

void DecodeRun::file_refused(job_step step, std::size_t index, const std::string& /*path*/) {
    if (step == job_step::decode) {
        ++refused_;
        FileDone(index);
    }
}

void DecodeRun::file_progress(job_step step, std::size_t /*index*/, std::uint64_t done,
                              std::uint64_t /*total*/) {
    if (step == job_step::decode) {
        bytesCurrent_.store(done);
    }
}

void DecodeRun::job_stopped(job_step /*step*/, std::size_t /*index*/) {
    bytesCurrent_.store(0);
    stopped_.store(true);
}

void DecodeRun::FileDone(std::size_t index) {
    bytesCurrent_.store(0);
    bytesBefore_ += index < sizes_.size() ? sizes_[index] : 0;
}

}  // namespace vekdc
