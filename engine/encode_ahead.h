// The small files of a batch encode, coded ahead on worker threads into
// unnamed outputs while the job's own thread names them in list order.
// Workers never name a file, say a word or end the program: whatever does
// not go plainly is handed to the job's thread as the open file alone, and
// the job takes it the ordinary way with the workers paused.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "codec/codec.h"
#include "engine/job_options.h"

namespace vekdc {

class encode_ahead {
public:
    struct list {
        const std::vector<std::string>* paths = nullptr;
        opened_plain_files* opened = nullptr;  // screened already, where the caller did
        std::string folder;                    // with its final separator
        Matrix A = nullptr;
        int clear_prefix_length = 0;
        int header_extra = 1;
        decoding_key check;
    };
    struct entry {
        plain_file file;                          // opened, with its head; not opened when `reopen`
        std::optional<platform::OutputFile> out;  // the whole encoded file, unnamed
        bool reopen = false;
    };

    // How many workers a list of `files` entries gets: none where one
    // processor or one file leaves nothing to overlap, else one fewer than
    // the processors, and four at most.
    static unsigned workers_for(std::size_t files);

    encode_ahead(list files, unsigned workers);
    ~encode_ahead();  // stops the workers; entries not taken are discarded
    encode_ahead(const encode_ahead&) = delete;
    encode_ahead& operator=(const encode_ahead&) = delete;

    // Entry `index`, once coded: taken in list order, each once.
    entry take(std::size_t index);

    // No worker runs while a pause lives: the job's thread holds one while
    // it does anything that may end the program.
    class pause {
    public:
        explicit pause(encode_ahead& ahead);
        ~pause();
        pause(const pause&) = delete;
        pause& operator=(const pause&) = delete;

    private:
        encode_ahead& ahead_;
    };

private:
    void work();
    bool claimable() const;  // under lock_
    // Codes the next entry, unlocking `guard` meanwhile.
    void code_next(std::unique_lock<std::mutex>& guard);
    entry code(std::size_t index);

    list list_;
    std::size_t window_;  // entries coded and not yet taken, at most
    std::mutex lock_;
    std::condition_variable work_;            // workers wait here for an entry to code
    std::condition_variable ready_;           // the job's thread waits here for an entry or a pause
    std::vector<std::optional<entry>> ring_;  // entry i at i % window_
    std::size_t batch_;       // room the workers are woken for at once, to wake seldom
    std::size_t next_ = 0;    // the next entry a worker codes
    std::size_t done_ = 0;    // entries coded, counted from the first without a gap
    std::size_t wanted_ = 0;  // the entry the job's thread waits for
    std::size_t taken_ = 0;   // entries the job has taken
    unsigned active_ = 0;     // workers coding an entry now
    unsigned idle_ = 0;       // workers waiting for an entry
    bool job_waits_ = false;  // the job's thread waits on `ready_`
    bool paused_ = false;
    bool quit_ = false;
    std::mutex opened_lock_;  // the caller's opened files are taken one at a time
    std::vector<std::thread> workers_;
};

}  // namespace vekdc
