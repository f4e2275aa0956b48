// The program's settings: their names, sections and defaults, the tree's
// colours and the recent-file list, kept in a small store that each window
// provides (QSettings on Linux, the registry key
// HKEY_CURRENT_USER\Software\Orvinta\VekDC on Windows).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vekdc::desktop {

// Where a window keeps the settings: UTF-8 strings by section and name. Every
// write is to reach the disk at once, because the program may end through
// exit() at any moment.
class settings_store {
public:
    virtual ~settings_store() = default;
    // The value, or nothing when it is missing (an empty value is not missing).
    virtual std::optional<std::string> read(std::string_view section, std::string_view name) = 0;
    virtual void write(std::string_view section, std::string_view name, std::string_view value) = 0;
    // Removes a section with all its values.
    virtual void remove_section(std::string_view section) = 0;
};

// The company and the application under which the settings are kept.
inline constexpr std::string_view kSettingsCompany = "Orvinta";
inline constexpr std::string_view kSettingsApplication = "VekDC";

// Written at every new document, never read.
inline constexpr std::string_view kDocumentSection = "VekDCDoc";
inline constexpr std::string_view kHomeDirEntry = "HomeDir";
inline constexpr std::string_view kHomeDirValue = "xxx";

// The tree's colours: hexadecimal Windows colour values 0x00BBGGRR.
inline constexpr std::string_view kTreeSection = "CLeftView";
inline constexpr std::string_view kBackColourEntry = "PaneColorLBack";
inline constexpr std::string_view kTextColourEntry = "PaneColorLText";
inline constexpr std::string_view kDefaultBackColourText = "00ffffff";
inline constexpr std::string_view kDefaultTextColourText = "00000000";

// Documents opened recently, most recent first, as File1, File2, ...
inline constexpr std::string_view kRecentFileSection = "Recent File List";
inline constexpr int kRecentFileCount = 6;

// A Windows colour value: red in the low byte, then green, then blue.
using COLORREF = std::uint32_t;
// 0xFFFFFFFF: the control's own (the system's) colour.
inline constexpr COLORREF kDefaultColour = 0xFFFFFFFFu;

struct rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const rgb&, const rgb&) = default;
};
constexpr COLORREF colorref(rgb colour) {
    return static_cast<COLORREF>(colour.red) | (static_cast<COLORREF>(colour.green) << 8) |
           (static_cast<COLORREF>(colour.blue) << 16);
}
constexpr rgb rgb_of(COLORREF value) {
    return rgb{static_cast<int>(value & 0xffu), static_cast<int>((value >> 8) & 0xffu),
               static_cast<int>((value >> 16) & 0xffu)};
}

// Reads a hexadecimal number the way scanf's "%x" does: leading blanks, an
// optional sign, an optional 0x, then hex digits (kept to 32 bits). Nothing
// when the text does not start with a number.
std::optional<COLORREF> scan_hex_colour(std::string_view text);

struct tree_colours {
    COLORREF back = 0x00FFFFFFu;
    COLORREF text = 0x00000000u;
};
// The tree's colours: a value that is missing or empty is written back with
// its default; one that does not parse leaves the built-in colour (white on
// black text) in use and stays as it is.
tree_colours read_tree_colours(settings_store& store);

// What every new document writes.
void write_new_document_settings(settings_store& store);

// The recent-file list, loaded from the store and written through at every change.
class recent_file_list {
public:
    recent_file_list(settings_store& store, int size);
    const std::vector<std::string>& files() const { return m_files; }
    // Puts `path` first (once), drops what is beyond the list's size, and
    // writes the whole list in its new order.
    void add(const std::string& path);

private:
    settings_store& m_store;
    int m_size;
    std::vector<std::string> m_files;
};

}  // namespace vekdc::desktop
