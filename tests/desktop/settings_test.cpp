// The settings: colour values read as scanf's "%x" reads them, defaults
// written back, the recent-file list written through.
#include <gtest/gtest.h>

#include "desktop/settings.h"
#include "tests/desktop/desktop_support.h"

namespace vekdc::desktop {
namespace {

TEST(Settings, ReadColourValuesAsHexadecimalNumbers) {
    struct row {
        std::string text;
        std::optional<COLORREF> value;
    };
    const row rows[] = {
        {"00ffffff", 0x00FFFFFFu},
        {"000000ff", 0x000000FFu},
        {" 0x00ff0000", 0x00FF0000u},
        {"80", 0x80u},
        {"ffffffff", 0xFFFFFFFFu},
        {"-1", 0xFFFFFFFFu},
        {"+1A", 0x1Au},
        {"123456 junk", 0x123456u},
        {"0x", 0u},
        {"0xg", 0u},
        {"zz", std::nullopt},
        {"", std::nullopt},
        {"123456789", 0x23456789u},  // kept to 32 bits
    };
    for (const row& r : rows) {
        EXPECT_EQ(scan_hex_colour(r.text), r.value) << '"' << r.text << '"';
    }
    EXPECT_EQ(rgb_of(0x00FF8040u), (rgb{0x40, 0x80, 0xFF}));
    EXPECT_EQ(colorref(rgb{0x40, 0x80, 0xFF}), 0x00FF8040u);
}

TEST(Settings, TreeColoursFallBackAndWriteTheirDefaults) {
    struct row {
        const char* name;
        std::optional<std::string> back;  // nothing: missing
        std::optional<std::string> text;
        tree_colours expected;
        std::string stored_back;
        std::string stored_text;
    };
    const row rows[] = {
        {"missing", std::nullopt, std::nullopt, {0x00FFFFFF, 0}, "00ffffff", "00000000"},
        {"empty", "", "", {0x00FFFFFF, 0}, "00ffffff", "00000000"},
        {"values", "000000ff", "0000ff00", {0x0000FF, 0x00FF00}, "000000ff", "0000ff00"},
        {"system colours", "ffffffff", "-1", {kDefaultColour, kDefaultColour}, "ffffffff", "-1"},
        {"unreadable", "zz", "none", {0x00FFFFFF, 0}, "zz", "none"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        test::memory_settings store;
        if (r.back) {
            store.values["CLeftView/PaneColorLBack"] = *r.back;
            store.values["CLeftView/PaneColorLText"] = *r.text;
        }
        const tree_colours colours = read_tree_colours(store);
        EXPECT_EQ(colours.back, r.expected.back);
        EXPECT_EQ(colours.text, r.expected.text);
        EXPECT_EQ(store.values["CLeftView/PaneColorLBack"], r.stored_back);
        EXPECT_EQ(store.values["CLeftView/PaneColorLText"], r.stored_text);
    }
}

TEST(Settings, RecentFilesKeepSixMostRecentFirst) {
    test::memory_settings store;
    for (int i = 1; i <= 7; ++i) {
        store.values["Recent File List/File" + std::to_string(i)] = "/old/" + std::to_string(i);
    }
    recent_file_list recent(store, kRecentFileCount);
    ASSERT_EQ(recent.files().size(), 6u);
    EXPECT_EQ(recent.files().front(), "/old/1");

    for (const char* path : {"/f0", "/f1", "/f2", "/f0"}) {
        recent.add(path);
    }
    const std::vector<std::string> expected = {"/f0", "/f2", "/f1", "/old/1", "/old/2", "/old/3"};
    EXPECT_EQ(recent.files(), expected);
    // Written through, in the new order, nothing beyond the sixth.
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(store.values["Recent File List/File" + std::to_string(i + 1)], expected[i]);
    }
    EXPECT_EQ(store.values.count("Recent File List/File7"), 0u);
    EXPECT_EQ(recent_file_list(store, kRecentFileCount).files(), expected);
}

}  // namespace
}  // namespace vekdc::desktop
