#include "cli/commands.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <system_error>

#include "cli/precheck.h"
#include "cli/progress.h"
#include "codec/codec.h"
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
    // sizes[i] and facts[i] belong to the i-th file of the job's list.
    run_report(verbosity level, std::vector<std::uint64_t> sizes, std::vector<std::string> facts)
        : level_(level), sizes_(std::move(sizes)), facts_(std::move(facts)) {}

    void attach(progress_line* progress) { progress_ = progress; }

    void file_started(job_step /*step*/, std::size_t /*index*/, const std::string& path) override {
        if (progress_ != nullptr) {
            progress_->file_started(path);
        }
    }
    void file_progress(job_step /*step*/, std::size_t /*index*/, std::uint64_t done,
                       std::uint64_t /*total*/) override {
        if (progress_ != nullptr) {
            progress_->file_progress(done);
        }
    }
    void file_written(job_step /*step*/, std::size_t index, const std::string& path,
                      const std::string& written_path) override {
        ++written_;
        if (level_ != verbosity::quiet) {
            print(path.empty() ? written_path : path + " -> " + written_path);
        }
        if (level_ == verbosity::verbose && index < facts_.size()) {
            print("  " + facts_[index]);
        }
        finished(index);
    }
    void file_refused(job_step /*step*/, std::size_t index, const std::string& /*path*/) override {
        ++refused_;
        finished(index);
    }
    void key_written(const std::string& path) override {
        ++keys_;
        if (level_ != verbosity::quiet) {
            print(path);
        }
    }

    std::size_t written() const { return written_; }
    std::size_t refused() const { return refused_; }
    std::size_t keys() const { return keys_; }

private:
    void print(const std::string& line) {
        if (progress_ != nullptr) {
            progress_->clear();
        }
        std::cout << line << '\n' << std::flush;
    }
    void finished(std::size_t index) {
        if (progress_ != nullptr) {
            progress_->file_finished(index < sizes_.size() ? sizes_[index] : 0);
        }
    }

    verbosity level_;
    std::vector<std::uint64_t> sizes_;
    std::vector<std::string> facts_;
    progress_line* progress_ = nullptr;
    std::size_t written_ = 0;
    std::size_t refused_ = 0;
    std::size_t keys_ = 0;
};

// The progress line of one job, shown while the scope lasts when standard
// error is a terminal and the run is not quiet.
class progress_scope {
public:
    progress_scope(cli_services& services, run_report& report, const console_facts& console,
                   verbosity level, std::size_t files, std::uint64_t bytes)
        : services_(services), report_(report) {
        if (!console.show_progress || level == verbosity::quiet) {
            return;
        }
        line_.emplace([](std::string_view text) { std::cerr << text << std::flush; },
                      [] { return progress_line::clock::now(); }, console.columns, files, bytes);
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

std::string system_reason(int error_number) {
    return std::error_code(error_number, std::generic_category()).message();
}

void report_problems(const std::vector<std::string>& problems) {
    for (const std::string& problem : problems) {
        platform::app_message(problem);
    }
}

// A key read in path mode, or null after a message naming the file. The
// reader itself ends the program for a file it cannot read.
MatrixPtr load_key(const std::string& path, int rows, int cols) {
    if (const auto problem = key_file_problem(path)) {
        platform::app_message(*problem);
        return nullptr;
    }
    return MatrixPtr(
        read_matrix_from_binary_file(false, false, rows, cols, nullptr, nullptr, path));
}

MatrixPtr load_decoding_key(const std::string& path) {
    return load_key(path, kPlainLength, kBlockLength);
}

// Whether the output folder's name is taken by something that is not a
// folder; true after a message starting with `failure`. Asked before the
// inputs, so that an unusable folder wins over every other problem.
bool output_folder_taken(const std::string& folder, std::string_view failure) {
    if (folder.empty()) {
        return false;
    }
    const platform::FileKind kind = platform::file_status(folder).kind;
    if (kind == platform::FileKind::Missing || kind == platform::FileKind::Folder) {
        return false;
    }
    platform::app_message(file_message(failure, folder, system_reason(ENOTDIR)));
    return true;
}

// The output folder of a decode or encode, created when it does not exist.
// False after a message starting with `failure` when it cannot be used.
bool prepare_output_folder(const std::string& folder, std::string_view failure,
                           cli_services& services) {
    if (folder.empty() || platform::file_status(folder).kind == platform::FileKind::Folder) {
        return true;
    }
    if (const int error = platform::make_folders(folder)) {
        platform::app_message(file_message(failure, folder, system_reason(error)));
        return false;
    }
    services.notice("created the output folder " + folder);
    return true;
}

// A folder that must exist already (keys are never written into a folder
// made by mistake); false after a notice.
bool existing_folder(const std::string& folder, const std::string& what, cli_services& services) {
    const platform::FileKind kind = platform::file_status(folder).kind;
    if (kind == platform::FileKind::Folder) {
        return true;
    }
    services.notice(what + " " + folder +
                    (kind == platform::FileKind::Missing ? " does not exist; create it first"
                                                         : " is not a folder"));
    return false;
}

MatrixPtr identity_inverse() {
    const int n = kPlainLength;
    MatrixPtr J(alloc_matrix(n, n));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            J.get()[i][j] = i == j ? 1.0 : 0.0;
        }
    }
    return MatrixPtr(inverse_matrix(J.get(), n));
}

// ---------------------------------------------------------------- commands

int run_decode(const parsed_command& command, cli_services& services,
               const console_facts& console) {
    const std::string out_dir = command.output.value_or("");
    if (output_folder_taken(out_dir, kDecodeFolderError)) {
        return kOutputFolderStatus;
    }
    const MatrixPtr key = load_decoding_key(command.keys.front());
    if (!key) {
        return 1;
    }
    const auto inputs = check_encrypted_inputs(command.files);
    report_problems(inputs.problems);
    const bool some_refused = !inputs.problems.empty();
    if (inputs.usable.empty()) {
        return 1;
    }
    if (!prepare_output_folder(out_dir, kDecodeFolderError, services)) {
        return kOutputFolderStatus;
    }
    std::vector<std::string> files;
    std::vector<std::uint64_t> sizes;
    std::vector<std::string> facts;
    std::uint64_t bytes = 0;
    for (const encrypted_input& input : inputs.usable) {
        files.push_back(input.path);
        sizes.push_back(input.facts.size);
        facts.push_back(encrypted_facts_text(input.facts));
        bytes += input.facts.size;
    }
    run_report report(command.verbosity, std::move(sizes), std::move(facts));
    {
        progress_scope progress(services, report, console, command.verbosity, files.size(), bytes);
        job_options job = decode_job(key.get(), files, out_dir);
        job.key_to_use_file = command.keys.front();
        job.open_viewers = command.view;
        CMatrixCipher().run_job(std::move(job), &report);
    }
    if (some_refused || report.written() + report.refused() != files.size()) {
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
        if (!key) {
            return 1;
        }
    } else if (const auto problem = key_file_problem(*command.encoding_key)) {
        platform::app_message(*problem);
        return 1;
    }
    const std::string out_dir = platform::with_final_separator(command.output.value_or(""));
    const auto inputs = check_plain_inputs(command.files, command.clear_prefix_length, out_dir);
    if (!inputs.problems.empty()) {
        report_problems(inputs.problems);
        return 1;
    }
    if (!prepare_output_folder(command.output.value_or(""), kEncodeFolderError, services)) {
        return kOutputFolderStatus;
    }
    std::vector<std::string> files;
    std::vector<std::uint64_t> sizes;
    std::vector<std::string> facts;
    std::uint64_t bytes = 0;
    for (const plain_input& input : inputs.usable) {
        files.push_back(input.path);
        sizes.push_back(input.size);
        facts.push_back(plain_facts_text(input));
        bytes += input.size;
    }
    job_options job;
    if (key) {
        job = encode_job(key.get(), files, out_dir, command.clear_prefix_length,
                         command.header_extra);
        job.key_to_use_file = command.keys.front();
    } else {
        // The engine asks for A with a box ("Give me A") and a file dialog.
        services.preset_answer(Answer::Ok);
        services.preset_file(*command.encoding_key);
        job =
            encode_job_reading_A(files, out_dir, command.clear_prefix_length, command.header_extra);
    }
    run_report report(command.verbosity, std::move(sizes), std::move(facts));
    {
        progress_scope progress(services, report, console, command.verbosity, files.size(), bytes);
        CMatrixCipher().run_job(std::move(job), &report);
    }
    return report.written() == files.size() ? 0 : 1;
}

std::string check_line(const std::string& path, const encrypted_facts& facts,
                       const std::vector<std::string>& openers) {
    std::string line = path + ": type " +
                       std::string(extension_of_type(facts.type_code).value_or("?")) +
                       ", clear prefix " + std::to_string(facts.clear_prefix_length) + " bytes, ";
    if (openers.empty()) {
        return line + "opened by no given key";
    }
    line += "opened by ";
    for (std::size_t i = 0; i < openers.size(); ++i) {
        line += (i == 0 ? "" : ", ") + openers[i];
    }
    return line;
}

int run_check(const parsed_command& command) {
    std::vector<MatrixPtr> keys;
    for (const std::string& path : command.keys) {
        keys.push_back(load_decoding_key(path));
        if (!keys.back()) {
            return 1;
        }
    }
    const MatrixPtr J_inv = identity_inverse();
    bool unreadable = false;
    bool unopened = false;
    for (const std::string& path : command.files) {
        const encrypted_inspection seen = inspect_encrypted_file(path);
        if (seen.problem != file_problem::none) {
            platform::app_message(encrypted_problem_text(path, seen));
            unreadable = true;
            continue;
        }
        std::vector<std::string> openers;
        for (std::size_t k = 0; k < keys.size(); ++k) {
            if (open_block(seen.facts.block, seen.facts.type_code, keys[k].get(), J_inv.get())) {
                openers.push_back(command.keys[k]);
            }
        }
        unopened = unopened || openers.empty();
        if (command.verbosity != verbosity::quiet) {
            std::cout << check_line(path, seen.facts, openers) << '\n';
        }
        if (command.verbosity == verbosity::verbose) {
            std::cout << "  " << encrypted_facts_text(seen.facts) << '\n';
        }
        std::cout << std::flush;
    }
    return unreadable ? 1 : unopened ? kWrongKeyStatus : 0;
}

int run_keygen(const parsed_command& command, cli_services& services) {
    const std::string folder = command.key_folder.value_or("");
    if (!folder.empty() && !existing_folder(folder, "the key folder", services)) {
        return 1;
    }
    run_report report(command.verbosity, {}, {});
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
        const auto inputs = check_plain_inputs(command.files, 0, "");
        if (!inputs.problems.empty()) {
            report_problems(inputs.problems);
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
    run_report report(command.verbosity, {}, {});
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
