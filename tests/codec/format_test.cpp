#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "codec/codec.h"
#include "platform/paths.h"

namespace vekdc {
namespace {

TEST(TypeTable, CodesStepByTenFromOne) {
    const char* extensions[] = {"txt", "avi", "doc", "htm", "jpg", "mp3", "lzh",
                                "gif", "wmf", "bmp", "ttf", "wav", "mpg"};
    for (int k = 0; k < 13; ++k) {
        const int code = 1 + 10 * k;
        EXPECT_EQ(extension_of_type(code), extensions[k]);
        EXPECT_EQ(file_type_code(extensions[k]), code);
    }
    EXPECT_EQ(extension_of_type(0), std::nullopt);
    EXPECT_EQ(extension_of_type(5), std::nullopt);
    EXPECT_EQ(extension_of_type(131), std::nullopt);
    EXPECT_EQ(extension_of_type(1 + 256), std::nullopt);
}

TEST(TypeTable, ScreeningLooksAtTheLastThreeCharactersOnly) {
    EXPECT_EQ(file_type_code(last_three_characters("x.mp3")), 51);
    EXPECT_EQ(file_type_code(last_three_characters("y.mpg")), 121);
    EXPECT_EQ(file_type_code(last_three_characters("mytxt")), 1);  // no dot needed
    EXPECT_EQ(last_three_characters("ab"), "ab");
}

TEST(TypeTableDeathTest, RefusedNamesEndTheProgramWithStatusZero) {
    const char* sorry = "^VekDC: Sorry, VEK encoder is not ready for this type of file.\n$";
    EXPECT_EXIT(file_type_code(last_three_characters("notes.TXT")), testing::ExitedWithCode(0),
                sorry);
    EXPECT_EXIT(file_type_code(last_three_characters("page.html")), testing::ExitedWithCode(0),
                sorry);
    EXPECT_EXIT(file_type_code(last_three_characters("photo.jpeg")), testing::ExitedWithCode(0),
                sorry);
    EXPECT_EXIT(file_type_code(last_three_characters("ab")), testing::ExitedWithCode(0), sorry);
    EXPECT_EXIT(file_type_code(last_three_characters("secret.vek")), testing::ExitedWithCode(0),
                "^VekDC: I do not want to encrypt a vek file.\n$");
}

TEST(SplitPath, NameAfterTheLastSeparatorStemBeforeTheLastDot) {
    struct Split {
        const char* name;
        const char* stem;
    };
    // Windows splits at "\\" as well as at "/"; elsewhere "\\" belongs to the
    // name, except in a fixed drive path ("c:\\..."), which splits there too.
    struct Case {
        const char* path;
        Split posix;
        Split windows;
    } cases[] = {
        {"/home/u/a.b.vek", {"a.b.vek", "a.b"}, {"a.b.vek", "a.b"}},
        {"report.doc", {"report.doc", "report"}, {"report.doc", "report"}},
        {"dir/.vek", {".vek", ""}, {".vek", ""}},
        {"dir/", {"", ""}, {"", ""}},
        {"noext", {"noext", "noext"}, {"noext", "noext"}},
        {"x.dir/file", {"file", "file"}, {"file", "file"}},
        {"c:\\a\\b.txt", {"b.txt", "b"}, {"b.txt", "b"}},
        {"c:\\a.d\\b", {"b", "b"}, {"b", "b"}},
        {"a/b\\c.txt", {"b\\c.txt", "b\\c"}, {"c.txt", "c"}},
        {"a\\b/c.txt", {"c.txt", "c"}, {"c.txt", "c"}},
    };
    for (const auto& c : cases) {
        const Split& expected = platform::kDrivesAreNative ? c.windows : c.posix;
        std::string name;
        std::string stem;
        split_path(c.path, name, stem);
        EXPECT_EQ(name, expected.name) << c.path;
        EXPECT_EQ(stem, expected.stem) << c.path;
    }
}

TEST(RoundToByte, NearestWithTiesUpThenModulo256) {
    EXPECT_EQ(round_to_byte(65.5), 66);
    EXPECT_EQ(round_to_byte(65.4999), 65);
    EXPECT_EQ(round_to_byte(-0.3), 0);
    EXPECT_EQ(round_to_byte(255.6), 0);
    EXPECT_EQ(round_to_byte(-1.0), 255);
    EXPECT_EQ(round_to_byte(-0.5), 0);  // tie goes up
    EXPECT_EQ(round_to_byte(71.0), 71);
    EXPECT_EQ(round_to_byte(257.2), 1);
    // Far outside any integer type: still defined, still modulo 256.
    EXPECT_EQ(round_to_byte(1e300), static_cast<std::uint8_t>(std::fmod(1e300, 256.0)));
    EXPECT_EQ(round_to_byte(-4294967297.0), 255);
    EXPECT_EQ(round_to_byte(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(round_to_byte(std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(round_to_byte(-std::numeric_limits<double>::infinity()), std::nullopt);
}

}  // namespace
}  // namespace vekdc
