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

#include "Common/matrix/matrix.h"

namespace vekdc {

inline constexpr int kBlockLength = 12;  // m: doubles in a cipher block
inline constexpr int kPlainLength = 11;  // n: type element and ten plain bytes
inline constexpr std::size_t kHeaderBytes = 32;
inline constexpr std::size_t kBlockBytes = 96;
inline constexpr std::size_t kPlainSpan = 10;

// The extension a type code stands for, or nothing for an unknown code.
std::optional<std::string_view> extension_of_type(std::int32_t code);

// The type code of a plain file from the last three characters of its name.
// A refused name ends the program (status 0) after saying why.
int file_type_code(std::string_view last_three);

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
// A key deciphers a cipher block into eleven values y = J_inv * (B * block).
// With the key that made the block each value lies within rounding error of an
// integer: the type code, then the ten plain bytes. A key opens a block only
// when every value is finite and within kKeyCheckTolerance of an integer, the
// first is the header's type code and the other ten lie in 0..255.
inline constexpr double kKeyCheckTolerance = 1.0e-6;

using cipher_block = std::array<double, kBlockLength>;
using deciphered_values = std::array<double, kPlainLength>;
using plain_block = std::array<std::uint8_t, kPlainLength>;

deciphered_values decipher_values(const cipher_block& block, Matrix B, Matrix J_inv);
// The largest distance of a value from its nearest integer; infinity when a
// value is not finite.
double integer_deviation(const deciphered_values& values);
// The type element and the ten plain bytes when the key opens the block.
std::optional<plain_block> open_block(const cipher_block& block, std::int32_t type_code, Matrix B,
                                      Matrix J_inv);

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
};

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
// Reads the header and the cipher block of an encrypted file: constant work
// whatever the file's size.
encrypted_inspection inspect_encrypted_file(const std::string& path);

struct plain_inspection {
    file_problem problem = file_problem::none;
    int error_number = 0;
    int type_code = 0;
    std::uint64_t size = 0;
};
// Whether the batch encoder would accept the plain file with this clear prefix.
plain_inspection inspect_plain_file(const std::string& path, int clear_prefix_length);

// The type code the encoder gives a name's last three characters, or nothing
// for a name it refuses.
std::optional<int> accepted_type_code(std::string_view last_three);

// The file the batch encoder writes for `path`: out_dir + stem + ".vek".
std::string encoded_path(const std::string& path, const std::string& out_dir);

// Follows the copying of one file: told the bytes handled so far and the
// file's total after each bounded step; answers false to stop, and the
// unfinished output is then discarded.
using progress_watch = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Decodes one file. Batch mode (dialog 0) reads `path`; dialog mode (1) asks
// for the file and puts its name into `path`. Returns 1 when a plain file was
// written (its path into *written_path when given), 0 for a wrong key or a
// cancelled dialog; other failures end the program. Any other dialog value
// returns 1 and does nothing.
int decode_file(std::string& path, std::string& out_dir, Matrix B, Matrix J_inv,
                std::string& out_stem, std::string& out_ext, int dialog,
                std::string* written_path = nullptr, const progress_watch* watch = nullptr);

// Encodes one file with the 12 x 11 key A. Batch mode (dialog 0, pVEK form)
// reads `path` and writes out_dir + stem + ".vek"; the dialog modes ask for the
// file, put its name into `path` and write stem + ".vek" in the current folder,
// in the pVEK or the block-by-block form. Returns 1 when a file was written
// (its path into *written_path when given), else 0; failures end the program.
int encode_file(std::string& path, const std::string& out_dir, Matrix A, int dialog, bool pvek,
                int clear_prefix_length, int header_extra, std::string* written_path = nullptr,
                const progress_watch* watch = nullptr);

}  // namespace vekdc
