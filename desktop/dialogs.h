// Forms and dialogs as templates: a table of controls in template order
// (which is also the tab order) with their places in dialog units, and the
// arithmetic that places them. A dialog unit follows the form's font on its
// screen: a quarter of the average Latin letter width across, an eighth of
// the font's height down. A window makes one control per row, measures what
// each needs to show its text whole, and lets lay_out() place them: a control
// whose text would not fit its place is widened (or made taller), so every
// text shows whole in any font and at any scale.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "desktop/texts.h"
#include "desktop/window.h"
#include "vekdc/version.h"

namespace vekdc::desktop {

// The identifier of controls that have none.
inline constexpr int IDC_STATIC = -1;

enum class control_kind {
    push_button,      // an ordinary push button
    def_push_button,  // the dialog's default push button
    static_text,      // plain text, left-aligned
    icon,             // the program icon
    edit,             // a one-line edit box
    list_box,         // the input file list
    progress,         // a progress bar, 0..100
};

struct dialog_item {
    int id;
    control_kind kind;
    std::optional<text_id> text;  // a text of the catalogue
    const char* fixed = nullptr;  // or one that reads the same in every language
    int x, y, cx, cy;             // dialog units
    const char* name = nullptr;   // the control's name; nullptr for "IDC_<id>"
    // What a screen reader calls a control that shows no text of its own
    // (edit boxes, the list, the progress bar); a button's text is its name.
    std::optional<text_id> accessible_name = std::nullopt;
    // The tooltip: what a button does, and its key where it has one.
    std::optional<text_id> tip = std::nullopt;
};

struct dialog_template {
    int cx, cy;      // size in dialog units
    int point_size;  // of the dialog font "ＭＳ Ｐゴシック"
    std::span<const dialog_item> items;
};

// The decode panel's form (dialog 130) and the version dialog (dialog 100).
const dialog_template& decode_form();
const dialog_template& version_dialog();

// The version dialog's controls and fixed texts. (OK is control 1, IDOK on
// Windows, whose headers make IDOK a macro: the name here keeps clear of it.)
struct version_dialog_ids {
    static constexpr int IDC_OK = 1;
    static constexpr int IDC_WEB_PAGE = 1011;
};
inline constexpr const char* kVersionText = "VEK DECODER Version " VEKDC_VERSION;
inline constexpr const char* kMakerNotice = VEKDC_COPYRIGHT;
inline constexpr const char* kMakerAddress = "orvinta.example";

// The lock-key panes of the status bar, in the order of platform::LockKey:
// the text a lit pane shows, and what a screen reader calls the pane.
struct lock_pane {
    text_id lit_text;
    text_id name;
};
inline constexpr lock_pane kLockPanes[] = {
    {text_id::indicator_kana, text_id::kana_lock_name},
    {text_id::indicator_caps, text_id::caps_lock_name},
    {text_id::indicator_num, text_id::num_lock_name},
    {text_id::indicator_scroll, text_id::scroll_lock_name},
};

// A control's text in the user's language; empty for none.
std::string item_text(const dialog_item& item);
// What a screen reader calls a control without a text of its own, and a
// button's tooltip; empty for none.
std::string item_accessible_name(const dialog_item& item);
std::string item_tip(const dialog_item& item);
// A control's name: its own, or "IDC_<id>".
std::string item_name(const dialog_item& item);

struct rect {
    int x = 0, y = 0, width = 0, height = 0;
    int right() const { return x + width; }    // one past the last column
    int bottom() const { return y + height; }  // one past the last row
    friend bool operator==(const rect&, const rect&) = default;
};
struct size {
    int width = 0, height = 0;
    friend bool operator==(const size&, const size&) = default;
};

// A font's dialog base units on a screen.
struct base_units {
    int width = 0;
    int height = 0;
};
// The average of the 52 Latin letters, rounded as the original platform
// rounds it, and the font's height.
base_units base_units_of(int advanceOf52Letters, int fontHeight);

// A rectangle given in dialog units in pixels. Each edge is converted on its
// own and rounded half away from zero, so that adjacent controls stay adjacent.
rect map_dialog_rect(const rect& units, base_units base);

struct dialog_layout {
    std::vector<rect> places;  // one per item, in template order
    size surface;
};
// Places the controls: each at its template place, widened and made taller
// where `needed` (one per item; 0 for no need) asks for more. The surface is
// the template's size, or more where widened controls need it (the
// template's right and bottom margins are kept).
dialog_layout lay_out(const dialog_template& dialog, base_units base, std::span<const size> needed);

}  // namespace vekdc::desktop
