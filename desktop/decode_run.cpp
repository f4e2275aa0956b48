#include "desktop/decode_run.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>
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

int decode_run::snapshot::percent() const {
    if (bytes_total > 0) {
        return static_cast<int>(std::min(bytes_done, bytes_total) * 100 / bytes_total);
    }
    return files > 0 ? static_cast<int>(done() * 100 / files) : 0;
}

decode_run::decode_run(CMatrixCipher& engine, job_options job, std::vector<std::uint64_t> sizes)
    : m_engine(engine),
      m_job(std::move(job)),
      m_sizes(std::move(sizes)),
      m_total(std::accumulate(m_sizes.begin(), m_sizes.end(), std::uint64_t{0})) {}

decode_run::~decode_run() {
    join();
}

void decode_run::start(std::function<void()> finished) {
    m_worker = std::thread([this, finished = std::move(finished)] {
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
    now.files = m_sizes.size();
    now.written = m_written.load();
    now.refused = m_refused.load();
    now.bytes_done = m_bytesBefore.load() + m_bytesCurrent.load();
    now.bytes_total = m_total;
    now.stopped = m_stopped.load();
    return now;
}

void decode_run::file_started(job_step step, std::size_t /*index*/, const std::string& /*path*/) {
    if (step == job_step::decode) {
        m_bytesCurrent.store(0);
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

void decode_run::file_progress(job_step step, std::size_t /*index*/, std::uint64_t done,
                               std::uint64_t /*total*/) {
    if (step == job_step::decode) {
        m_bytesCurrent.store(done);
    }
}

void decode_run::job_stopped(job_step /*step*/, std::size_t /*index*/) {
    m_bytesCurrent.store(0);
    m_stopped.store(true);
}

void decode_run::file_done(std::size_t index) {
    m_bytesCurrent.store(0);
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

bool check_listed_files(const std::vector<std::string>& files, std::vector<std::uint64_t>& sizes) {
    sizes.clear();
    sizes.reserve(files.size());
    std::vector<std::string> problems;
    for (const std::string& file : files) {
        const encrypted_inspection inspection = inspect_encrypted_file(file);
        if (inspection.problem != file_problem::none) {
            problems.push_back(display_name(file) + ": " +
                               describe_problem(inspection.problem, inspection.error_number));
        }
        sizes.push_back(inspection.facts.size);
    }
    if (problems.empty()) {
        return true;
    }
    std::string message(text(text_id::cannot_decode));
    for (std::size_t i = 0; i < std::min(problems.size(), kNamedProblems); ++i) {
        message += '\n' + problems[i];
    }
    if (problems.size() > kNamedProblems) {
        message +=
            '\n' + format(text_id::and_more, {std::to_string(problems.size() - kNamedProblems)});
    }
    platform::services().message_box(message, platform::notice(platform::kDecoderCaption),
                                     platform::Buttons::Ok, platform::Icon::Exclamation);
    return false;
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
