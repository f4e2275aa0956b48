// The encrypted file format (.vek) and the coder of one file.
//
// pVEK form of a plain file of S bytes, little-endian throughout:
//   0       32-byte header: marker 1, clear prefix length P, type code,
//           header_extra, four zero words
//   32      P plain bytes, unchanged
//   32+P    cipher block: 12 doubles y = A * (type code, plain bytes P..P+9)
//   128+P   plain bytes P+10 .. S-1, unchanged
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Common/matrix/matrix.h"
#include "codec/dimensions.h"
#include "platform/file.h"

namespace vekdc {

inline constexpr std::size_t kHeaderBytes = 32;
inline constexpr std::size_t kBlockBytes = 8 * kBlockLength;
inline constexpr std::size_t kPlainSpan = kPlainLength - 1;  // plain bytes in a block

// The 32-byte header of the pVEK form, as little-endian 32-bit words; the
// four words after header_extra are reserved (written as zeros, not read).
struct vek_header {
    std::int32_t marker = 1;  // always 1: the decoder's test of the form
    std::int32_t clear_prefix_length = 0;
    std::int32_t type_code = 0;
    std::int32_t header_extra = 0;  // not read by the decoder
};
std::array<unsigned char, kHeaderBytes> header_bytes(const vek_header& header);
vek_header parse_header(const unsigned char* bytes);

// The extension a type code stands for, or nothing for an unknown code.
std::optional<std::string_view> extension_of_type(std::int32_t code);

// The type code of a plain file from the last three characters of its name.
// A refused name ends the program (status 0) after saying why; the message
// names `shown` (the file) when it is given.
int file_type_code(std::string_view last_three, const std::string& shown = std::string());

// The last three characters of a name (the whole of a shorter one).
std::string_view last_three_characters(std::string_view name);

// name = text after the last separator (all of path without one);
// stem = name before its last "." (all of name without one).
void split_path(const std::string& path, std::string& name, std::string& stem);

// A decoded element rounded to the nearest integer (ties upward) modulo 256,
// computed in doubles; nothing for a value that is not finite.
std::optional<std::uint8_t> round_to_byte(double value);

// ---------------------------------------------------------------- the key check
//
// A key deciphers a cipher block into eleven values x = J_inv * (B * block).
// With the key that made the block each value lies within rounding error of an
// integer: the type code, then the ten plain bytes. A key opens a block only
// when every value is finite and within kKeyCheckTolerance of an integer, the
// first is the header's type code and the other ten lie in 0..255.
//
// The tolerance comes from vekdc-key-check (bench/key_check.cpp), which makes
// three million trials of this check. Right keys (master and daughter
// keys, created random and regular pairs, the read_once derivation) land at
// most 5.4e-9 from an integer (the rounding error grows with the size of a
// derived key's elements). Wrong keys come no closer than 3.2e-4: a sibling
// daughter key misses by a multiple of one fixed vector, so its values creep
// towards integers only when that multiple is near zero, with a probability
// that falls linearly with the distance. 1e-6 sits near the geometric middle,
// about 200 times above the first and 300 times below the second. Both tails
// widen slowly with more trials: fifteen million (--families 1000) gave
// 2.1e-8 and 2.4e-5, still a factor of twenty on either side of 1e-6.
inline constexpr double kKeyCheckTolerance = 1.0e-6;

using cipher_block = std::array<double, kBlockLength>;
using plain_vector = std::array<double, kPlainLength>;
using plain_block = std::array<std::uint8_t, kPlainLength>;

// The block A * x of a plain vector, computed as the encoder computes it.
cipher_block encipher(const plain_vector& x, Matrix A);
// The values J_inv * (B * block), unrounded. A caller that knows J_inv to be
// exactly the identity may pass null for it and save its product: the values
// are then the same, but for the sign of a zero, which rounds alike.
plain_vector decipher_values(const cipher_block& block, Matrix B, Matrix J_inv);
// The largest distance of a value from its nearest integer; infinity when a
// value is not finite.
double integer_deviation(const plain_vector& values);
// The type element and the ten plain bytes when the key opens the block
// (J_inv as for decipher_values).
std::optional<plain_block> open_block(const cipher_block& block, std::int32_t type_code, Matrix B,
                                      Matrix J_inv);

// The decoding key of a job, with which the encoder opens every block it
// makes before the block is written: a file that its own job's key cannot
// open is never published.
struct decoding_key {
    Matrix B = nullptr;
    Matrix J_inv = nullptr;
};

// ---------------------------------------------------------------- looking before acting
//
// What stands in the way of coding a file, found without writing anything and
// without waiting on a pipe.
enum class file_problem {
    none,
    missing,        // cannot be looked at; error_number says why
    folder,         // names a folder
    not_regular,    // a pipe, device or socket
    cannot_read,    // cannot be opened or read; error_number says why
    not_encrypted,  // no pVEK header, or too short for its prefix and cipher block
    unknown_type,   // the header's type code is not one of the thirteen
    refused_type,   // a plain file whose name the encoder refuses
    vek_type,       // a plain file named as an encrypted file
    too_short,      // a plain file shorter than the clear prefix and ten bytes
    shrunk,         // a file that became shorter while it was read
};

// Why a file cannot be coded, in a few words for a message that names the
// file: the system's reason where it gave one.
std::string problem_text(file_problem problem, int error_number);

struct encrypted_facts {
    std::uint64_t size = 0;
    std::int32_t clear_prefix_length = 0;
    std::int32_t type_code = 0;
    cipher_block block{};
};
struct encrypted_inspection {
    file_problem problem = file_problem::none;
    int error_number = 0;
    encrypted_facts facts;  // as far as they were read
};

// An encrypted file opened once: what it is, and, when it can be decoded,
// the open file and its first bytes, from which the decoder goes on.
struct encrypted_file {
    encrypted_inspection inspection;
    std::optional<platform::InputFile> input;
    std::vector<unsigned char> head;  // the file's first bytes, read with the header
};
// Bytes read at once with the header: a small file whole, and the start of
// a large one.
inline constexpr std::size_t kDecoderHead = std::size_t{64} << 10;
// Opens a file and reads its header and cipher block (in one read when
// `head` bytes reach them): constant work whatever the file's size.
encrypted_file open_encrypted_file(const std::string& path,
                                   std::size_t head = kHeaderBytes + kBlockBytes);
// The same, without keeping the file open.
encrypted_inspection inspect_encrypted_file(const std::string& path);
// The decoder's message for a file it cannot take, naming the file.
std::string encrypted_problem_message(const std::string& path,
                                      const encrypted_inspection& inspection);

struct plain_inspection {
    file_problem problem = file_problem::none;
    int error_number = 0;
    int type_code = 0;
    std::uint64_t size = 0;
};
// Whether the batch encoder would take the plain file with this clear
// prefix, by its name and what the system says of it (the file is not opened).
plain_inspection inspect_plain_file(const std::string& path, int clear_prefix_length);
// A plain file opened once for the batch encoder, with its first bytes.
struct plain_file {
    plain_inspection inspection;
    std::optional<platform::InputFile> input;
    std::vector<unsigned char> head;
};
inline constexpr std::size_t kEncoderHead = kDecoderHead;
plain_file open_plain_file(const std::string& path, int clear_prefix_length);
// The two halves of open_plain_file(): the file opened and judged by its
// name and size (kept open only when it is taken), and then its first bytes
// read. A list can be screened whole before anything is written and each
// file still opened once.
plain_file screen_plain_file(const std::string& path, int clear_prefix_length);
void read_plain_head(plain_file& file);  // of a screened file with no problem
// The batch encoder's message for a file it does not take, naming the file.
std::string plain_problem_message(const std::string& path, const plain_inspection& inspection,
                                  int clear_prefix_length);

// The type code the encoder gives a name's last three characters, or nothing
// for a name it refuses.
std::optional<int> accepted_type_code(std::string_view last_three);

// The file the batch encoder writes for `path`: out_dir + stem + ".vek".
std::string encoded_path(const std::string& path, const std::string& out_dir);

// Two entries of an encode list that the batch encoder would write to the
// same file (a.txt and a.doc both give a.vek): `second` would replace what
// `first` wrote. Entries whose names the encoder refuses write nothing and
// take no part. Where the output folder folds case (FAT, NTFS), A.txt and
// a.txt meet too.
struct output_collision {
    std::size_t first = 0;
    std::size_t second = 0;
    std::string output;
};
// Every later entry that meets an earlier one, in list order.
std::vector<output_collision> output_collisions(const std::vector<std::string>& files,
                                                const std::string& out_dir);
// The same with case folded or not as `fold` says.
std::vector<output_collision> output_collisions(const std::vector<std::string>& files,
                                                const std::string& out_dir, bool fold);
// The message for one collision.
std::string collision_message(const std::string& first, const std::string& second,
                              const std::string& output);

// ---------------------------------------------------------------- coding one file

// Follows the copying of one file: told the bytes handled so far and the
// file's total after each bounded step; answers false to stop, and the
// unfinished output is then discarded.
using progress_watch = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Batch mode reads the path it is given; dialog mode asks for the file and
// puts its name into the path.
enum class coding_mode { batch = 0, dialog = 1 };
// What became of a call: a file written, or none (a wrong key, a cancelled
// dialog, a stop).
enum class coding_result { refused = 0, written = 1 };

// What a caller may add to a call.
struct coding_extras {
    std::string* written_path = nullptr;  // receives the path of the file written
    const progress_watch* watch = nullptr;
    // Makes the output folder, with its parents, when a file is about to be
    // written into it and it does not exist; false when it cannot (errno).
    std::function<bool(const std::string& folder)> make_folder = {};
};

// Decodes one file. Returns written when a plain file was written, refused
// for a wrong key or a cancelled dialog; other failures end the program. A
// mode other than batch or dialog returns written and does nothing.
coding_result decode_file(std::string& path, std::string& out_dir, Matrix B, Matrix J_inv,
                          std::string& out_stem, std::string& out_ext, coding_mode mode,
                          const coding_extras& extras = {});

// What decoding an opened file came to.
enum class decoded { written, wrong_key, stopped, unreadable };
// Decodes a file opened with open_encrypted_file() (with no problem) into
// out_dir (with its final separator): the batch road of decode_file after
// the file is open. A wrong key and a file that cannot be read to its end
// are reported by name and return; the output's failures end the program.
decoded decode_opened(encrypted_file& file, const std::string& path, const std::string& out_dir,
                      Matrix B, Matrix J_inv, std::string& out_stem, std::string& out_ext,
                      const coding_extras& extras = {});

// Encodes one file with the 12 x 11 key A. Batch mode (pVEK form) reads
// `path` and writes out_dir + stem + ".vek"; the dialog modes ask for the
// file, put its name into `path` and write stem + ".vek" in the current
// folder, in the pVEK or the block-by-block form. Returns written when a file
// was written; failures end the program. With `check` given, every block is
// opened with that key before it is written; one that does not open ends
// the program (status 1).
coding_result encode_file(std::string& path, const std::string& out_dir, Matrix A, coding_mode mode,
                          bool pvek, int clear_prefix_length, int header_extra,
                          const coding_extras& extras = {}, const decoding_key* check = nullptr);

// What encoding an opened file came to.
enum class encoded { written, stopped, unreadable };
// Encodes a file opened with open_plain_file() (with no problem) in the
// pVEK form: the batch road of encode_file after the file is open. A file
// that cannot be read to its end is reported by name and returns.
encoded encode_opened(plain_file& file, const std::string& path, const std::string& out_dir,
                      Matrix A, int clear_prefix_length, int header_extra,
                      const coding_extras& extras = {}, const decoding_key* check = nullptr);

// Names a complete encoded file as encode_opened() does: under its free
// name, or over an older file of that name; a failure ends the program.
void publish_encoded_file(platform::OutputFile& out, const std::string& out_path);

// The quiet half of encode_opened() for a file read whole with its head:
// the file encoded into an unnamed output beside `out_path`, its block
// checked with `check`, and nothing named, said or asked. Nothing when
// anything is amiss (the block does not open, the output cannot be made or
// written): encode_opened() then takes the file and says why. Safe to run
// on several threads at once.
std::optional<platform::OutputFile> encode_unnamed(const plain_file& file,
                                                   const std::string& out_path, Matrix A,
                                                   int clear_prefix_length, int header_extra,
                                                   const decoding_key& check);

}  // namespace vekdc
