// The catalogue of the window's texts: both languages for every text, the
// language the user's locale asks for, and the arguments put into a text.
#include <gtest/gtest.h>

#include <regex>

#include "desktop/texts.h"
#include "tests/support/test_support.h"

namespace vekdc::desktop {
namespace {

// True when the text holds a kana, a kanji or a full-width form: Japanese
// left standing in an English text.
bool has_japanese(std::string_view text) {
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const auto second = static_cast<unsigned char>(text[i + 1]);
        // U+3000..U+9FFF: E3 80 .. E9 BF; U+FF00..U+FFEF: EF BC .. EF BF.
        if ((lead >= 0xE3 && lead <= 0xE9) || (lead == 0xEF && second >= 0xBC)) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> placeholders(std::string_view text) {
    std::vector<std::string> found;
    const std::string copy(text);
    const std::regex number("%[1-9]");
    for (auto it = std::sregex_iterator(copy.begin(), copy.end(), number);
         it != std::sregex_iterator(); ++it) {
        found.push_back(it->str());
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST(Texts, EveryTextHasItsEnglish) {
    for (std::size_t i = 0; i < kTextCount; ++i) {
        const auto id = static_cast<text_id>(i);
        const std::string_view japanese = text_in(platform::Language::Japanese, id);
        const std::string_view english = text_in(platform::Language::English, id);
        SCOPED_TRACE(std::string(text_name(id)));
        EXPECT_FALSE(japanese.empty());
        EXPECT_FALSE(english.empty());
        EXPECT_FALSE(has_japanese(english)) << english;
        EXPECT_EQ(placeholders(japanese), placeholders(english));
    }
}

TEST(Texts, FollowTheUsersLanguage) {
    struct row {
        const char* language;
        std::string_view expected;
    };
    const row rows[] = {
        {"ja_JP.UTF-8", "！デコード実行"}, {"en_GB:en", "! Decode"}, {"C", "! Decode"}};
    for (const row& r : rows) {
        const test::ScopedEnvironment language(
            {test::ScopedEnvironment::Assignment{"LANGUAGE", r.language}});
        EXPECT_EQ(text(text_id::decode_button), r.expected) << r.language;
    }
}

TEST(Texts, FormatPutsTheArgumentsInPlace) {
    struct row {
        std::string_view pattern;
        std::vector<std::string_view> arguments;
        std::string expected;
    };
    const row rows[] = {
        {"%1 / %2", {"3", "20"}, "3 / 20"},
        {"%2 then %1, %1 again", {"a", "b"}, "b then a, a again"},
        {"no argument for %2", {"x"}, "no argument for %2"},
        {"%0, %x and 100%", {"x"}, "%0, %x and 100%"},
        {"not again: %1", {"%2"}, "not again: %2"},
        {"at the end %", {"x"}, "at the end %"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(format(r.pattern, std::span<const std::string_view>(r.arguments)), r.expected)
            << r.pattern;
    }
}

}  // namespace
}  // namespace vekdc::desktop
