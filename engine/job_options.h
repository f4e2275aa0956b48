// The one record that describes a job of the cipher engine, and the observer
// through which a caller can follow the job file by file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Common/matrix/matrix.h"

namespace vekdc {

enum class file_problem;  // codec/codec.h
struct plain_file;        // codec/codec.h

// The files of a batch encode that a caller has already opened and screened
// (to refuse a list before anything is written), handed to the job so that
// each file is opened once.
class opened_plain_files {
public:
    virtual ~opened_plain_files() = default;
    // Moves the screened file of entry `index` into `file`; false when the
    // caller holds none for it, and the job opens it by name.
    virtual bool take(std::size_t index, plain_file& file) = 0;
};

// Where a job's keys come from: the caller's loaded decoding key, a key file
// chosen in a dialog, or keys the job creates.
enum class key_usage { read_once, read_each_time, create };

struct job_options {
    enum key_usage key_usage = key_usage::read_once;
    bool read_B = false;     // read_each_time: read B, derive A
    bool read_A = false;     // read_each_time: read A, derive B
    bool save_keys = false;  // create: write the created pair as key files
    bool random_A = false;   // create A: random (else regular)
    bool random_B = false;   // create B: random (else regular)
    bool create_A = false;
    bool create_B = false;
    bool make_key_set = false;    // take the key-set road instead of a normal job
    bool encode = false;          // run the encode step
    bool decode = false;          // run the decode step
    std::string key_set_kind;     // key-set road: "finite" or "infinite"
    int levels = 2;               // 2 or 3 key levels
    bool pvek = true;             // encoder: write the pVEK form
    int clear_prefix_length = 0;  // encoder: plain bytes kept ahead of the cipher block
    int header_extra = 1;         // encoder: value of header word +12
    Matrix key_to_use = nullptr;  // read_once: the caller's 11 x 12 decoding key (not owned)
    std::vector<std::string> encode_files;
    std::vector<std::string> decode_files;
    int encode_file_count = 0;  // entries of encode_files to use
    int decode_file_count = 0;  // entries of decode_files to use
    std::string encode_out_dir;
    std::string decode_out_dir;
    std::string key_dir;              // folder (with its final separator) for created keys
    bool interactive_encode = false;  // the encoder asks for its one input itself
    bool interactive_decode = false;  // the decoder asks for its one input itself

    // Beyond the original record:
    std::string key_to_use_file;  // read_once: the file key_to_use was read from, for messages
    bool open_viewers = true;     // decode step: open decoded files in their viewers
    // Batch steps: a listed file that cannot be coded (missing, not a file of
    // the step's kind, unreadable) is named and skipped instead of ending the
    // program.
    bool skip_unusable_files = false;
    // Batch steps: a missing output folder is made, with its parents, when
    // the first file is about to be written into it.
    bool create_out_dirs = false;
    // Batch encode: where the listed files were opened already (not owned).
    opened_plain_files* opened_encode_files = nullptr;
};

// The jobs the programs run, one constructor each. Every other field keeps
// its default.
//
// A batch decode with a key the caller has loaded (read_once, two levels).
job_options decode_job(Matrix decoding_key, std::vector<std::string> files, std::string out_dir);
// A batch encode in the pVEK form with the encoding key derived from a
// decoding key the caller has loaded; the files then open with that key.
job_options encode_job(Matrix decoding_key, std::vector<std::string> files, std::string out_dir,
                       int clear_prefix_length = 0, int header_extra = 1);
// A batch encode whose encoding key A is read from a file the key dialog
// names (read_each_time, reading A).
job_options encode_job_reading_A(std::vector<std::string> files, std::string out_dir,
                                 int clear_prefix_length = 0, int header_extra = 1);
// Creates A (create_A) or B, random or regular, derives the other and saves
// both into key_dir (with its final separator, "" for the current folder).
job_options create_keys_job(bool create_A, bool random, std::string key_dir);
// The key-set road: a master key, three encoding keys and three daughter keys,
// with two files chosen in the dialog encoded per encoding key.
job_options key_set_job();

enum class job_step { encode, decode };

// What a file opened in a batch step is: its size, its type code, and, for
// an encrypted file, the length of its clear prefix.
struct file_facts {
    std::uint64_t size = 0;
    std::int32_t type_code = 0;
    std::int32_t clear_prefix_length = 0;
};

// Told what a job does with each file. Every call comes from inside run_job,
// on the caller's thread. The default implementations do nothing.
class job_observer {
public:
    virtual ~job_observer() = default;
    // index counts the files of one step from 0; path is the listed path
    // (empty for a file the user is about to choose in a dialog).
    virtual void file_started(job_step /*step*/, std::size_t /*index*/,
                              const std::string& /*path*/) {}
    virtual void file_written(job_step /*step*/, std::size_t /*index*/, const std::string& /*path*/,
                              const std::string& /*written_path*/) {}
    // The file was opened, and is what `facts` say.
    virtual void file_opened(job_step /*step*/, std::size_t /*index*/,
                             const file_facts& /*facts*/) {}
    // The file was not written (a wrong key, or a dialog that was cancelled).
    virtual void file_refused(job_step /*step*/, std::size_t /*index*/,
                              const std::string& /*path*/) {}
    // The file could not be coded at all and was skipped (skip_unusable_files).
    // `problem` is what opening it found, `error_number` the system's reason;
    // file_problem{} (none) when it failed while it was read, and the coder's
    // message has named it. Answers true when the observer names the file
    // itself; otherwise a message of the engine names it. Counted as refused
    // unless overridden.
    virtual bool file_unusable(job_step step, std::size_t index, const std::string& path,
                               file_problem /*problem*/, int /*error_number*/) {
        file_refused(step, index, path);
        return false;
    }
    // The output folder was made, as a file was about to be written into it.
    virtual void folder_created(const std::string& /*folder*/) {}
    virtual void key_written(const std::string& /*path*/) {}
    // Bytes of the current file handled so far, of `total`; called in bounded
    // steps while a large file is copied, so that a caller can show movement.
    virtual void file_progress(job_step /*step*/, std::size_t /*index*/, std::uint64_t /*done*/,
                               std::uint64_t /*total*/) {}
    // Asked between files and between the steps of a large file. When it
    // answers true the job stops: the unfinished output is discarded, files
    // already written stay, and run_job returns after job_stopped().
    virtual bool stop_requested() { return false; }
    virtual void job_stopped(job_step /*step*/, std::size_t /*index*/) {}
};

}  // namespace vekdc
