#include "platform/language.h"

#include <gtest/gtest.h>

#include "platform/services.h"
#include "tests/support/test_support.h"

namespace vekdc::platform {
namespace {

using test::ScopedEnvironment;
using Value = std::optional<std::string>;

struct LocaleCase {
    const char* name;
    Value language, lc_all, lc_messages, lang;
    Language expected;
};

// LANGUAGE, then LC_ALL, LC_MESSAGES and LANG: the first one set and not empty decides.
const LocaleCase kLocaleCases[] = {
    {"nothing set", {}, {}, {}, {}, Language::English},
    {"Japanese LANG", {}, {}, {}, "ja_JP.UTF-8", Language::Japanese},
    {"English LANG", {}, {}, {}, "en_US.UTF-8", Language::English},
    {"C locale", {}, {}, {}, "C.UTF-8", Language::English},
    {"POSIX in LC_ALL over ja LANG", {}, "POSIX", {}, "ja_JP.UTF-8", Language::English},
    {"LC_MESSAGES over LANG", {}, {}, "ja_JP.eucJP", "en_GB.UTF-8", Language::Japanese},
    {"LC_ALL over LC_MESSAGES", {}, "en_US.UTF-8", "ja_JP.UTF-8", {}, Language::English},
    {"LANGUAGE over all", "ja", "en_US.UTF-8", "en_US.UTF-8", "en_US.UTF-8", Language::Japanese},
    {"LANGUAGE list, English first", "en:ja", {}, {}, "ja_JP.UTF-8", Language::English},
    {"LANGUAGE list, Japanese first", "ja_JP:en", {}, {}, {}, Language::Japanese},
    {"empty LANGUAGE is skipped", "", {}, {}, "ja_JP.UTF-8", Language::Japanese},
    {"empty LC_ALL is skipped", {}, "", {}, "ja_JP.UTF-8", Language::Japanese},
    {"bare ja", {}, {}, {}, "ja", Language::Japanese},
    {"a name merely containing ja", {}, {}, {}, "en_JA", Language::English},
};

TEST(UiLanguage, FollowsTheLocaleVariablesInTheirOrder) {
    for (const LocaleCase& c : kLocaleCases) {
        SCOPED_TRACE(c.name);
        ScopedEnvironment environment({{"LANGUAGE", c.language},
                                       {"LC_ALL", c.lc_all},
                                       {"LC_MESSAGES", c.lc_messages},
                                       {"LANG", c.lang}});
        EXPECT_EQ(ui_language(), c.expected);
    }
}

TEST(UiLanguage, TheDefaultDecidesOnlyWhereNoVariableIsSet) {
    ScopedEnvironment environment(
        {{"LANGUAGE", std::nullopt}, {"LC_ALL", std::nullopt}, {"LC_MESSAGES", std::nullopt}});
    struct row {
        std::optional<std::string> lang;
        Language expected;
    };
    const row rows[] = {{std::nullopt, Language::Japanese},
                        {"en_US.UTF-8", Language::English},
                        {"C", Language::English}};
    set_default_ui_language(Language::Japanese);
    for (const row& r : rows) {
        SCOPED_TRACE(r.lang.value_or("(not set)"));
        ScopedEnvironment lang({{"LANG", r.lang}});
        EXPECT_EQ(ui_language(), r.expected);
    }
    set_default_ui_language(Language::English);
}

struct NoticeCase {
    std::string_view japanese;
    const char* argument;
    const char* in_japanese;
    const char* in_english;
};

const NoticeCase kNoticeCases[] = {
    {kWrongKeyNotice, "/tmp/a.vek", "与えられた鍵ではファイル/tmp/a.vekの暗号を解除できません。",
     "The given key cannot decrypt the file /tmp/a.vek."},
    // The path goes in as it stands, even where it looks like a placeholder.
    {kWrongKeyNotice, "/tmp/100%s %d.vek",
     "与えられた鍵ではファイル/tmp/100%s %d.vekの暗号を解除できません。",
     "The given key cannot decrypt the file /tmp/100%s %d.vek."},
    {kChooseKeyNotice, "", "鍵ファイルを選んでください。", "Choose the key file."},
    {kChooseEncryptedNotice, "", "暗号化されたファイルを選んでください。",
     "Choose the encrypted file."},
    {kManyViewersNotice, "12",
     "デコードしたファイルのうち 12 個をビューアで開きます。すべて開きますか？「いいえ」を選ぶと、"
     "どれも開きません。",
     "12 of the decoded files would open in a viewer. Open them all? Choose \"No\" to open "
     "none."},
    {kDecoderCaption, "", "Orvinta VEK デコーダ", "Orvinta VEK Decoder"},
    {kHierarchyDecoderCaption, "", "Orvinta階層的暗号化法デコーダ",
     "Orvinta Hierarchical Encryption Decoder"},
    // Developer-facing texts are not in the table and stay as they are.
    {"dec out file write error", "", "dec out file write error", "dec out file write error"},
};

TEST(Notice, IsJapaneseOrEnglishWithItsArgument) {
    for (const NoticeCase& c : kNoticeCases) {
        SCOPED_TRACE(std::string(c.japanese));
        EXPECT_EQ(notice_in(Language::Japanese, c.japanese, c.argument), c.in_japanese);
        EXPECT_EQ(notice_in(Language::English, c.japanese, c.argument), c.in_english);
    }
}

TEST(Notice, FollowsTheLocale) {
    {
        ScopedEnvironment english({{"LANGUAGE", std::nullopt}, {"LC_ALL", "en_US.UTF-8"}});
        EXPECT_EQ(notice(kChooseKeyNotice), "Choose the key file.");
    }
    ScopedEnvironment japanese({{"LANGUAGE", std::nullopt}, {"LC_ALL", "ja_JP.UTF-8"}});
    EXPECT_EQ(notice(kChooseKeyNotice), "鍵ファイルを選んでください。");
}

}  // namespace
}  // namespace vekdc::platform
