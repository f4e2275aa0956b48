#include "engine/matrix_cipher.h"

#include <algorithm>

#include "codec/codec.h"
#include "platform/language.h"
#include "platform/launch.h"
#include "platform/paths.h"
#include "platform/runtime.h"
#include "platform/services.h"

namespace vekdc {

// Working state of one run_job call.
struct CMatrixCipher::Job {
    job_options options;
    job_observer* observer = nullptr;
    std::vector<std::string> encode_table;  // the listed plain files
    std::vector<std::string> decode_table;  // the listed encrypted files
    std::string encode_folder;
    std::string decode_folder;
    std::string key_folder;
    std::string time_stamp;  // "matrix_<seconds>"
    MatrixPtr J;
    MatrixPtr J_inv;
    MatrixPtr A;
    MatrixPtr B;
};

namespace {

constexpr int kM = CMatrixCipher::m;
constexpr int kN = CMatrixCipher::n;

job_observer g_silent_observer;

void app_message(const std::string& text) {
    platform::app_message(text);
}

[[noreturn]] void stop(const std::string& text, int status) {
    app_message(text);
    platform::exit_program(status);
}

// The first `count` entries of a list; entries the list does not have are empty.
std::vector<std::string> path_table(const std::vector<std::string>& list, int count) {
    std::vector<std::string> table(static_cast<std::size_t>(std::max(count, 0)));
    for (std::size_t i = 0; i < table.size() && i < list.size(); ++i) {
        table[i] = list[i];
    }
    return table;
}

void open_log_file() {
    platform::services().shell_open("d:\\log_boot.txt", "c:\\windows\\temp\\");
}

// Opens a decoded file in the viewer its extension calls for.
void open_viewer(const std::string& path, const std::string& extension) {
    if (extension == "gif" || extension == "jpg") {
        platform::services().run_program(std::string(platform::kBrowserProgram) + " " + path);
    } else if (extension == "ttf" || extension == "avi" || extension == "mpg" ||
               extension == "wav") {
        platform::services().shell_open(path, "c:\\Windows\\temp");
    } else if (extension == "wmf") {
        platform::services().run_program(std::string(platform::kExternalViewerProgram) + " " +
                                         path);
    }
}

// Writes keys that belong together into the key folder, all of them or none,
// and tells the observer where each went. Returns the suffix their names got.
std::string save_keys(const std::vector<key_file>& keys, const std::string& folder,
                      job_observer& observer, const std::string& first_suffix = "") {
    const written_keys written = write_key_files(keys, folder, first_suffix);
    for (const auto& path : written.paths) {
        observer.key_written(path);
    }
    return written.suffix;
}

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

// The progress watch of one file: forwards progress to the observer and asks
// it whether to stop; `stopped` records that it did.
progress_watch watch_for(job_step step, std::size_t index, job_observer& observer, bool& stopped) {
    return [step, index, &observer, &stopped](std::uint64_t done, std::uint64_t total) {
        observer.file_progress(step, index, done, total);
        stopped = observer.stop_requested();
        return !stopped;
    };
}

// What became of one entry of a list.
enum class entry_outcome { written, refused, stopped };

// Encodes one file of a list (or, in dialog mode, the file the user picks)
// and tells the observer what became of it.
entry_outcome encode_entry(std::string path, const std::string& folder, Matrix A, int dialog,
                           const job_options& o, std::size_t index, job_observer& observer) {
    if (observer.stop_requested()) {
        observer.job_stopped(job_step::encode, index);
        return entry_outcome::stopped;
    }
    std::string written;
    bool stopped = false;
    const progress_watch watch = watch_for(job_step::encode, index, observer, stopped);
    observer.file_started(job_step::encode, index, path);
    if (encode_file(path, folder, A, dialog, o.pvek, o.clear_prefix_length, o.header_extra,
                    &written, &watch) == 1) {
        observer.file_written(job_step::encode, index, path, written);
        return entry_outcome::written;
    }
    if (stopped) {
        observer.job_stopped(job_step::encode, index);
        return entry_outcome::stopped;
    }
    observer.file_refused(job_step::encode, index, path);
    return entry_outcome::refused;
}

// Decodes one file likewise; a file decoded from a list is opened in its viewer.
entry_outcome decode_entry(std::string path, std::string& folder, Matrix B, Matrix J_inv,
                           int dialog, std::size_t index, job_observer& observer) {
    if (observer.stop_requested()) {
        observer.job_stopped(job_step::decode, index);
        return entry_outcome::stopped;
    }
    std::string stem;
    std::string extension;
    std::string written;
    bool stopped = false;
    const progress_watch watch = watch_for(job_step::decode, index, observer, stopped);
    observer.file_started(job_step::decode, index, path);
    if (decode_file(path, folder, B, J_inv, stem, extension, dialog, &written, &watch) != 1) {
        if (stopped) {
            observer.job_stopped(job_step::decode, index);
            return entry_outcome::stopped;
        }
        observer.file_refused(job_step::decode, index, path);
        return entry_outcome::refused;
    }
    if (dialog == 0) {
        // The file just written, also when it got a tick-suffixed name.
        open_viewer(written, extension);
    }
    observer.file_written(job_step::decode, index, path, written);
    return entry_outcome::written;
}

}  // namespace

// ------------------------------------------------------------------ codec access

int CMatrixCipher::decode_file(std::string& path, std::string& out_dir, Matrix B, Matrix J_inv,
                               std::string& out_stem, std::string& out_ext, int dialog,
                               std::string* written_path) {
    return vekdc::decode_file(path, out_dir, B, J_inv, out_stem, out_ext, dialog, written_path);
}

int CMatrixCipher::encode_file(std::string& path, const std::string& out_dir, Matrix A, int dialog,
                               bool pvek, int clear_prefix_length, int header_extra,
                               std::string* written_path) {
    return vekdc::encode_file(path, out_dir, A, dialog, pvek, clear_prefix_length, header_extra,
                              written_path);
}

int CMatrixCipher::file_type_code(std::string_view last_three) {
    return vekdc::file_type_code(last_three);
}

void CMatrixCipher::split_path(const std::string& path, std::string& name, std::string& stem) {
    vekdc::split_path(path, name, stem);
}

// ------------------------------------------------------------------ run_job

void CMatrixCipher::run_job(job_options options, job_observer* observer) {
    Job job;
    job.options = std::move(options);
    job.observer = observer != nullptr ? observer : &g_silent_observer;
    const job_options& o = job.options;
    job.encode_folder = o.encode_out_dir;
    job.decode_folder = o.decode_out_dir;
    job.key_folder = o.key_dir;
    job.decode_table = path_table(o.decode_files, o.decode_file_count);
    job.encode_table = path_table(o.encode_files, o.encode_file_count);

    platform::crt_srand(1);
    job.time_stamp = "matrix_" + std::to_string(platform::current_time_seconds());

    job.J.reset(alloc_matrix(kN, kN));
    for (int i = 0; i < kN; ++i) {
        for (int j = 0; j < kN; ++j) {
            job.J.get()[i][j] = i == j ? 1.0 : 0.0;
        }
    }
    MatrixPtr J_copy(alloc_matrix(kN, kN));
    copy_matrix(job.J.get(), J_copy.get(), kN, kN);
    job.J_inv.reset(inverse_matrix(J_copy.get(), kN));

    if (o.make_key_set) {
        key_set_road(job);
    } else {
        normal_job(job);
    }
}

void CMatrixCipher::normal_job(Job& job) {
    job_options& o = job.options;
    job_observer& observer = *job.observer;
    Matrix J = job.J.get();

    // Key-usage checks, before any key is touched.
    if (o.key_usage == "read_once") {
        if (o.key_to_use == nullptr) {
            app_message("key_to_use is not provided.");
            return;
        }
    } else if (o.key_usage == "read_each_time") {
        if (o.read_A && o.read_B) {
            stop("Reading A and B cannot happen at once.\n", 0);
        }
        if (!o.read_A && !o.read_B) {
            stop("You must specify A or B for reading.\n", 0);
        }
        if (o.read_A) {
            app_message("I will read A and generate oppsite B.\n");
        }
    } else if (o.key_usage == "create") {
        if (!o.create_A && !o.create_B) {
            stop("You must specify A or B for creating.", 0);
        }
        if (o.create_A && o.create_B) {
            stop("You cannot create A and B at once.", 0);
        }
        const bool random = o.create_A ? o.random_A : o.random_B;
        if (const char* text = create_announcement(o.create_A, random, o.save_keys)) {
            app_message(text);
        }
    } else {
        stop(o.key_usage + "is not allowed for \"READ_EACH_TIME_OR_CREATE_OR_READ_ONCE\"", 1);
    }
    if (m - n < 1) {
        stop("m must be larger than n", -2);
    }
    if (o.key_usage != "read_once" && o.levels != 2 && o.levels != 3) {
        app_message("levels " + std::to_string(o.levels) +
                    " is not allowed: keys have 2 or 3 levels. Nothing was done.");
        return;
    }

    // The derived key for a given key, by the job's number of levels.
    auto derive_B = [&](Matrix A) {
        if (o.levels == 2) {
            return opposite_B_of_A(A, J, m, n, 0, 1);
        }
        MatrixPtr X(make_key_matrix(m, n, 0, 0, 1));
        return opposite_B_of_A_3(A, X.get(), J, m, n, 0, 1);
    };
    auto derive_A = [&](Matrix B) {
        if (o.levels == 2) {
            return opposite_A_of_B(B, J, n, m, 0, 1);
        }
        MatrixPtr Y(make_key_matrix(n, m, 0, 0, 1));
        return opposite_A_of_B_3(B, Y.get(), J, n, m, 0, 1);
    };

    if (o.key_usage == "read_once") {
        job.B.reset(alloc_matrix(n, m));
        copy_matrix(o.key_to_use, job.B.get(), n, m);
        job.A.reset(opposite_A_of_B(job.B.get(), J, n, m, 0, 1));
    } else if (o.key_usage == "read_each_time") {
        // The scratch flags say which key is read; they follow read_A / read_B.
        o.A_was_read = o.read_A;
        o.B_was_read = !o.read_A && o.read_B;
        if (o.A_was_read) {
            platform::encoder_message("Give me A", platform::Buttons::OkCancel);
            job.A.reset(read_matrix_from_binary_file(false, true, m, n, nullptr, nullptr, ""));
            if (!job.A) {
                open_log_file();
                return;
            }
            job.B.reset(derive_B(job.A.get()));
        } else {
            platform::services().message_box(platform::notice(platform::kChooseKeyNotice),
                                             platform::notice(platform::kDecoderCaption),
                                             platform::Buttons::Ok, platform::Icon::None);
            job.B.reset(read_matrix_from_binary_file(false, true, n, m, nullptr, nullptr, ""));
            if (!job.B) {
                open_log_file();
                return;
            }
            job.A.reset(derive_A(job.B.get()));
        }
    } else {  // create
        if (o.create_A) {
            job.A.reset(make_key_matrix(m, n, o.random_A ? 0 : 1, 0, 1));
            job.B.reset(derive_B(job.A.get()));
        } else {
            job.B.reset(make_key_matrix(n, m, o.random_B ? 0 : 1, 0, 1));
            job.A.reset(derive_A(job.B.get()));
        }
        if (o.save_keys) {
            save_keys({{job.B.get(), n, m,
                        "B_" + std::to_string(n) + "_" + std::to_string(m) + "_" + job.time_stamp},
                       {job.A.get(), m, n,
                        "A_" + std::to_string(m) + "_" + std::to_string(n) + "_" + job.time_stamp}},
                      job.key_folder, observer);
        }
    }

    if (o.encode) {
        if (o.interactive_encode) {
            encode_entry(std::string(), job.encode_folder, job.A.get(), 1, o, 0, observer);
        } else {
            for (std::size_t i = 0; i < job.encode_table.size(); ++i) {
                if (encode_entry(job.encode_table[i], job.encode_folder, job.A.get(), 0, o, i,
                                 observer) == entry_outcome::stopped) {
                    return;
                }
            }
        }
    }

    if (o.decode) {
        if (o.interactive_decode) {
            decode_entry(std::string(), job.decode_folder, job.B.get(), job.J_inv.get(), 1, 0,
                         observer);
        } else {
            for (std::size_t i = 0; i < job.decode_table.size(); ++i) {
                if (decode_entry(job.decode_table[i], job.decode_folder, job.B.get(),
                                 job.J_inv.get(), 0, i, observer) == entry_outcome::stopped) {
                    return;
                }
            }
        }
    }
}

// ------------------------------------------------------------------ key-set road

void CMatrixCipher::key_set_road(Job& job) {
    const job_options& o = job.options;
    if (o.levels == 2 && o.key_set_kind == "infinite") {
        platform::encoder_message("Encryption complete");
        return;
    }
    if (o.levels == 3 && o.key_set_kind == "finite") {
        platform::encoder_message("The choice of m and n is not correct.",
                                  platform::Buttons::OkCancel);
        return;
    }
    if (o.levels != 2 || o.key_set_kind != "finite") {
        return;
    }

    job_observer& observer = *job.observer;
    Matrix J = job.J.get();
    const int dialog = o.interactive_encode ? 1 : 0;
    const std::string key_folder = "d:\\";

    auto encode_one = [&](std::string path, const std::string& folder, Matrix A,
                          std::size_t index) {
        encode_entry(std::move(path), folder, A, dialog, o, index, observer);
    };

    platform::encoder_message("I will make a master key and 3 daughter keys",
                              platform::Buttons::OkCancel);
    platform::crt_srand(5190627);
    MatrixPtr B0(make_key_matrix(n, m, 0, 0, 1));
    const std::string suffix = save_keys({{B0.get(), n, m, "master.key"}}, key_folder, observer);

    struct EncodingKey {
        std::uint32_t seed;
        const char* prompt;
        MatrixPtr A;
    };
    EncodingKey keys[3] = {
        {62417, "Give me a file you want to encrypt with key1", nullptr},
        {3078851, "Give me a file you want to encrypt with key2", nullptr},
        {529, "Give me a file you want to encrypt with key3", nullptr},
    };
    std::size_t index = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        EncodingKey& key = keys[k];
        platform::crt_srand(key.seed);
        key.A.reset(opposite_A_of_B(B0.get(), J, n, m, 0, 1));
        if (platform::encoder_message(key.prompt, platform::Buttons::OkCancel) ==
            platform::Answer::Cancel) {
            open_log_file();
            return;
        }
        if (k == 0) {
            if (dialog == 1) {
                encode_one(std::string(), std::string(), key.A.get(), index++);
            } else {
                // The test files of the batch road.
                static const char* const kTestFiles[] = {"test_gif1.gif", "test_gif2.gif",
                                                         "test_jpg1.jpg", "test_jpg2.jpg",
                                                         "test_ttf1.ttf", "test_ttf2.ttf"};
                if (job.encode_table.size() < 6) {
                    job.encode_table.resize(6);
                }
                for (std::size_t i = 0; i < 6; ++i) {
                    const std::string path = std::string("d:\\plainfile\\") + kTestFiles[i];
                    job.encode_table[i] = platform::host_path(path).value_or(path);
                }
                const std::size_t count =
                    static_cast<std::size_t>(std::max(o.encode_file_count, 0));
                for (std::size_t i = 0; i < count; ++i) {
                    encode_one(job.encode_table[i], job.encode_folder, key.A.get(), index++);
                }
            }
        } else {
            encode_one(std::string(), job.encode_folder, key.A.get(), index++);
        }
        encode_one(std::string(), job.encode_folder, key.A.get(), index++);
    }
    platform::encoder_message("end of encode 3 ", platform::Buttons::OkCancel);

    platform::crt_srand(7315960);
    const char* const daughter_names[] = {"daughter1.key", "daughter2.key", "daughter3.key"};
    MatrixPtr daughters[3];
    std::vector<key_file> daughter_files;
    for (std::size_t k = 0; k < 3; ++k) {
        daughters[k].reset(opposite_B_of_A(keys[k].A.get(), J, m, n, 0, 1));
        daughter_files.push_back({daughters[k].get(), n, m, daughter_names[k]});
    }
    // The daughters go together, under the suffix the master key got.
    save_keys(daughter_files, key_folder, observer, suffix);
}

}  // namespace vekdc
