#include "engine/encode_ahead.h"

#include <algorithm>

namespace vekdc {

namespace {

// Entries in flight per worker: enough to keep it busy while the job's
// thread names the finished ones, which it waits for half of them at a time;
// each holds at most two files and a head of kEncoderHead bytes.
constexpr std::size_t kEntriesPerWorker = 16;
// Workers at most: what is in flight stays within 4 MiB of heads.
constexpr unsigned kMostWorkers = 4;

}  // namespace

unsigned encode_ahead::workers_for(std::size_t files) {
    const unsigned processors = std::thread::hardware_concurrency();
    if (processors < 2 || files < 2) {
        return 0;
    }
    // One processor is left to the job's thread, which names and reports.
    return static_cast<unsigned>(std::min<std::size_t>({processors - 1, kMostWorkers, files}));
}

encode_ahead::encode_ahead(list files, unsigned workers)
    : list_(std::move(files)),
      window_(kEntriesPerWorker * std::max(workers, 1u)),
      ring_(window_),
      batch_(window_ / 2) {
    workers_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) {
        workers_.emplace_back([this] { work(); });
    }
}

encode_ahead::~encode_ahead() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        quit_ = true;
    }
    work_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

encode_ahead::entry encode_ahead::take(std::size_t index) {
    std::unique_lock<std::mutex> guard(lock_);
    while (done_ <= index) {
        if (claimable()) {
            code_next(guard);  // the job's thread helps rather than waits
            continue;
        }
        wanted_ = index;
        job_waits_ = true;
        ready_.wait(guard, [&] { return done_ > index; });
        job_waits_ = false;
    }
    std::optional<entry>& slot = ring_[index % window_];
    entry taken = std::move(*slot);
    slot.reset();
    ++taken_;
    if (idle_ > 0 && taken_ + window_ >= next_ + batch_) {
        work_.notify_all();  // room for a batch more
    }
    return taken;
}

encode_ahead::pause::pause(encode_ahead& ahead) : ahead_(ahead) {
    std::unique_lock<std::mutex> guard(ahead_.lock_);
    ahead_.paused_ = true;
    ahead_.wanted_ = 0;
    ahead_.job_waits_ = true;
    ahead_.ready_.wait(guard, [&] { return ahead_.active_ == 0; });
    ahead_.job_waits_ = false;
}

encode_ahead::pause::~pause() {
    std::lock_guard<std::mutex> guard(ahead_.lock_);
    ahead_.paused_ = false;
    if (ahead_.idle_ > 0) {
        ahead_.work_.notify_all();
    }
}

bool encode_ahead::claimable() const {
    return !paused_ && next_ < list_.paths->size() && next_ < taken_ + window_;
}

void encode_ahead::code_next(std::unique_lock<std::mutex>& guard) {
    const std::size_t index = next_++;
    ++active_;
    guard.unlock();
    entry coded = code(index);
    guard.lock();
    ring_[index % window_] = std::move(coded);
    --active_;
    while (done_ < next_ && ring_[done_ % window_]) {
        ++done_;
    }
    if (job_waits_ && (done_ > wanted_ || (paused_ && active_ == 0))) {
        ready_.notify_one();
    }
}

void encode_ahead::work() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        while (!quit_ && !claimable()) {
            ++idle_;
            work_.wait(guard);
            --idle_;
        }
        if (quit_) {
            return;
        }
        code_next(guard);
    }
}

encode_ahead::entry encode_ahead::code(std::size_t index) {
    const std::string& path = (*list_.paths)[index];
    entry coded;
    try {
        bool screened = false;
        if (list_.opened != nullptr) {
            std::lock_guard<std::mutex> guard(opened_lock_);
            screened = list_.opened->take(index, coded.file);
        }
        if (!screened) {
            coded.file = open_plain_file(path, list_.clear_prefix_length);
        } else if (coded.file.inspection.problem == file_problem::none) {
            read_plain_head(coded.file);
        }
        coded.out = encode_unnamed(coded.file, encoded_path(path, list_.folder), list_.A,
                                   list_.clear_prefix_length, list_.header_extra, list_.check);
    } catch (...) {
        // Out of memory, most likely: the job's thread tries again and says why.
        coded = entry{};
        coded.reopen = true;
    }
    return coded;
}

}  // namespace vekdc
