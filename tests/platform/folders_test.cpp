// The user's folders and folder listings, as the desktop window reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "platform/folders.h"
#include "tests/support/test_support.h"

namespace vekdc::platform {
namespace {

using test::kSep;

TEST(Folders, ListNamesWithWhatTheyLeadTo) {
    const test::TempDir dir;
    test::make_folder(dir / "sub");
    test::write_file(dir / "file.vek", "x");
    test::write_file(dir / ".hidden", "x");
    test::write_file(dir / "名前.vek", "x");
    std::vector<std::pair<std::string, FolderEntry::Kind>> expected = {
        {".hidden", FolderEntry::Kind::File},
        {"file.vek", FolderEntry::Kind::File},
        {"sub", FolderEntry::Kind::Folder},
        {"名前.vek", FolderEntry::Kind::File},
    };
#ifndef _WIN32
    ASSERT_EQ(::symlink((dir / "sub").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "none").c_str(), (dir / "dangling").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "file.vek").c_str(), (dir / "tolink.vek").c_str()), 0);
    expected.insert(expected.end(), {{"dangling", FolderEntry::Kind::Other},
                                     {"link", FolderEntry::Kind::Folder},
                                     {"tolink.vek", FolderEntry::Kind::File}});
    // A name that is not UTF-8 is listed by its bytes.
    test::write_file(dir / "bad\xff.vek", "x");
    expected.emplace_back("bad\xff.vek", FolderEntry::Kind::File);
#endif
    const auto listed = list_folder(dir.path());
    ASSERT_TRUE(listed);
    std::vector<std::pair<std::string, FolderEntry::Kind>> found;
    for (const FolderEntry& entry : *listed) {
        found.emplace_back(entry.name, entry.kind);
    }
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
}

TEST(Folders, CannotListWhatIsNoFolder) {
    const test::TempDir dir;
    test::write_file(dir / "file", "x");
    EXPECT_FALSE(list_folder(dir / "missing"));
    EXPECT_FALSE(list_folder(dir / "file"));
    test::make_folder(dir / "empty");
    const auto empty = list_folder(dir / "empty");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

#ifdef _WIN32
TEST(Folders, DesktopAndHomeAreTheKnownFolders) {
    const auto desktop = desktop_folder();
    const auto home = home_folder();
    ASSERT_TRUE(desktop);
    ASSERT_TRUE(home);
    EXPECT_TRUE(test::exists(*home));
}
#else
TEST(Folders, DesktopIsTheUsersXdgDesktopFolder) {
    const test::TempDir dir;
    const std::string home = dir / "home";
    const std::string config = dir / "config";
    test::make_folder(config);
    struct row {
        const char* name;
        std::optional<std::string> user_dirs;  // the file's contents; nothing: no file
        std::string desktop;
    };
    const row rows[] = {
        {"no user-dirs.dirs", std::nullopt, home + "/Desktop"},
        {"relative to home", "# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n",
         home + "/Schreibtisch"},
        {"absolute, with an escape",
         "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n  XDG_DESKTOP_DIR = \"/d/a\\\"b\"\n", "/d/a\"b"},
        {"empty value", "XDG_DESKTOP_DIR=\"\"\n", home + "/Desktop"},
    };
    for (const row& r : rows) {
        std::filesystem::remove(config + "/user-dirs.dirs");
        if (r.user_dirs) {
            test::write_file(config + "/user-dirs.dirs", *r.user_dirs);
        }
        const test::ScopedEnvironment environment({{"HOME", home}, {"XDG_CONFIG_HOME", config}});
        EXPECT_EQ(desktop_folder(), r.desktop) << r.name;
        EXPECT_EQ(home_folder(), home);
    }
}
#endif

}  // namespace
}  // namespace vekdc::platform
