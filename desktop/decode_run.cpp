#include "desktop/decode_run.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "codec/codec.h"
#include "codec/dimensions.h"
#include "desktop/file_names.h"
#include "desktop/texts.h"
#include "platform/file.h"
#include "platform/language.h"
#include "platform/services.h"

namespace vekdc::desktop {

namespace {

constexpr int kKeyRows = kPlainLength;  // 11
constexpr int kKeyCols = kBlockLength;  // 12

// A refusal names this many files, then says how many more there are.
constexpr std::size_t kNamedProblems = 20;

MatrixPtr& cached_key() {
    static MatrixPtr key;
    return key;
}

struct problem_text {
    file_problem problem;
    text_id text;
};
constexpr problem_text kProblems[] = {
    {file_problem::missing, text_id::problem_missing},
    {file_problem::folder, text_id::problem_folder},
    {file_problem::not_regular, text_id::problem_not_regular},
    {file_problem::cannot_read, text_id::problem_cannot_read},
    {file_problem::unknown_type, text_id::problem_unknown_type},
};

std::string describe_problem(file_problem problem, int error_number) {
    text_id id = text_id::problem_not_encrypted;
    for (const problem_text& entry : kProblems) {
        if (entry.problem == problem) {
            id = entry.text;
        }
    }
    std::string reason(text(id));
    if (error_number != 0) {
        reason += " (" + std::string(std::strerror(error_number)) + ")";
    }
    return reason;
}

}  // namespace

namespace {

// part × whole / of, without overflow for any 64-bit sizes.
std::uint64_t share(std::uint64_t part, std::uint64_t of, std::uint64_t whole) {
    if (of == 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(static_cast<long double>(std::min(part, of)) *
                                      static_cast<long double>(whole) /
                                      static_cast<long double>(of));
}

}  // namespace

int decode_run::snapshot::percent() const {
    if (bytes_total > 0) {
        return static_cast<int>(share(bytes_done, bytes_total, 100));
    }
    if (files == 0) {
        return 0;
    }
    const std::uint64_t current = share(current_done, current_total, 100);
    return static_cast<int>(std::min<std::uint64_t>((done() * 100 + current) / files, 100));
}

decode_run::decode_run(CMatrixCipher& engine, job_options job)
    : m_engine(engine),
      m_job(std::move(job)),
      m_files(static_cast<std::size_t>(std::max(m_job.decode_file_count, 0))) {
    m_job.skip_unusable_files = true;
}

decode_run::~decode_run() {
    join();
}

void decode_run::start(std::function<void()> finished) {
    m_worker = std::thread([this, finished = std::move(finished)] {
        measure_files();
        m_engine.run_job(std::move(m_job), this);
        finished();
    });
}

void decode_run::join() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

decode_run::snapshot decode_run::progress() const {
    snapshot now;
    now.files = m_files;
    now.written = m_written.load();
    now.refused = m_refused.load();
    now.current_done = m_currentDone.load();
    now.current_total = m_currentTotal.load();
    now.bytes_total = m_bytesTotal.load();
    if (now.bytes_total > 0) {
        now.bytes_done =
            m_bytesBefore.load() + share(now.current_done, now.current_total, m_currentSize.load());
    }
    now.stopped = m_stopped.load();
    return now;
}

void decode_run::measure_files() {
    m_sizes.clear();
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < m_files && i < m_job.decode_files.size(); ++i) {
        m_sizes.push_back(platform::file_status(m_job.decode_files[i]).size);
        total += m_sizes.back();
    }
    m_bytesTotal.store(total);
}

void decode_run::file_started(job_step step, std::size_t index, const std::string& /*path*/) {
    if (step == job_step::decode) {
        file_done();
        m_currentSize.store(index < m_sizes.size() ? m_sizes[index] : 0);
    }
}

void decode_run::file_written(job_step step, std::size_t index, const std::string& /*path*/,
                              const std::string& /*written_path*/) {
    if (step == job_step::decode) {
        ++m_written;
        file_done(index);
    }
}

void decode_run::file_refused(job_step step, std::size_t index, const std::string& /*path*/) {
    if (step == job_step::decode) {
        ++m_refused;
        file_done(index);
    }
}

bool decode_run::file_unusable(job_step step, std::size_t index, const std::string& path,
                               file_problem problem, int error_number) {
    file_refused(step, index, path);
    if (problem == file_problem::none) {
        return true;  // it failed while it was read, and the decoder said so
    }
    m_skipped.push_back({path, describe_problem(problem, error_number)});
    return true;
}

void decode_run::file_progress(job_step step, std::size_t /*index*/, std::uint64_t done,
                               std::uint64_t total) {
    if (step == job_step::decode) {
        m_currentTotal.store(total);
        m_currentDone.store(done);
    }
}

void decode_run::job_stopped(job_step /*step*/, std::size_t /*index*/) {
    file_done();
    m_stopped.store(true);
}

void decode_run::file_done() {
    m_currentDone.store(0);
    m_currentTotal.store(0);
}

void decode_run::file_done(std::size_t index) {
    file_done();
    m_bytesBefore += index < m_sizes.size() ? m_sizes[index] : 0;
}

Matrix key_cache::key() {
    return cached_key().get();
}

Matrix key_cache::load(const std::string& key_path) {
    if (cached_key() == nullptr) {
        if (key_path.empty()) {
            platform::services().message_box(std::string(text(text_id::restart)),
                                             platform::notice(platform::kDecoderCaption),
                                             platform::Buttons::Ok, platform::Icon::Information);
            platform::exit_program(1);
        }
        // A missing or short key file ends the program with the reader's message.
        cached_key().reset(read_matrix_from_binary_file(kKeyRows, kKeyCols, key_path));
    }
    return cached_key().get();
}

void key_cache::reset() {
    cached_key().reset();
}

std::string key_file_problem(const std::string& path) {
    const platform::FileStatus status = platform::file_status(path);
    switch (status.kind) {
        case platform::FileKind::Missing:
            return describe_problem(file_problem::missing, 0);
        case platform::FileKind::Folder:
            return describe_problem(file_problem::folder, 0);
        case platform::FileKind::Pipe:
        case platform::FileKind::Other:
            return describe_problem(file_problem::not_regular, 0);
        case platform::FileKind::Regular:
            break;
    }
    errno = 0;
    if (!platform::InputFile::open(path)) {
        return describe_problem(file_problem::cannot_read, errno);
    }
    constexpr std::uint64_t kKeyBytes = std::uint64_t{kKeyRows} * kKeyCols * sizeof(double);
    if (status.size < kKeyBytes) {
        return std::string(text(text_id::problem_short_key));
    }
    return std::string();
}

void report_skipped_files(const std::vector<decode_run::skipped_file>& skipped) {
    if (skipped.empty()) {
        return;
    }
    std::string message(text(text_id::cannot_decode));
    for (std::size_t i = 0; i < std::min(skipped.size(), kNamedProblems); ++i) {
        message += '\n' + display_name(skipped[i].path) + ": " + skipped[i].reason;
    }
    if (skipped.size() > kNamedProblems) {
        message +=
            '\n' + format(text_id::and_more, {std::to_string(skipped.size() - kNamedProblems)});
    }
    platform::services().message_box(message, platform::notice(platform::kDecoderCaption),
                                     platform::Buttons::Ok, platform::Icon::Exclamation);
}

std::string progress_text(const decode_run::snapshot& progress) {
    return format(text_id::decoding_progress,
                  {std::to_string(progress.done()), std::to_string(progress.files)});
}

std::string summary_text(const decode_run::snapshot& end) {
    return format(end.stopped ? text_id::run_cancelled : text_id::run_finished,
                  {std::to_string(end.written), std::to_string(end.refused)});
}

}  // namespace vekdc::desktop
