// The filter of an open-file dialog as the core writes it, read once for
// every toolkit that shows the dialog.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vekdc::platform {

// One entry of a dialog's file-type list.
struct FileFilter {
    std::string label;                  // as shown, e.g. "key file (*.key)"
    std::vector<std::string> patterns;  // e.g. "*.key"; none: every file

    bool operator==(const FileFilter&) const = default;
};

// Reads a filter given either as pairs "label|patterns|label|patterns||"
// (patterns separated by ';') or as one label whose last parenthesised
// patterns apply ("key file (*.key)"). Blanks around labels and patterns are
// dropped; an empty label ends the list.
std::vector<FileFilter> parse_file_filter(std::string_view filter);

// Whether a file name is a pattern ('*' or '?') rather than a name.
bool has_wildcard(std::string_view name);

}  // namespace vekdc::platform
