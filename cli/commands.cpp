#include "cli/commands.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "cli/output.h"
#include "cli/precheck.h"
#include "cli/progress.h"
#include "codec/codec.h"
#include "engine/key_check.h"
#include "engine/matrix_cipher.h"
#include "platform/environment.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/services.h"

namespace vekdc::cli {

namespace {

using platform::Answer;

// The engine's words for an output file it cannot create.
constexpr std::string_view kDecodeFolderError = "dec out file open error";
constexpr std::string_view kEncodeFolderError = "enc out file open error";

// Prints what the job wrote, feeds the progress line and counts what became
// of each file and key.
class run_report : public job_observer {
public:
    run_report(verbosity level, cli_services& services) : level_(level), services_(services) {}

    void attach(progress_line* progress) { progress_ = progress; }

    void file_started(job_step /*step*/, std::size_t /*index*/, const std::string& path) override {
        size_ = 0;
        if (progress_ != nullptr) {
            progress_->file_started(path);
        }
    }
    void file_opened(job_step step, std::size_t /*index*/, const file_facts& facts) override {
        size_ = facts.size;
        if (level_ == verbosity::verbose) {
            facts_ =
                step == job_step::decode ? encrypted_facts_text(facts) : plain_facts_text(facts);
        }
    }
    void file_progress(job_step /*step*/, std::size_t /*index*/, std::uint64_t done,
                       std::uint64_t /*total*/) override {
        if (progress_ != nullptr) {
            progress_->file_progress(done);
        }
    }
    void file_written(job_step /*step*/, std::size_t /*index*/, const std::string& path,
                      const std::string& written_path) override {
        ++written_;
        if (level_ != verbosity::quiet) {
            const std::string written = platform::shown_path(written_path);
            print(path.empty() ? written : platform::shown_path(path) + " -> " + written);
        }
        if (level_ == verbosity::verbose && !path.empty()) {
            print("  " + facts_);
        }
        finished();
    }
    void file_refused(job_step /*step*/, std::size_t /*index*/,
                      const std::string& /*path*/) override {
        ++refused_;
        finished();
    }
    bool file_unusable(job_step /*step*/, std::size_t /*index*/, const std::string& /*path*/,
                       file_problem /*problem*/, int /*error_number*/) override {
        ++unusable_;
        finished();
        return false;
    }
    void key_written(const std::string& path) override {
        ++keys_;
        if (level_ != verbosity::quiet) {
            print(platform::shown_path(path));
        }
    }
    void folder_created(const std::string& folder) override {
        services_.inform("created the output folder " + platform::shown_path(folder));
    }

    std::size_t written() const { return written_; }
    std::size_t refused() const { return refused_; }
    std::size_t unusable() const { return unusable_; }
    std::size_t keys() const { return keys_; }

private:
    void print(const std::string& line) {
        if (progress_ != nullptr) {
            progress_->clear();
        }
        print_line(line);
    }
    void finished() {
        if (progress_ != nullptr) {
            progress_->file_finished(size_);
        }
    }

    verbosity level_;
    cli_services& services_;
    progress_line* progress_ = nullptr;
    std::uint64_t size_ = 0;  // of the current file, once opened
    std::string facts_;       // of the current file, once opened
    std::size_t written_ = 0;
    std::size_t refused_ = 0;
    std::size_t unusable_ = 0;
    std::size_t keys_ = 0;
};

// The bytes of the listed files, for the progress line's total: looked up
// only where the line is shown (a file that cannot be looked at counts 0).
std::uint64_t total_bytes(const std::vector<std::string>& files) {
    std::uint64_t bytes = 0;
    for (const std::string& file : files) {
        bytes += platform::file_status(file).size;
    }
    return bytes;
}

// The progress line of one job, shown while the scope lasts when standard
// error is a terminal and the run is not quiet.
class progress_scope {
public:
    progress_scope(cli_services& services, run_report& report, const console_facts& console,
                   verbosity level, const std::vector<std::string>& files)
        : services_(services), report_(report) {
        if (!console.show_progress || level == verbosity::quiet) {
            return;
        }
        line_.emplace([](std::string_view text) { std::cerr << text << std::flush; },
                      [] { return progress_line::clock::now(); }, console.columns, files.size(),
                      total_bytes(files));
        report_.attach(&*line_);
        services_.set_before_output([this] { line_->clear(); });
    }
    ~progress_scope() {
        if (line_) {
            line_->clear();
            services_.set_before_output({});
            report_.attach(nullptr);
        }
    }
    progress_scope(const progress_scope&) = delete;
    progress_scope& operator=(const progress_scope&) = delete;

private:
    cli_services& services_;
    run_report& report_;
    std::optional<progress_line> line_;
};

// Runs a job with the report and, on a terminal, the progress line.
void run_reported(job_options job, run_report& report, cli_services& services,
                  const console_facts& console, verbosity level) {
    const std::vector<std::string>& files = job.decode ? job.decode_files : job.encode_files;
    progress_scope progress(services, report, console, level, files);
    CMatrixCipher().run_job(std::move(job), &report);
}

void report_problems(const std::vector<std::string>& problems) {
    for (const std::string& problem : problems) {
        platform::app_message(problem);
    }
}

// A decoding key read in path mode; the reader ends the program for a file
// that holds no key.
MatrixPtr load_decoding_key(const std::string& path) {
    return MatrixPtr(read_matrix_from_binary_file(kPlainLength, kBlockLength, path));
}

// Whether the output folder's name is taken by something that is not a
// folder; true after a message starting with `failure`. Asked before the
// keys and the inputs, so that an unusable folder wins over every other problem.
bool output_folder_taken(const std::string& folder, std::string_view failure) {
    if (folder.empty()) {
        return false;
    }
    const platform::FileKind kind = platform::file_status(folder).kind;
    if (kind == platform::FileKind::Missing || kind == platform::FileKind::Folder) {
        return false;
    }
    platform::app_message(platform::about_file(std::string(failure), folder, ENOTDIR));
    return true;
}

// A folder that must exist already (keys are never written into a folder
// made by mistake); false after a notice.
bool existing_folder(const std::string& folder, const std::string& what, cli_services& services) {
    const platform::FileKind kind = platform::file_status(folder).kind;
    if (kind == platform::FileKind::Folder) {
        return true;
    }
    services.notice(what + " " + platform::shown_path(folder) +
                    (kind == platform::FileKind::Missing ? " does not exist; create it first"
                                                         : " is not a folder"));
    return false;
}

// What the options of a batch job add for vekdc-cli: files that cannot be
// coded are named and skipped, and the output folder is made when the first
// file is about to be written into it.
job_options& as_cli_job(job_options& job) {
    job.skip_unusable_files = true;
    job.create_out_dirs = true;
    return job;
}

// ---------------------------------------------------------------- commands

int run_decode(const parsed_command& command, cli_services& services,
               const console_facts& console) {
    const std::string out_dir = command.output.value_or("");
    if (output_folder_taken(out_dir, kDecodeFolderError)) {
        return kOutputFolderStatus;
    }
    const MatrixPtr key = load_decoding_key(command.keys.front());
    job_options job = decode_job(key.get(), command.files, out_dir);
    job.key_to_use_file = command.keys.front();
    job.open_viewers = command.view;
    run_report report(command.verbosity, services);
    run_reported(std::move(as_cli_job(job)), report, services, console, command.verbosity);
    if (report.unusable() > 0 ||
        report.written() + report.refused() + report.unusable() != command.files.size()) {
        return 1;
    }
    return report.refused() > 0 ? kWrongKeyStatus : 0;
}

int run_encode(const parsed_command& command, cli_services& services,
               const console_facts& console) {
    if (output_folder_taken(command.output.value_or(""), kEncodeFolderError)) {
        return kOutputFolderStatus;
    }
    MatrixPtr key;
    if (!command.keys.empty()) {
        key = load_decoding_key(command.keys.front());
    } else if (command.encoding_key->empty()) {
        // No name can stand for the file the key dialog chose (an empty one
        // cancels it): the reader refuses it, as any name that opens nothing.
        read_matrix_from_binary_file(kBlockLength, kPlainLength, *command.encoding_key);
    }
    const std::string out_dir = platform::with_final_separator(command.output.value_or(""));
    screened_plain_files inputs(command.files, command.clear_prefix_length);
    if (!inputs.problems().empty()) {
        report_problems(inputs.problems());
        return 1;
    }
    job_options job;
    if (key) {
        job = encode_job(key.get(), command.files, out_dir, command.clear_prefix_length,
                         command.header_extra);
        job.key_to_use_file = command.keys.front();
    } else {
        // The engine asks for A with a box ("Give me A") and a file dialog.
        services.preset_answer(Answer::Ok);
        services.preset_file(*command.encoding_key);
        job = encode_job_reading_A(command.files, out_dir, command.clear_prefix_length,
                                   command.header_extra);
    }
    job.opened_encode_files = &inputs;
    run_report report(command.verbosity, services);
    run_reported(std::move(as_cli_job(job)), report, services, console, command.verbosity);
    return report.written() == command.files.size() ? 0 : 1;
}

std::string check_line(const std::string& path, const encrypted_facts& facts,
                       const std::vector<std::string>& openers) {
    std::string line = platform::shown_path(path) + ": type " +
                       std::string(extension_of_type(facts.type_code).value_or("?")) +
                       ", clear prefix " + std::to_string(facts.clear_prefix_length) + " bytes, ";
    if (openers.empty()) {
        return line + "opened by no given key";
    }
    line += "opened by ";
    for (std::size_t i = 0; i < openers.size(); ++i) {
        line += (i == 0 ? "" : ", ") + platform::shown_path(openers[i]);
    }
    return line;
}

// Reads the header and the cipher block of each file, once, and tries every
// key on it.
int run_check(const parsed_command& command) {
    std::vector<MatrixPtr> keys;
    for (const std::string& path : command.keys) {
        keys.push_back(load_decoding_key(path));
    }
    const key_tester tester;
    bool unreadable = false;
    bool unopened = false;
    for (const std::string& path : command.files) {
        const encrypted_inspection seen = open_encrypted_file(path).inspection;
        if (seen.problem != file_problem::none) {
            platform::app_message(encrypted_problem_message(path, seen));
            unreadable = true;
            continue;
        }
        std::vector<std::string> openers;
        for (std::size_t k = 0; k < keys.size(); ++k) {
            if (tester.opens(seen.facts, keys[k].get())) {
                openers.push_back(command.keys[k]);
            }
        }
        unopened = unopened || openers.empty();
        if (command.verbosity != verbosity::quiet) {
            print_line(check_line(path, seen.facts, openers));
        }
        if (command.verbosity == verbosity::verbose) {
            print_line("  " + encrypted_facts_text({seen.facts.size, seen.facts.type_code,
                                                    seen.facts.clear_prefix_length}));
        }
    }
    return unreadable ? 1 : unopened ? kWrongKeyStatus : 0;
}

int run_keygen(const parsed_command& command, cli_services& services) {
    const std::string folder = command.key_folder.value_or("");
    if (!folder.empty() && !existing_folder(folder, "the key folder", services)) {
        return 1;
    }
    run_report report(command.verbosity, services);
    CMatrixCipher().run_job(
        create_keys_job(command.create_A, command.random, platform::with_final_separator(folder)),
        &report);
    return report.keys() == 2 ? 0 : 1;
}

// The drive keyset writes to on Windows when no folder stands for it.
constexpr const char* kRealDriveD = "D:\\";
constexpr std::size_t kKeySetKeys = 4;   // the master key and three daughter keys
constexpr std::size_t kKeySetFiles = 6;  // two per encoding key
// The road's questions besides the file dialogs: the opening notice, one
// prompt per encoding key and the closing notice.
constexpr int kKeySetQuestions = 5;

int run_keyset(const parsed_command& command, cli_services& services,
               const console_facts& console) {
    std::string drive =
        command.drive_d.value_or(platform::environment_variable("VEKDC_DRIVE_D").value_or(""));
    // Where drive letters are the system's own, D: is the drive itself.
    const bool real_drive = drive.empty() && platform::kDrivesAreNative;
    if (real_drive) {
        drive = kRealDriveD;
    }
    if (drive.empty()) {
        std::cerr << usage_error_text({"keyset",
                                       "no folder stands for drive D: give --drive-d DIR or set "
                                       "VEKDC_DRIVE_D"});
        return kUsageStatus;
    }
    if (command.files.empty() && !console.can_ask) {
        std::cerr << usage_error_text(
            {"keyset", "without a terminal to ask on, give the six files to encode"});
        return kUsageStatus;
    }
    if (!existing_folder(drive, "the folder for drive D:", services)) {
        return 1;
    }
    if (!command.files.empty()) {
        const screened_plain_files inputs(command.files, 0);
        if (!inputs.problems().empty()) {
            report_problems(inputs.problems());
            return 1;
        }
        for (int i = 0; i < kKeySetQuestions; ++i) {
            services.preset_answer(Answer::Ok);
        }
        for (const std::string& file : command.files) {
            services.preset_file(file);
        }
    }
    if (!real_drive) {
        platform::set_environment_variable("VEKDC_DRIVE_D", drive);
    }
    run_report report(command.verbosity, services);
    CMatrixCipher().run_job(key_set_job(), &report);
    if (report.keys() != kKeySetKeys || report.written() != kKeySetFiles) {
        services.notice("keyset: the key set is not complete: " + std::to_string(report.keys()) +
                        " of 4 keys written, " + std::to_string(report.written()) +
                        " of 6 files encoded");
        return 1;
    }
    return 0;
}

}  // namespace

int run_command(const parsed_command& command, cli_services& services,
                const console_facts& console) {
    // Nothing the command names is ever taken for a leftover of a killed run.
    std::vector<std::string> given = command.files;
    given.insert(given.end(), command.keys.begin(), command.keys.end());
    if (command.encoding_key) {
        given.push_back(*command.encoding_key);
    }
    platform::spare_from_clearing(given);
    switch (command.command) {
        case command_kind::decode:
            return run_decode(command, services, console);
        case command_kind::encode:
            return run_encode(command, services, console);
        case command_kind::check:
            return run_check(command);
        case command_kind::keygen:
            return run_keygen(command, services);
        case command_kind::keyset:
            return run_keyset(command, services, console);
    }
    return kUsageStatus;  // not reached: every command is handled above
}

}  // namespace vekdc::cli
