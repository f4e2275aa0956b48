#include "desktop/dialogs.h"

#include <algorithm>

namespace vekdc::desktop {

namespace {

using ctl = decode_pane;

// Dialog 130: the form, 233 x 331 dialog units, "ＭＳ Ｐゴシック" 9 pt.
// Template order is the tab order.
// clang-format off
constexpr dialog_item kDecodeFormItems[] = {
//   id                     kind                         text                          fixed     x    y   cx  cy  name          accessible name         tooltip
    {ctl::IDC_SET_OUT_DIR,  control_kind::push_button,   text_id::set_out_dir_button,  nullptr,   7,  15,  66, 14, nullptr,      std::nullopt,           text_id::set_out_dir_tip},
    {ctl::IDC_DELETE_ITEMS, control_kind::push_button,   text_id::delete_items_button, nullptr, 125, 175, 101, 14, nullptr,      std::nullopt,           text_id::delete_items_tip},
    {ctl::IDC_FILE_LIST,    control_kind::list_box,      std::nullopt,                 nullptr,  27,  97, 199, 70, nullptr,      text_id::list_label,    std::nullopt},
    {ctl::IDC_PROGRESS,     control_kind::progress,      std::nullopt,                 nullptr,  29, 232, 197, 14, nullptr,      text_id::progress_name, std::nullopt},
    {ctl::IDC_OUT_DIR,      control_kind::edit,          std::nullopt,                 nullptr,  30,  39, 196, 14, nullptr,      text_id::out_dir_name,  std::nullopt},
    {ctl::IDC_DECODE,       control_kind::push_button,   text_id::decode_button,       nullptr,   7, 209,  67, 14, nullptr,      std::nullopt,           text_id::decode_tip},
    // Shown in the decode button's place while a run is active.
    {ctl::IDC_CANCEL,       control_kind::push_button,   text_id::cancel_button,       nullptr,   7, 209,  67, 14, nullptr,      std::nullopt,           text_id::cancel_tip},
    {IDC_STATIC,            control_kind::static_text,   text_id::list_label,          nullptr, 167,  80,  59,  8, "ListLabel",  std::nullopt,           std::nullopt},
    {ctl::IDC_ADD_TO_LIST,  control_kind::push_button,   text_id::add_to_list_button,  nullptr,   7,  75,  66, 14, nullptr,      std::nullopt,           text_id::add_to_list_tip},
    {ctl::IDC_CLEAR_LIST,   control_kind::push_button,   text_id::clear_list_button,   nullptr,  17, 175,  97, 14, nullptr,      std::nullopt,           text_id::clear_list_tip},
    {ctl::IDC_SET_KEY,      control_kind::push_button,   text_id::set_key_button,      nullptr,   7, 260,  67, 14, nullptr,      std::nullopt,           text_id::set_key_tip},
    {ctl::IDC_KEY_PATH,     control_kind::edit,          std::nullopt,                 nullptr,  31, 280, 195, 14, nullptr,      text_id::key_path_name, std::nullopt},
};

// Dialog 100: 235 x 55 dialog units, "ＭＳ Ｐゴシック" 9 pt. Its texts read the
// same in every language.
using ver = version_dialog_ids;
constexpr dialog_item kVersionItems[] = {
//   id                kind                           text          fixed           x   y  cx  cy  name
    {IDC_STATIC,       control_kind::icon,            std::nullopt, nullptr,       11, 17, 20, 20, "ProgramIcon"},
    {IDC_STATIC,       control_kind::static_text,     std::nullopt, kVersionText,  40, 10, 89,  8, "VersionText"},
    {IDC_STATIC,       control_kind::static_text,     std::nullopt, kMakerNotice,  40, 25, 97,  8, "MakerNotice"},
    {ver::IDC_OK,      control_kind::def_push_button, std::nullopt, "OK",          47, 34, 50, 14, "IDOK"},
    {ver::IDC_WEB_PAGE, control_kind::push_button,    std::nullopt, kMakerAddress, 143, 25, 79, 17},
};
// clang-format on

constexpr dialog_template kDecodeForm{233, 331, 9, kDecodeFormItems};
constexpr dialog_template kVersionDialog{235, 55, 9, kVersionItems};

// Dialog units per base unit.
constexpr int kUnitsPerAverageWidth = 4;
constexpr int kUnitsPerHeight = 8;

// value * numerator / denominator, rounded half away from zero.
int mul_div(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
}

}  // namespace

const dialog_template& decode_form() {
    return kDecodeForm;
}

const dialog_template& version_dialog() {
    return kVersionDialog;
}

std::string item_text(const dialog_item& item) {
    if (item.text) {
        return std::string(text(*item.text));
    }
    return item.fixed != nullptr ? std::string(item.fixed) : std::string();
}

std::string item_accessible_name(const dialog_item& item) {
    return item.accessible_name ? std::string(text(*item.accessible_name)) : std::string();
}

std::string item_tip(const dialog_item& item) {
    return item.tip ? std::string(text(*item.tip)) : std::string();
}

std::string item_name(const dialog_item& item) {
    return item.name != nullptr ? std::string(item.name) : "IDC_" + std::to_string(item.id);
}

base_units base_units_of(int advanceOf52Letters, int fontHeight) {
    return base_units{(advanceOf52Letters / 26 + 1) / 2, fontHeight};
}

rect map_dialog_rect(const rect& units, base_units base) {
    const int left = mul_div(units.x, base.width, kUnitsPerAverageWidth);
    const int top = mul_div(units.y, base.height, kUnitsPerHeight);
    const int right = mul_div(units.right(), base.width, kUnitsPerAverageWidth);
    const int bottom = mul_div(units.bottom(), base.height, kUnitsPerHeight);
    return rect{left, top, right - left, bottom - top};
}

dialog_layout lay_out(const dialog_template& dialog, base_units base,
                      std::span<const size> needed) {
    dialog_layout layout;
    int templateRight = 0;
    int templateBottom = 0;
    int right = 0;
    int bottom = 0;
    for (std::size_t i = 0; i < dialog.items.size(); ++i) {
        const dialog_item& item = dialog.items[i];
        const rect units{item.x, item.y, item.cx, item.cy};
        rect place = map_dialog_rect(units, base);
        templateRight = std::max(templateRight, units.right());
        templateBottom = std::max(templateBottom, units.bottom());
        if (i < needed.size()) {
            place.width = std::max(place.width, needed[i].width);
            place.height = std::max(place.height, needed[i].height);
        }
        layout.places.push_back(place);
        right = std::max(right, place.right());
        bottom = std::max(bottom, place.bottom());
    }
    // The template's margins to the right of and below its controls.
    const rect margins =
        map_dialog_rect(rect{0, 0, dialog.cx - templateRight, dialog.cy - templateBottom}, base);
    const rect whole = map_dialog_rect(rect{0, 0, dialog.cx, dialog.cy}, base);
    layout.surface = size{std::max(whole.width, right + std::max(0, margins.width)),
                          std::max(whole.height, bottom + std::max(0, margins.height))};
    return layout;
}

}  // namespace vekdc::desktop
