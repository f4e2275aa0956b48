// The input list: each file once, sorted; removal by index; files and
// folders given by the desktop; how an entry is labelled. Every change is
// also followed by an observer, which must end up with the same list.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "desktop/file_list.h"
#include "tests/desktop/desktop_support.h"
#include "tests/support/test_support.h"

namespace vekdc::desktop {
namespace {

using test::kSep;

// A list with an observer that rebuilds it from the notifications alone.
struct observed_list {
    observed_list() { list.set_observer(&mirror); }
    std::vector<std::string> paths() const { return list.paths(); }
    file_list list;
    test::fake_panel mirror{list};
};

TEST(FileList, AddsEachPathOnceIgnoringCaseAndKeepsItSorted) {
    struct row {
        const char* name;
        std::vector<std::string> added;
        std::vector<std::string> listed;
    };
    const row rows[] = {
        {"same path twice", {"/data/Report.vek", "/data/Report.vek"}, {"/data/Report.vek"}},
        {"differs in case", {"/data/Report.vek", "/DATA/report.VEK"}, {"/data/Report.vek"}},
        {"case folded beyond ASCII",
         {"/d/Ä.vek", "/d/ä.vek", "/d/Ｖ.vek", "/d/ｖ.vek"},
         {"/d/Ä.vek", "/d/Ｖ.vek"}},
        {"sorted whatever the order",
         {"/b/file.vek", "/A/file.vek", "/c", "", "/a/File.vek"},
         {"", "/A/file.vek", "/b/file.vek", "/c"}},
        // Bytes that are not UTF-8 are only ever equal to themselves; where they
        // read alike, the capital sorts first.
        {"not UTF-8",
         {"/d/a\xff.vek", "/d/A\xff.vek", "/d/a\xff.vek"},
         {"/d/A\xff.vek", "/d/a\xff.vek"}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        observed_list observed;
        for (const std::string& path : r.added) {
            observed.list.add(path);
        }
        EXPECT_EQ(observed.paths(), r.listed);
        EXPECT_EQ(observed.mirror.shown, r.listed);
    }
}

TEST(FileList, RemovesTheEntriesAtTheGivenIndexes) {
    struct row {
        const char* name;
        std::size_t size;
        std::vector<std::size_t> removed;
        std::vector<std::size_t> kept;
    };
    const row rows[] = {
        {"three of ten", 10, {2, 5, 7}, {0, 1, 3, 4, 6, 8, 9}},
        {"in any order, twice, out of range", 5, {4, 0, 4, 9}, {1, 2, 3}},
        {"nothing", 3, {}, {0, 1, 2}},
        {"all but the last of 300", 300, {}, {299}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        observed_list observed;
        std::vector<std::string> all;
        for (std::size_t i = 0; i < r.size; ++i) {
            all.push_back("/f/" + std::string(3 - std::to_string(i).size(), '0') +
                          std::to_string(i));
            observed.list.add(all.back());
        }
        std::vector<std::size_t> removed = r.removed;
        if (r.size == 300) {
            for (std::size_t i = 0; i < 299; ++i) {
                removed.push_back(i);
            }
        }
        observed.list.remove(removed);
        std::vector<std::string> expected;
        for (const std::size_t i : r.kept) {
            expected.push_back(all[i]);
        }
        EXPECT_EQ(observed.paths(), expected);
        EXPECT_EQ(observed.mirror.shown, expected);
        // A removed entry can be added again.
        if (!r.removed.empty()) {
            EXPECT_TRUE(observed.list.add(all[r.removed.front() % r.size]));
        }
    }
}

TEST(FileList, ClearingEmptiesTheListAndItsIndex) {
    observed_list observed;
    observed.list.add("/x.vek");
    observed.list.add("/y.vek");
    observed.list.clear();
    EXPECT_TRUE(observed.list.empty());
    EXPECT_TRUE(observed.mirror.shown.empty());
    EXPECT_TRUE(observed.list.add("/X.vek"));
}

TEST(FileList, TakesFilesAndFoldersFromTheDesktop) {
    const test::TempDir dir;
    test::make_folder(dir / "drop");
    test::make_folder(dir / "drop" + kSep + "sub");
    for (const char* name : {"b.vek", "A.vek", "plain.txt", ".hidden.vek"}) {
        test::write_file(dir / "drop" + kSep + name, "x");
    }
    test::write_file(dir / "drop" + kSep + "sub" + kSep + "deep.vek", "x");
    test::make_folder(dir / "drop" + kSep + "folder.vek");
    test::write_file(dir / "single.vek", "x");
    test::write_file(dir / "other.txt", "x");
    const std::string drop = dir / "drop";

    struct row {
        const char* name;
        std::vector<std::string> given;
        std::vector<std::string> listed;
        std::size_t ignored;
    };
    std::vector<row> rows = {
        {"a file", {dir / "single.vek"}, {dir / "single.vek"}, 0},
        {"any file", {dir / "other.txt"}, {dir / "other.txt"}, 0},
        {"a folder: its own encrypted files",
         {drop},
         {drop + kSep + "A.vek", drop + kSep + "b.vek"},
         0},
        {"a folder and one of its files again",
         {drop, drop + kSep + "b.vek"},
         {drop + kSep + "A.vek", drop + kSep + "b.vek"},
         0},
        {"missing", {dir / "gone.vek", dir / "single.vek"}, {dir / "single.vek"}, 1},
        {"empty", {""}, {}, 1},
    };
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "pipe.vek").c_str(), 0600), 0);
    rows.push_back({"a pipe", {dir / "pipe.vek"}, {}, 1});
#endif
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        observed_list observed;
        const add_result result = observed.list.add_paths(r.given);
        EXPECT_EQ(observed.paths(), r.listed);
        EXPECT_EQ(result.added, r.listed.size());
        EXPECT_EQ(result.ignored, r.ignored);
    }
}

TEST(FileList, LabelsShowTheNameBeforeTheFolder) {
    struct row {
        std::string path;
        std::string label;
    };
    const std::string s = kSep;
    std::vector<row> rows = {
        {s + "tmp" + s + "bench" + s + "f0.vek", "f0.vek \u2014 " + s + "tmp" + s + "bench"},
        {s + "a.vek", "a.vek \u2014 " + s},
        {"a.vek", "a.vek"},
    };
#ifndef _WIN32
    // (Windows gives every name in UTF-8.)
    rows.push_back({"/d/bad\xff.vek", "bad\\xff.vek \u2014 /d"});
#endif
    for (const row& r : rows) {
        file_list list;
        list.add(r.path);
        EXPECT_EQ(file_list::label(list.at(0)), r.label);
    }
}

}  // namespace
}  // namespace vekdc::desktop
