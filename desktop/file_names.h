// File names as the system gives them: bytes, not necessarily UTF-8 (on
// Windows always UTF-8, made from the system's UTF-16). The windows show them
// as text but open and decode them by their bytes.
#pragma once

#include <string>
#include <string_view>

namespace vekdc::desktop {

// True when the bytes are well-formed UTF-8.
bool is_utf8(std::string_view bytes);

// The text shown for a name or path: as UTF-8 where it is valid; else, name
// by name, as CP932 (names from old Windows archives) where that decodes;
// else as UTF-8 with each byte that does not decode shown as \xNN.
std::string display_name(std::string_view bytes);

// The encrypted-file test of the tree and the list: the path contains ".vek"
// anywhere, in lower case.
bool is_encrypted_path(std::string_view path);

// The last name of a path and the folder before it (without its final
// separator; a root folder keeps its separator).
std::string_view file_name_of(std::string_view path);
std::string_view folder_of_path(std::string_view path);

// `name` appended to `folder` with one separator between them.
std::string join_path(std::string_view folder, std::string_view name);

// True for a path that does not depend on the current folder: "/..." on
// POSIX systems; "X:\...", "X:/..." or "\\server\..." on Windows.
bool is_absolute_path(std::string_view path);
// `path` made absolute against `folder` when it is not already.
std::string absolute_path(std::string_view path, std::string_view folder);
// The process's current folder (in UTF-8 on Windows).
std::string current_folder();

}  // namespace vekdc::desktop
