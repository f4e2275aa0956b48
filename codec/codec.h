// The encrypted file format (.vek) and the coder of one file.
//
// pVEK form of a plain file of S bytes, little-endian throughout:
//   0       32-byte header: marker 1, clear prefix length P, type code,
//           header_extra, four zero words
//   32      P plain bytes, unchanged
//   32+P    cipher block: 12 doubles y = A * (type code, plain bytes P..P+9)
//   128+P   plain bytes P+10 .. S-1, unchanged
#pragma once

#include <cstddef>
#include <cstdint>
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

// Decodes one file. Batch mode (dialog 0) reads `path`; dialog mode (1) asks
// for the file and puts its name into `path`. Returns 1 when a plain file was
// written (its path into *written_path when given), 0 for a wrong key or a
// cancelled dialog; other failures end the program. Any other dialog value
// returns 1 and does nothing.
int decode_file(std::string& path, std::string& out_dir, Matrix B, Matrix J_inv,
                std::string& out_stem, std::string& out_ext, int dialog,
                std::string* written_path = nullptr);

// Encodes one file with the 12 x 11 key A. Batch mode (dialog 0, pVEK form)
// reads `path` and writes out_dir + stem + ".vek"; the dialog modes ask for the
// file, put its name into `path` and write stem + ".vek" in the current folder,
// in the pVEK or the block-by-block form. Returns 1 when a file was written
// (its path into *written_path when given), else 0; failures end the program.
int encode_file(std::string& path, const std::string& out_dir, Matrix A, int dialog, bool pvek,
                int clear_prefix_length, int header_extra, std::string* written_path = nullptr);

}  // namespace vekdc
