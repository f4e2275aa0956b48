// Names as the system gives them, shown as text; paths taken apart and made
// absolute.
#include <gtest/gtest.h>

#include "desktop/file_names.h"
#include "tests/support/test_support.h"

namespace vekdc::desktop {
namespace {

TEST(FileNames, ShowNamesThatAreNotUtf8) {
    struct row {
        const char* name;
        std::string bytes;
        std::string shown;
    };
    const row rows[] = {
        {"UTF-8", "d/\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88.vek", "d/テスト.vek"},
        {"Shift-JIS", "d/\x83\x65\x83\x58\x83\x67.vek", "d/テスト.vek"},
        {"Shift-JIS under a UTF-8 folder", "\xe6\x97\xa5/\x93\xfa\x96\x7b.vek", "日/日本.vek"},
        {"invalid byte", "d/bad\xff.vek", "d/bad\\xff.vek"},
        {"invalid bytes around UTF-8", "d/\xff\xe6\x97\xa5\xfe.vek", "d/\\xff日\\xfe.vek"},
        {"lead byte without its second", "d/a\xe6.vek", "d/a\\xe6.vek"},
    };
    for (const row& r : rows) {
        const std::string bytes = test::kSep == "/" ? r.bytes : [&] {
            std::string native = r.bytes;
            std::replace(native.begin(), native.end(), '/', '\\');
            return native;
        }();
        std::string expected = r.shown;
        std::replace(expected.begin(), expected.end(), '/', test::kSep.front());
        EXPECT_EQ(display_name(bytes), expected) << r.name;
    }
}

TEST(FileNames, TellUtf8FromOtherBytes) {
    struct row {
        std::string bytes;
        bool utf8;
    };
    const row rows[] = {
        {"", true},
        {"plain ascii", true},
        {"\xc3\xa9", true},           // é
        {"\xf0\x9f\x98\x80", true},   // U+1F600
        {"\xc3", false},              // cut short
        {"\xc1\xbf", false},          // overlong
        {"\xe0\x9f\xbf", false},      // overlong
        {"\xed\xbf\xbf", false},      // a surrogate
        {"\xf4\x90\x80\x80", false},  // beyond U+10FFFF
        {"\x80", false},              // a lone continuation byte
    };
    for (const row& r : rows) {
        EXPECT_EQ(is_utf8(r.bytes), r.utf8) << testing::PrintToString(r.bytes);
    }
}

TEST(FileNames, TakePathsApart) {
    struct row {
        std::string path;
        std::string name;
        std::string folder;
    };
    const std::string s = test::kSep;
    const row rows[] = {
        {s + "data" + s + "a.vek", "a.vek", s + "data"},
        {s + "a.vek", "a.vek", s},
        {"a.vek", "a.vek", ""},
        {s + "data" + s, "", s + "data"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(file_name_of(r.path), r.name) << r.path;
        EXPECT_EQ(folder_of_path(r.path), r.folder) << r.path;
    }
    EXPECT_EQ(join_path(s + "data", "a.vek"), s + "data" + s + "a.vek");
    EXPECT_EQ(join_path(s, "a.vek"), s + "a.vek");
}

TEST(FileNames, MakePathsAbsolute) {
    struct row {
        std::string path;
        bool absolute;
    };
#ifdef _WIN32
    const std::string base = "C:\\work";
    const row rows[] = {{"C:\\x.vek", true}, {"c:/x.vek", true},    {"\\\\server\\share", true},
                        {"x.vek", false},    {"sub\\x.vek", false}, {"C:x.vek", false}};
#else
    const std::string base = "/work";
    const row rows[] = {
        {"/x.vek", true}, {"x.vek", false}, {"sub/x.vek", false}, {"-x.vek", false}};
#endif
    for (const row& r : rows) {
        EXPECT_EQ(is_absolute_path(r.path), r.absolute) << r.path;
        EXPECT_EQ(absolute_path(r.path, base), r.absolute ? r.path : join_path(base, r.path));
    }
}

}  // namespace
}  // namespace vekdc::desktop
