// The Windows back end's own translations: UTF-8 and UTF-16, command-line
// quoting, long paths.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/paths.h"
#include "platform/win32/text.h"
#include "tests/support/test_support.h"

namespace vekdc::platform {
namespace {

using test::TempDir;

// What CommandLineToArgvW reads back from a command line.
std::vector<std::wstring> split_command_line(const std::wstring& line) {
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::wstring> result(arguments, arguments + count);
    ::LocalFree(arguments);
    return result;
}

TEST(Win32Text, ArgumentsSurviveQuotingUnchanged) {
    const std::wstring arguments[] = {
        L"plain",
        L"",
        L"with blank",
        L"c:\\Program Files\\viewer.exe",
        L"ends in a backslash\\",
        L"ends in two\\\\",
        L"a \"quoted\" word",
        L"backslash before quote\\\"",
        L"back\\\"slash and quote inside",
        L"two\\\\\"inside",
        L"\\\\server\\share\\x.vek",
        L"tab\there",
        L"日本語の名前.vek",
    };
    for (const std::wstring& argument : arguments) {
        // The program name comes first: CommandLineToArgvW reads it by other rules.
        const auto read = split_command_line(L"program.exe " + win32::quote_argument(argument));
        ASSERT_EQ(read.size(), 2u) << win32::narrow(argument);
        EXPECT_EQ(read[1], argument) << win32::narrow(argument);
    }
}

TEST(Win32Text, Utf8AndUtf16RoundTrip) {
    const struct {
        std::string utf8;
        std::wstring utf16;
    } cases[] = {
        {"", L""},
        {"ascii", L"ascii"},
        {"日本語", L"\u65e5\u672c\u8a9e"},
        {"\xf0\x9f\x94\x91 key", L"\U0001F511 key"},  // beyond the BMP: a surrogate pair
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win32::widen(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(win32::narrow(c.utf16), c.utf8) << c.utf8;
    }
}

TEST(Win32Files, PathsBeyondTheClassicLimitWork) {
    TempDir dir;
    std::string folder = dir.path();
    while (folder.size() < 400) {
        folder += test::kSep + std::string(60, 'f');
        ASSERT_TRUE(::CreateDirectoryW(win32::wide_path(folder).c_str(), nullptr) != 0) << folder;
    }
    const std::string path = folder + test::kSep + "長い名前.bin";
    {
        auto out = OutputFile::create_beside(path);
        ASSERT_TRUE(out);
        ASSERT_TRUE(out->write("deep", 4));
        ASSERT_EQ(out->publish_new(path), OutputFile::Publish::Done);
    }
    const FileStatus status = file_status(path);
    EXPECT_EQ(status.kind, FileKind::Regular);
    EXPECT_EQ(status.size, 4u);
    auto in = InputFile::open(path);
    ASSERT_TRUE(in);
    char bytes[4] = {};
    ASSERT_TRUE(in->read_at(bytes, 4, 0));
    EXPECT_EQ(std::string(bytes, 4), "deep");
}

// Neither cmd.exe nor PowerShell expands wildcards for a program.
TEST(Win32Arguments, WildcardsInTheLastComponentNameTheFilesThatMatch) {
    TempDir dir;
    for (const char* name : {"a.vek", "B.VEK", "c.vekx", "ノート.vek", "readme"}) {
        test::write_file(dir / name, "x");
    }
    test::make_folder(dir / "sub");
    const std::string d = dir.path();
    const struct {
        std::string argument;
        std::vector<std::string> files;
    } cases[] = {
        // Any case; not c.vekx, whose short name C~1.VEK Windows would match.
        {d + "\\*.vek", {d + "\\B.VEK", d + "\\a.vek", d + "\\ノート.vek"}},
        {d + "/?.VEK", {d + "/B.VEK", d + "/a.vek"}},
        {d + "\\*",
         {d + "\\B.VEK", d + "\\a.vek", d + "\\c.vekx", d + "\\readme", d + "\\sub",
          d + "\\ノート.vek"}},
        {d + "\\r*.*", {d + "\\readme"}},          // ".*" also matches no extension
        {d + "\\*.none", {d + "\\*.none"}},        // nothing matches: the argument itself
        {d + "\\s*\\a.vek", {d + "\\s*\\a.vek"}},  // only the last component
        {d + "\\a.vek", {d + "\\a.vek"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(expand_file_argument(c.argument), c.files) << c.argument;
    }
}

}  // namespace
}  // namespace vekdc::platform
