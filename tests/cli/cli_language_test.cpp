// vekdc-cli tells the user of a refused file in the user's language.
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace vekdc {
namespace {

using test::ProcessResult;
using test::ScopedEnvironment;
using test::TempDir;

ProcessResult cli(std::vector<std::string> args) {
    args.insert(args.begin(), test::build_path(VEKDC_CLI));
    return test::run_process(args);
}

std::string first_line(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

struct LanguageCase {
    const char* language;
    const char* lang;
    const char* before_path;
    const char* after_path;
};

const LanguageCase kCases[] = {
    {"ja", "C.UTF-8", "VekDC: 与えられた鍵ではファイル", "の暗号を解除できません。"},
    {nullptr, "ja_JP.UTF-8", "VekDC: 与えられた鍵ではファイル", "の暗号を解除できません。"},
    {"en", "ja_JP.UTF-8", "VekDC: The given key cannot decrypt the file ", "."},
    {nullptr, "C.UTF-8", "VekDC: The given key cannot decrypt the file ", "."},
    {nullptr, "de_DE.UTF-8", "VekDC: The given key cannot decrypt the file ", "."},
};

TEST(CliLanguage, TheWrongKeyNoticeFollowsTheLocale) {
    TempDir dir;
    for (const char* name : {"mine", "theirs", "plain", "enc", "out"}) {
        test::make_folder(dir / name);
    }
    const ProcessResult mine = cli({"keygen", "--create-b", "--random", "-d", dir / "mine"});
    const ProcessResult theirs = cli({"keygen", "--create-a", "--regular", "-d", dir / "theirs"});
    ASSERT_EQ(mine.status, 0) << mine.err;
    ASSERT_EQ(theirs.status, 0) << theirs.err;
    test::write_file(dir / "plain" + test::kSep + "note.txt", test::pattern_bytes(300, 7));
    ASSERT_EQ(cli({"encode", "-k", first_line(theirs.out), "-o", dir / "enc",
                   dir / "plain" + test::kSep + "note.txt"})
                  .status,
              0);
    const std::string vek = dir / "enc" + test::kSep + "note.vek";

    for (const LanguageCase& c : kCases) {
        SCOPED_TRACE(std::string(c.language ? c.language : "-") + " / " + c.lang);
        ScopedEnvironment environment(
            {{"LANGUAGE", c.language ? std::optional<std::string>(c.language) : std::nullopt},
             {"LC_ALL", std::nullopt},
             {"LC_MESSAGES", std::nullopt},
             {"LANG", c.lang}});
        const ProcessResult r = cli({"decode", "-k", first_line(mine.out), "-o", dir / "out", vek});
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(first_line(r.err), std::string(c.before_path) + vek + c.after_path);
        // A refused file leaves nothing behind.
        EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
    }
}

}  // namespace
}  // namespace vekdc
