// Text services the window's core needs from the system: letter case folded
// the way the system compares names, and names from old Windows archives
// (code page 932) read as UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vekdc::platform {

// `utf8` with every letter in its lower-case form, by the system's Unicode
// tables (A and Ａ become a and ａ, Σ σ). Callers pass valid UTF-8.
std::string fold_case(std::string_view utf8);

// Bytes in code page 932 (Shift-JIS with its Windows extensions) as UTF-8;
// nothing when some byte does not decode.
std::optional<std::string> cp932_to_utf8(std::string_view bytes);

}  // namespace vekdc::platform
