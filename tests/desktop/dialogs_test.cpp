// Dialog units: places from the font's base units, and controls widened
// where their texts need more room.
#include <gtest/gtest.h>

#include "desktop/dialogs.h"

namespace vekdc::desktop {
namespace {

TEST(Dialogs, DialogUnitsComeFromTheFont) {
    struct row {
        const char* name;
        base_units base;
        rect units;
        rect pixels;
    };
    // x = units * width / 4 and y = units * height / 8, each edge rounded half
    // away from zero on its own.
    const row rows[] = {
        {"exact", {8, 16}, {4, 8, 40, 16}, {8, 16, 80, 32}},
        // left 10.5 -> 11, top 24.375 -> 24, right 109.5 -> 110, bottom 47.125 -> 47
        {"rounded edges", {6, 13}, {7, 15, 66, 14}, {11, 24, 99, 23}},
        // 235 * 7 / 4 = 411.25, 55 * 17 / 8 = 116.875
        {"version dialog", {7, 17}, {0, 0, 235, 55}, {0, 0, 411, 117}},
        // Adjacent controls stay adjacent: 10.5 -> 11 is where both meet.
        {"left of a neighbour", {6, 13}, {0, 0, 7, 8}, {0, 0, 11, 13}},
        {"right of it", {6, 13}, {7, 0, 7, 8}, {11, 0, 10, 13}},
    };
    for (const row& r : rows) {
        EXPECT_EQ(map_dialog_rect(r.units, r.base), r.pixels) << r.name;
    }
}

TEST(Dialogs, BaseUnitsAreTheRoundedAverageLetter) {
    struct row {
        int advance;  // of the 52 letters
        int height;
        base_units base;
    };
    const row rows[] = {
        {52 * 6, 13, {6, 13}}, {52 * 6 + 25, 13, {6, 13}}, {52 * 6 + 26, 15, {7, 15}}};
    for (const row& r : rows) {
        const base_units base = base_units_of(r.advance, r.height);
        EXPECT_EQ(base.width, r.base.width) << r.advance;
        EXPECT_EQ(base.height, r.base.height);
    }
}

TEST(Dialogs, ControlsGrowToTheirTextsAndTheSurfaceWithThem) {
    const dialog_template& form = decode_form();
    const base_units base{6, 13};
    const std::vector<size> none(form.items.size());
    const dialog_layout plain = lay_out(form, base, none);
    const rect whole = map_dialog_rect({0, 0, form.cx, form.cy}, base);
    EXPECT_EQ(plain.surface, (size{whole.width, whole.height}));
    ASSERT_EQ(plain.places.size(), form.items.size());
    for (std::size_t i = 0; i < form.items.size(); ++i) {
        const dialog_item& item = form.items[i];
        EXPECT_EQ(plain.places[i], map_dialog_rect({item.x, item.y, item.cx, item.cy}, base));
    }

    // The list box (its right edge is the form's widest) needs 100 pixels
    // more; the key box a taller line.
    std::vector<size> needed(form.items.size());
    const std::size_t list = 2;
    const std::size_t key = form.items.size() - 1;
    ASSERT_EQ(form.items[list].id, decode_pane::IDC_FILE_LIST);
    ASSERT_EQ(form.items[key].id, decode_pane::IDC_KEY_PATH);
    needed[list] = size{plain.places[list].width + 100, 0};
    needed[key] = size{0, plain.places[key].height + 9};
    const dialog_layout grown = lay_out(form, base, needed);
    EXPECT_EQ(grown.places[list].width, plain.places[list].width + 100);
    EXPECT_EQ(grown.places[list].x, plain.places[list].x);
    EXPECT_EQ(grown.places[key].height, plain.places[key].height + 9);
    // The template's right and bottom margins stay beyond the grown controls.
    const int rightMargin = whole.width - plain.places[list].right();
    EXPECT_EQ(grown.surface.width, grown.places[list].right() + rightMargin);
    EXPECT_GT(grown.surface.height, plain.surface.height);
}

}  // namespace
}  // namespace vekdc::desktop
