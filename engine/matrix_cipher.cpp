#include "engine/matrix_cipher.h"

#include <algorithm>
#include <cerrno>
#include <iomanip>
#include <iterator>
#include <optional>
#include <sstream>
#include <string_view>

#include "codec/codec.h"
#include "engine/encode_ahead.h"
#include "engine/key_check.h"
#include "engine/key_files.h"
#include "platform/file.h"
#include "platform/language.h"
#include "platform/launch.h"
#include "platform/paths.h"
#include "platform/runtime.h"
#include "platform/services.h"

namespace vekdc {

namespace {

using platform::about_file;
using platform::app_message;
using platform::fatal_error;

// Working state of one run_job call. Everything it owns is released however
// the call ends, also when the services end the program by throwing.
struct job_run {
    job_options options;
    job_observer* observer = nullptr;
    std::vector<std::string> encode_table;  // the listed plain files
    std::vector<std::string> decode_table;  // the listed encrypted files
    std::string encode_folder;
    std::string decode_folder;
    std::string key_folder;
    std::string time_stamp;  // "matrix_<seconds>"
    mixing_matrices mixing;
    MatrixPtr A;
    MatrixPtr B;
    encode_ahead* ahead = nullptr;  // the encode list's workers, while they run
    std::string key_file;           // where the job's first key came from, when known
    // read_each_time: which key was read from a file.
    bool A_was_read = false;
    bool B_was_read = false;

    Matrix J() const { return mixing.J.get(); }
    Matrix J_inv() const { return mixing.J_inv.get(); }
};

// The first `count` entries of a list; entries the list does not have are empty.
std::vector<std::string> path_table(const std::vector<std::string>& list, int count) {
    std::vector<std::string> table(static_cast<std::size_t>(std::max(count, 0)));
    for (std::size_t i = 0; i < table.size() && i < list.size(); ++i) {
        table[i] = list[i];
    }
    return table;
}

job_run start_job(job_options options, job_observer* observer) {
    static job_observer silent;
    job_run job;
    job.options = std::move(options);
    job.observer = observer != nullptr ? observer : &silent;
    const job_options& o = job.options;
    job.encode_folder = o.encode_out_dir;
    job.decode_folder = o.decode_out_dir;
    job.key_folder = o.key_dir;
    job.decode_table = path_table(o.decode_files, o.decode_file_count);
    job.encode_table = path_table(o.encode_files, o.encode_file_count);
    // The clearing of leftovers in an output folder never takes a listed file.
    platform::spare_from_clearing(job.decode_table);
    platform::spare_from_clearing(job.encode_table);
    // Every job starts the generator afresh, so "random" keys repeat from job to job.
    platform::crt_srand(1);
    job.time_stamp = "matrix_" + std::to_string(platform::current_time_seconds());
    job.mixing = make_mixing_matrices();
    return job;
}

void open_log_file() {
    platform::services().shell_open("d:\\log_boot.txt", "c:\\windows\\temp\\");
}

// Writes keys that belong together into the key folder, all of them or none,
// and tells the observer where each went.
void save_keys(const std::vector<key_file>& keys, const std::string& folder,
               job_observer& observer) {
    const written_keys written = write_key_files(keys, folder);
    for (const auto& path : written.paths) {
        observer.key_written(path);
    }
}

// ------------------------------------------------------------------ viewers

enum class viewer { none, browser, shell, external };

struct viewer_rule {
    std::string_view extension;  // compared exactly
    viewer how;
};

constexpr viewer_rule kViewerRules[] = {
    {"gif", viewer::browser},  {"jpg", viewer::browser}, {"ttf", viewer::shell},
    {"avi", viewer::shell},    {"mpg", viewer::shell},   {"wav", viewer::shell},
    {"wmf", viewer::external},
};

viewer viewer_for(std::string_view extension) {
    for (const auto& rule : kViewerRules) {
        if (rule.extension == extension) {
            return rule.how;
        }
    }
    return viewer::none;
}

// Opens a decoded file in the viewer its extension calls for.
void open_viewer(const std::string& path, const std::string& extension) {
    switch (viewer_for(extension)) {
        case viewer::browser:
            platform::services().run_program(std::string(platform::kBrowserProgram) + " " + path);
            break;
        case viewer::shell:
            platform::services().shell_open(path, "c:\\Windows\\temp");
            break;
        case viewer::external:
            platform::services().run_program(std::string(platform::kExternalViewerProgram) + " " +
                                             path);
            break;
        case viewer::none:
            break;
    }
}

// A run that would open more viewers than this asks once before it opens any.
constexpr std::size_t kViewersWithoutAsking = 10;

// The listed files that will be decoded and then open a viewer: an encrypted
// file whose type has a viewer and whose cipher block the key opens. Reads
// only the header and the block of each file.
std::size_t count_viewer_files(const job_run& job) {
    std::size_t count = 0;
    for (const std::string& path : job.decode_table) {
        const encrypted_inspection inspection = inspect_encrypted_file(path);
        if (inspection.problem != file_problem::none) {
            continue;
        }
        const encrypted_facts& facts = inspection.facts;
        const auto extension = extension_of_type(facts.type_code);
        if (extension && viewer_for(*extension) != viewer::none &&
            open_block(facts.block, facts.type_code, job.B.get(), job.J_inv())) {
            ++count;
        }
    }
    return count;
}

// Whether the batch decode opens its files in viewers. Small runs do, each
// as its file is written; a larger run asks first (はい all, いいえ none).
bool viewers_wanted(const job_run& job) {
    if (!job.options.open_viewers) {
        return false;
    }
    if (job.decode_table.size() <= kViewersWithoutAsking) {
        return true;
    }
    const std::size_t count = count_viewer_files(job);
    if (count <= kViewersWithoutAsking) {
        return true;
    }
    // Asked in the style of the decoder's notices, in the user's language.
    return platform::services().message_box(
               platform::notice(platform::kManyViewersNotice, std::to_string(count)),
               platform::notice(platform::kDecoderCaption), platform::Buttons::YesNo,
               platform::Icon::Information) == platform::Answer::Yes;
}

// ------------------------------------------------------------------ one file

// The progress watch of one file: forwards progress to the observer and asks
// it whether to stop.
progress_watch watch_for(job_step step, std::size_t index, job_observer& observer) {
    return [step, index, &observer](std::uint64_t done, std::uint64_t total) {
        observer.file_progress(step, index, done, total);
        return !observer.stop_requested();
    };
}

// What a coder may add for a job: where the file went, its progress, and the
// making of a missing output folder where the job allows it.
coding_extras extras_for(const job_run& job, std::string& written, const progress_watch& watch) {
    coding_extras extras;
    extras.written_path = &written;
    extras.watch = &watch;
    if (job.options.create_out_dirs) {
        job_observer& observer = *job.observer;
        extras.make_folder = [&observer](const std::string& folder) {
            if (const int error = platform::make_folders(folder)) {
                errno = error;
                return false;
            }
            std::string shown = folder;
            if (shown.size() > 1 && platform::is_path_separator(shown.back())) {
                shown.pop_back();
            }
            observer.folder_created(shown);
            return true;
        };
    }
    return extras;
}

// What became of one entry of a list.
enum class entry_outcome { written, refused, stopped };

// A listed file that cannot be coded: named and skipped where the job says
// so, or the end of the program, as the coder would end it.
entry_outcome unusable_entry(const job_run& job, job_step step, std::size_t index,
                             const std::string& path, file_problem problem, int error_number,
                             const std::string& message) {
    if (!job.options.skip_unusable_files) {
        fatal_error(message, 1);
    }
    if (!job.observer->file_unusable(step, index, path, problem, error_number)) {
        app_message(message);
    }
    return entry_outcome::refused;
}

// A listed file that failed while it was read, after the coder named it:
// skipped where the job says so, or the end of the program.
entry_outcome unreadable_entry(const job_run& job, job_step step, std::size_t index,
                               const std::string& path) {
    if (!job.options.skip_unusable_files) {
        platform::exit_program(1);
    }
    job.observer->file_unusable(step, index, path, file_problem::none, 0);
    return entry_outcome::refused;
}

// Whether the observer asks the job to stop before the entry; told so.
bool stopped_before(job_step step, std::size_t index, job_observer& observer) {
    if (!observer.stop_requested()) {
        return false;
    }
    observer.job_stopped(step, index);
    return true;
}

// Entry `index` of the encode list, opened (by the caller already, where it
// screened the list through handles) with its first bytes read.
plain_file open_listed_plain_file(const job_run& job, std::size_t index, const std::string& path) {
    opened_plain_files* opened = job.options.opened_encode_files;
    plain_file file;
    if (opened == nullptr || !opened->take(index, file)) {
        return open_plain_file(path, job.options.clear_prefix_length);
    }
    if (file.inspection.problem == file_problem::none) {
        read_plain_head(file);
    }
    return file;
}

// Entry `index` coded ahead, named in its turn. False when it did not go
// plainly: `file` then holds what the worker opened, for the ordinary road.
bool name_coded_entry(encode_ahead::entry& coded, const job_run& job, std::size_t index,
                      const std::string& path, const progress_watch& watch,
                      entry_outcome& outcome) {
    if (!coded.out) {
        return false;
    }
    job_observer& observer = *job.observer;
    const plain_inspection& seen = coded.file.inspection;
    observer.file_opened(job_step::encode, index,
                         {seen.size, seen.type_code, job.options.clear_prefix_length});
    if (!watch(seen.size, seen.size)) {
        observer.job_stopped(job_step::encode, index);
        outcome = entry_outcome::stopped;
        return true;
    }
    const std::string out_path = encoded_path(path, job.encode_folder);
    if (coded.out->publish_new(out_path) != platform::OutputFile::Publish::Done) {
        encode_ahead::pause paused(*job.ahead);
        publish_encoded_file(*coded.out, out_path);  // an older file replaced, or the end
    }
    observer.file_written(job_step::encode, index, path, out_path);
    outcome = entry_outcome::written;
    return true;
}

// Encodes one file of a list through one open handle, opening each block
// with the job's decoding key before it is written, and tells the observer
// what became of it. Where the list is coded ahead, the file comes from the
// workers, and anything but a plain naming runs with them paused.
entry_outcome encode_entry(const std::string& path, const job_run& job, Matrix A,
                           const decoding_key& check, std::size_t index) {
    job_observer& observer = *job.observer;
    const job_options& o = job.options;
    if (stopped_before(job_step::encode, index, observer)) {
        return entry_outcome::stopped;
    }
    observer.file_started(job_step::encode, index, path);
    std::string written;
    const progress_watch watch = watch_for(job_step::encode, index, observer);
    const coding_extras extras = extras_for(job, written, watch);
    std::optional<encode_ahead::entry> coded;
    std::optional<encode_ahead::pause> paused;
    if (job.ahead != nullptr) {
        coded = job.ahead->take(index);
        entry_outcome outcome{};
        if (name_coded_entry(*coded, job, index, path, watch, outcome)) {
            return outcome;
        }
        paused.emplace(*job.ahead);
    }
    if (path.empty() && !o.skip_unusable_files) {
        std::string unused;
        encode_file(unused, job.encode_folder, A, coding_mode::batch, true, o.clear_prefix_length,
                    o.header_extra, extras, &check);  // the encoder's refusal of a missing name
    }
    plain_file file =
        coded && !coded->reopen ? std::move(coded->file) : open_listed_plain_file(job, index, path);
    const file_problem problem = file.inspection.problem;
    if ((problem == file_problem::refused_type || problem == file_problem::vek_type) &&
        !o.skip_unusable_files) {
        file_type_code(last_three_characters(path), path);  // a refusal that ends the run
    }
    if (problem != file_problem::none) {
        return unusable_entry(job, job_step::encode, index, path, problem,
                              file.inspection.error_number,
                              plain_problem_message(path, file.inspection, o.clear_prefix_length));
    }
    observer.file_opened(job_step::encode, index,
                         {file.inspection.size, file.inspection.type_code, o.clear_prefix_length});
    switch (encode_opened(file, path, job.encode_folder, A, o.clear_prefix_length, o.header_extra,
                          extras, &check)) {
        case encoded::written:
            observer.file_written(job_step::encode, index, path, written);
            return entry_outcome::written;
        case encoded::stopped:
            observer.job_stopped(job_step::encode, index);
            return entry_outcome::stopped;
        case encoded::unreadable:
            break;
    }
    return unreadable_entry(job, job_step::encode, index, path);
}

// Encodes the one file the user picks in the dialog.
void encode_chosen_file(const job_run& job, const std::string& folder, Matrix A,
                        const decoding_key& check, std::size_t index) {
    job_observer& observer = *job.observer;
    if (stopped_before(job_step::encode, index, observer)) {
        return;
    }
    const job_options& o = job.options;
    observer.file_started(job_step::encode, index, std::string());
    std::string path;
    std::string written;
    const progress_watch watch = watch_for(job_step::encode, index, observer);
    if (encode_file(path, folder, A, coding_mode::dialog, o.pvek, o.clear_prefix_length,
                    o.header_extra, extras_for(job, written, watch),
                    &check) == coding_result::written) {
        observer.file_written(job_step::encode, index, path, written);
    } else {
        observer.file_refused(job_step::encode, index, path);
    }
}

// Decodes one file of a list through one open handle; with `view` set, a
// file written is opened in its viewer.
entry_outcome decode_entry(const std::string& path, const job_run& job, bool view,
                           std::size_t index) {
    job_observer& observer = *job.observer;
    if (stopped_before(job_step::decode, index, observer)) {
        return entry_outcome::stopped;
    }
    observer.file_started(job_step::decode, index, path);
    std::string stem;
    std::string extension;
    std::string written;
    const progress_watch watch = watch_for(job_step::decode, index, observer);
    const coding_extras extras = extras_for(job, written, watch);
    if (path.empty() && !job.options.skip_unusable_files) {
        std::string unused;
        std::string folder = job.decode_folder;
        decode_file(unused, folder, job.B.get(), job.J_inv(), stem, extension, coding_mode::batch,
                    extras);  // the decoder's refusal of a missing name
    }
    encrypted_file file = open_encrypted_file(path, kDecoderHead);
    if (file.inspection.problem != file_problem::none) {
        return unusable_entry(job, job_step::decode, index, path, file.inspection.problem,
                              file.inspection.error_number,
                              encrypted_problem_message(path, file.inspection));
    }
    const encrypted_facts& facts = file.inspection.facts;
    observer.file_opened(job_step::decode, index,
                         {facts.size, facts.type_code, facts.clear_prefix_length});
    const std::string folder = platform::with_final_separator(job.decode_folder);
    switch (decode_opened(file, path, folder, job.B.get(), job.J_inv(), stem, extension, extras)) {
        case decoded::written:
            if (view) {
                // The file just written, also when it got a tick-suffixed name.
                open_viewer(written, extension);
            }
            observer.file_written(job_step::decode, index, path, written);
            return entry_outcome::written;
        case decoded::wrong_key:
            observer.file_refused(job_step::decode, index, path);
            return entry_outcome::refused;
        case decoded::stopped:
            observer.job_stopped(job_step::decode, index);
            return entry_outcome::stopped;
        case decoded::unreadable:
            break;
    }
    return unreadable_entry(job, job_step::decode, index, path);
}

// Decodes the one file the user picks in the dialog; no viewer is opened.
void decode_chosen_file(const job_run& job) {
    job_observer& observer = *job.observer;
    if (stopped_before(job_step::decode, 0, observer)) {
        return;
    }
    observer.file_started(job_step::decode, 0, std::string());
    std::string path;
    std::string folder = job.decode_folder;
    std::string stem;
    std::string extension;
    std::string written;
    const progress_watch watch = watch_for(job_step::decode, 0, observer);
    if (decode_file(path, folder, job.B.get(), job.J_inv(), stem, extension, coding_mode::dialog,
                    extras_for(job, written, watch)) == coding_result::written) {
        observer.file_written(job_step::decode, 0, path, written);
    } else {
        observer.file_refused(job_step::decode, 0, path);
    }
}

// ------------------------------------------------------------------ normal job: checks

const char* create_announcement(bool create_A, bool random, bool save) {
    if (create_A) {
        if (save) {
            return random ? "I will create random A and the oppsite B and save them."
                          : "I will create regular A and the oppsite B and save them.";
        }
        return random ? "I will create random A and the oppsite B but will not save them."
                      : "I will create regular A and the oppsite B but will not save them";
    }
    if (save) {
        return random ? nullptr : "I will create regular B and the oppsite A and save them.";
    }
    return random ? "I will create random B and the oppsite A but will not save them."
                  : "I will create regular B and the oppsite A but will not save them.";
}

// The key-usage checks, before any key is touched. False when the job ends
// here without work; contradictory or unknown choices end the program. (The
// dimensions are constants, so the check that m exceeds n is made when the
// engine is compiled.)
bool key_usage_allows_job(const job_options& o) {
    if (o.key_usage == key_usage::read_once) {
        if (o.key_to_use == nullptr) {
            app_message("key_to_use is not provided.");
            return false;
        }
    } else if (o.key_usage == key_usage::read_each_time) {
        if (o.read_A && o.read_B) {
            fatal_error("Reading A and B cannot happen at once.\n", 0);
        }
        if (!o.read_A && !o.read_B) {
            fatal_error("You must specify A or B for reading.\n", 0);
        }
        if (o.read_A) {
            app_message("I will read A and generate oppsite B.\n", platform::Icon::Information);
        }
    } else if (o.key_usage == key_usage::create) {
        if (!o.create_A && !o.create_B) {
            fatal_error("You must specify A or B for creating.", 0);
        }
        if (o.create_A && o.create_B) {
            fatal_error("You cannot create A and B at once.", 0);
        }
        const bool random = o.create_A ? o.random_A : o.random_B;
        if (const char* text = create_announcement(o.create_A, random, o.save_keys)) {
            app_message(text, platform::Icon::Information);
        }
    } else {
        fatal_error(std::to_string(static_cast<int>(o.key_usage)) +
                        "is not allowed for \"READ_EACH_TIME_OR_CREATE_OR_READ_ONCE\"",
                    1);
    }
    if (o.key_usage != key_usage::read_once && o.levels != 2 && o.levels != 3) {
        app_message("levels " + std::to_string(o.levels) +
                    " is not allowed: keys have 2 or 3 levels. Nothing was done.");
        return false;
    }
    return true;
}

// Two entries of the encode list that would write the same file end the
// program before anything is written, instead of the second silently
// replacing the first.
void refuse_output_collisions(const job_run& job) {
    if (!job.options.encode || job.options.interactive_encode) {
        return;
    }
    const auto collisions = output_collisions(job.encode_table, job.encode_folder);
    if (collisions.empty()) {
        return;
    }
    std::string text;
    for (const output_collision& c : collisions) {
        text += collision_message(job.encode_table[c.first], job.encode_table[c.second], c.output) +
                "\n";
    }
    fatal_error(text + "Nothing was encoded (encoder).", 1);
}

// Ends the program because the job's keys cannot encode: `which` names the
// key the job started from, `why` says what is wrong with it.
[[noreturn]] void refuse_key(const job_run& job, const std::string& which, const std::string& why) {
    const std::string text = "The " + which + " cannot be used for encoding";
    fatal_error(job.key_file.empty() ? text + ": " + why : about_file(text, job.key_file, why), 1);
}

void refuse_unusable_decoding_key(const job_run& job) {
    if (const auto why = decoding_key_problem(job.B.get())) {
        refuse_key(job, "decoding key", *why);
    }
}

void refuse_unusable_encoding_key(const job_run& job) {
    if (const auto why = encoding_key_problem(job.A.get())) {
        refuse_key(job, "encoding key", *why);
    }
}

// A pair whose B does not undo A within the key check's tolerance would
// write files that its own decoding key cannot open.
void refuse_pair_that_does_not_fit(const job_run& job, const std::string& which) {
    const double deviation = key_pair_deviation(job.A.get(), job.B.get(), job.J());
    if (!(deviation <= kKeyCheckTolerance)) {
        std::ostringstream figure;
        figure << std::setprecision(3) << deviation;
        refuse_key(
            job, which,
            "its pair does not fit together: deciphering may move a value by " + figure.str());
    }
}

// ------------------------------------------------------------------ normal job: keys

Matrix derive_B(Matrix A, const job_run& job) {
    if (job.options.levels == 2) {
        return CMatrixCipher::opposite_B_of_A(A, job.J(), kBlockLength, kPlainLength, 0, 1);
    }
    MatrixPtr X(CMatrixCipher::make_key_matrix(kBlockLength, kPlainLength, 0, 0, 1));
    return CMatrixCipher::opposite_B_of_A_3(A, X.get(), job.J(), kBlockLength, kPlainLength, 0, 1);
}

Matrix derive_A(Matrix B, const job_run& job) {
    if (job.options.levels == 2) {
        return CMatrixCipher::opposite_A_of_B(B, job.J(), kPlainLength, kBlockLength, 0, 1);
    }
    MatrixPtr Y(CMatrixCipher::make_key_matrix(kPlainLength, kBlockLength, 0, 0, 1));
    return CMatrixCipher::opposite_A_of_B_3(B, Y.get(), job.J(), kPlainLength, kBlockLength, 0, 1);
}

// read_once: a copy of the caller's decoding key, and the encoding key
// derived from it (whether or not the job encodes).
void take_callers_key(job_run& job) {
    const job_options& o = job.options;
    job.key_file = o.key_to_use_file;
    const matrix_subject subject(job.key_file);
    job.B.reset(alloc_matrix(kPlainLength, kBlockLength));
    copy_matrix(o.key_to_use, job.B.get(), kPlainLength, kBlockLength);
    if (o.encode) {
        refuse_unusable_decoding_key(job);
    }
    job.A.reset(
        CMatrixCipher::opposite_A_of_B(job.B.get(), job.J(), kPlainLength, kBlockLength, 0, 1));
    if (o.encode) {
        refuse_pair_that_does_not_fit(job, "decoding key");
    }
}

// read_each_time: a key file chosen in the dialog, and the key derived from
// it. False when there is no key: the dialog was cancelled (the boot log is
// then opened) or the chosen file could not be opened (already reported).
bool read_key_by_dialog(job_run& job) {
    const job_options& o = job.options;
    // The scratch flags say which key is read; they follow read_A / read_B.
    job.A_was_read = o.read_A;
    job.B_was_read = !o.read_A && o.read_B;
    const bool reading_A = job.A_was_read;
    if (reading_A) {
        platform::encoder_message("Give me A", platform::Buttons::OkCancel);
    } else {
        platform::services().message_box(platform::notice(platform::kChooseKeyNotice),
                                         platform::notice(platform::kDecoderCaption),
                                         platform::Buttons::Ok, platform::Icon::None);
    }
    ChosenMatrix chosen = reading_A ? choose_and_read_matrix(kBlockLength, kPlainLength)
                                    : choose_and_read_matrix(kPlainLength, kBlockLength);
    if (!chosen.matrix) {
        if (chosen.path.empty()) {
            open_log_file();
        }
        return false;
    }
    job.key_file = chosen.path;
    const matrix_subject subject(job.key_file);
    const char* which = reading_A ? "encoding key" : "decoding key";
    if (reading_A) {
        job.A = std::move(chosen.matrix);
        if (o.encode) {
            refuse_unusable_encoding_key(job);
        }
        job.B.reset(derive_B(job.A.get(), job));
    } else {
        job.B = std::move(chosen.matrix);
        if (o.encode) {
            refuse_unusable_decoding_key(job);
        }
        job.A.reset(derive_A(job.B.get(), job));
    }
    if (o.encode) {
        refuse_pair_that_does_not_fit(job, which);
    }
    return true;
}

// create: a random or regular key and the key derived from it.
void create_keys(job_run& job) {
    const job_options& o = job.options;
    if (o.create_A) {
        job.A.reset(
            CMatrixCipher::make_key_matrix(kBlockLength, kPlainLength, o.random_A ? 0 : 1, 0, 1));
        job.B.reset(derive_B(job.A.get(), job));
    } else {
        job.B.reset(
            CMatrixCipher::make_key_matrix(kPlainLength, kBlockLength, o.random_B ? 0 : 1, 0, 1));
        job.A.reset(derive_A(job.B.get(), job));
    }
    if (o.encode) {
        refuse_pair_that_does_not_fit(job, "created key pair");
    }
}

// Writes a created pair into the key folder, B first, both named after the
// job's time stamp: both or neither.
void save_created_keys(const job_run& job) {
    const std::string n = std::to_string(kPlainLength);
    const std::string m = std::to_string(kBlockLength);
    save_keys(
        {{job.B.get(), kPlainLength, kBlockLength, "B_" + n + "_" + m + "_" + job.time_stamp},
         {job.A.get(), kBlockLength, kPlainLength, "A_" + m + "_" + n + "_" + job.time_stamp}},
        job.key_folder, *job.observer);
}

// The job's key pair by its key usage; false when the job ends without keys.
bool obtain_keys(job_run& job) {
    const job_options& o = job.options;
    if (o.key_usage == key_usage::read_once) {
        take_callers_key(job);
    } else if (o.key_usage == key_usage::read_each_time) {
        return read_key_by_dialog(job);
    } else {
        create_keys(job);
        if (o.save_keys) {
            save_created_keys(job);
        }
    }
    return true;
}

// ------------------------------------------------------------------ normal job: steps

// False when the observer stopped the job.
bool encode_step(job_run& job) {
    const decoding_key check{job.B.get(), job.J_inv()};
    if (job.options.interactive_encode) {
        encode_chosen_file(job, job.encode_folder, job.A.get(), check, 0);
        return true;
    }
    std::optional<encode_ahead> ahead;
    if (const unsigned workers = encode_ahead::workers_for(job.encode_table.size())) {
        ahead.emplace(
            encode_ahead::list{&job.encode_table, job.options.opened_encode_files,
                               job.encode_folder, job.A.get(), job.options.clear_prefix_length,
                               job.options.header_extra, check},
            workers);
        job.ahead = &*ahead;
    }
    const struct detach {
        job_run& job;
        ~detach() { job.ahead = nullptr; }
    } detached{job};
    for (std::size_t i = 0; i < job.encode_table.size(); ++i) {
        if (encode_entry(job.encode_table[i], job, job.A.get(), check, i) ==
            entry_outcome::stopped) {
            return false;
        }
    }
    return true;
}

void decode_step(job_run& job) {
    if (job.options.interactive_decode) {
        decode_chosen_file(job);
        return;
    }
    const bool view = viewers_wanted(job);
    for (std::size_t i = 0; i < job.decode_table.size(); ++i) {
        if (decode_entry(job.decode_table[i], job, view, i) == entry_outcome::stopped) {
            return;
        }
    }
}

void normal_job(job_run& job) {
    if (!key_usage_allows_job(job.options)) {
        return;
    }
    refuse_output_collisions(job);
    if (!obtain_keys(job)) {
        return;
    }
    if (job.options.encode && !encode_step(job)) {
        return;
    }
    if (job.options.decode) {
        decode_step(job);
    }
}

// ------------------------------------------------------------------ key-set road

struct key_set_encoding {
    std::uint32_t seed;  // the generator's seed before the key is derived
    const char* prompt;
};

constexpr std::uint32_t kMasterSeed = 5190627;
constexpr key_set_encoding kEncodingKeys[] = {
    {62417, "Give me a file you want to encrypt with key1"},
    {3078851, "Give me a file you want to encrypt with key2"},
    {529, "Give me a file you want to encrypt with key3"},
};
constexpr std::uint32_t kDaughterSeed = 7315960;
constexpr const char* kDaughterNames[] = {"daughter1.key", "daughter2.key", "daughter3.key"};
constexpr std::size_t kKeySetKeys = std::size(kEncodingKeys);
// The fixed folders of the road, whatever the job says.
constexpr const char* kKeySetFolder = "d:\\";
constexpr const char* kTestFileFolder = "d:\\plainfile\\";
constexpr const char* kTestFiles[] = {"test_gif1.gif", "test_gif2.gif", "test_jpg1.jpg",
                                      "test_jpg2.jpg", "test_ttf1.ttf", "test_ttf2.ttf"};

// Only two-level finite key sets are made; the other kinds end here, some
// with their message.
bool key_set_road_applies(const job_options& o) {
    if (o.levels == 2 && o.key_set_kind == "infinite") {
        platform::encoder_message("Encryption complete");
        return false;
    }
    if (o.levels == 3 && o.key_set_kind == "finite") {
        platform::encoder_message("The choice of m and n is not correct.",
                                  platform::Buttons::OkCancel);
        return false;
    }
    return o.levels == 2 && o.key_set_kind == "finite";
}

MatrixPtr make_master_key() {
    platform::crt_srand(kMasterSeed);
    return MatrixPtr(CMatrixCipher::make_key_matrix(kPlainLength, kBlockLength, 0, 0, 1));
}

MatrixPtr derive_encoding_key(Matrix master, const job_run& job, std::uint32_t seed) {
    platform::crt_srand(seed);
    return MatrixPtr(
        CMatrixCipher::opposite_A_of_B(master, job.J(), kPlainLength, kBlockLength, 0, 1));
}

// The batch road's first key encodes the fixed test files, put in the first
// slots of the encode list.
void encode_test_files(job_run& job, Matrix A, const decoding_key& check, std::size_t& index) {
    if (job.encode_table.size() < std::size(kTestFiles)) {
        job.encode_table.resize(std::size(kTestFiles));
    }
    for (std::size_t i = 0; i < std::size(kTestFiles); ++i) {
        const std::string path = std::string(kTestFileFolder) + kTestFiles[i];
        job.encode_table[i] = platform::host_path(path).value_or(path);
    }
    const auto count = static_cast<std::size_t>(std::max(job.options.encode_file_count, 0));
    for (std::size_t i = 0; i < count; ++i) {
        encode_entry(job.encode_table[i], job, A, check, index++);
    }
}

// One file the user picks (in batch mode an empty path, which the encoder refuses).
void encode_one_more(const job_run& job, const std::string& folder, Matrix A,
                     const decoding_key& check, std::size_t& index) {
    if (job.options.interactive_encode) {
        encode_chosen_file(job, folder, A, check, index++);
    } else {
        encode_entry(std::string(), job, A, check, index++);
    }
}

// The files of one encoding key: the first one (or, for the first key in
// batch mode, the test files), then one more with the same key.
void encode_with_key_set_key(job_run& job, std::size_t k, Matrix A, Matrix master,
                             std::size_t& index) {
    // Every block must open with the master key, which the road holds.
    const decoding_key check{master, job.J_inv()};
    if (k == 0 && !job.options.interactive_encode) {
        encode_test_files(job, A, check, index);
    } else {
        encode_one_more(job, k == 0 ? std::string() : job.encode_folder, A, check, index);
    }
    encode_one_more(job, job.encode_folder, A, check, index);
}

// The master key with the daughter keys of the encoding keys: one group,
// written whole or not at all, all under one suffix where a name is taken.
void save_key_set(const job_run& job, Matrix master, const MatrixPtr (&encoding)[kKeySetKeys]) {
    platform::crt_srand(kDaughterSeed);
    MatrixPtr daughters[kKeySetKeys];
    std::vector<key_file> files{{master, kPlainLength, kBlockLength, "master.key"}};
    for (std::size_t k = 0; k < kKeySetKeys; ++k) {
        daughters[k].reset(CMatrixCipher::opposite_B_of_A(encoding[k].get(), job.J(), kBlockLength,
                                                          kPlainLength, 0, 1));
        files.push_back({daughters[k].get(), kPlainLength, kBlockLength, kDaughterNames[k]});
    }
    save_keys(files, kKeySetFolder, *job.observer);
}

// A master key, three encoding keys derived from it with two files encoded
// by each, and the three daughter keys of the encoding keys. The keys are
// saved together at the end; a road cancelled on the way keeps the master
// key, which opens what was encoded so far.
void key_set_road(job_run& job) {
    if (!key_set_road_applies(job.options)) {
        return;
    }
    platform::encoder_message("I will make a master key and 3 daughter keys",
                              platform::Buttons::OkCancel);
    const MatrixPtr master = make_master_key();
    require_key_folder(kKeySetFolder, "master.key");
    MatrixPtr encoding[kKeySetKeys];
    std::size_t index = 0;
    for (std::size_t k = 0; k < kKeySetKeys; ++k) {
        encoding[k] = derive_encoding_key(master.get(), job, kEncodingKeys[k].seed);
        if (platform::encoder_message(kEncodingKeys[k].prompt, platform::Buttons::OkCancel) ==
            platform::Answer::Cancel) {
            save_keys({{master.get(), kPlainLength, kBlockLength, "master.key"}}, kKeySetFolder,
                      *job.observer);
            open_log_file();
            return;
        }
        encode_with_key_set_key(job, k, encoding[k].get(), master.get(), index);
    }
    platform::encoder_message("end of encode 3 ", platform::Buttons::OkCancel);
    save_key_set(job, master.get(), encoding);
}

}  // namespace

void CMatrixCipher::run_job(job_options options, job_observer* observer) {
    job_run job = start_job(std::move(options), observer);
    if (job.options.make_key_set) {
        key_set_road(job);
    } else {
        normal_job(job);
    }
}

}  // namespace vekdc
