// Letter case folded as the system folds it, and names in code page 932.
#include <gtest/gtest.h>

#include "platform/unicode.h"

namespace vekdc::platform {
namespace {

TEST(Unicode, FoldsLetterCase) {
    struct row {
        std::string text;
        std::string folded;
    };
    const row rows[] = {
        {"ABC/Report.VEK", "abc/report.vek"},
        {"ÀÉÎ", "àéî"},
        {"ΣΑΒ", "σαβ"},
        {"ДОМ", "дом"},
        {"ＡＢＣ", "ａｂｃ"},
        {"テスト日本", "テスト日本"},
        {"", ""},
    };
    for (const row& r : rows) {
        EXPECT_EQ(fold_case(r.text), r.folded) << r.text;
    }
}

TEST(Unicode, ReadsCodePage932) {
    struct row {
        std::string bytes;
        std::optional<std::string> text;
    };
    const row rows[] = {
        {"\x83\x65\x83\x58\x83\x67", "テスト"},
        {"\x93\xfa\x96\x7b.vek", "日本.vek"},
        {"\xb1\xb2", "ｱｲ"},  // half-width katakana
        {"\x87\x40", "①"},   // an NEC extension of Windows
        {"plain", "plain"},
        {"\x83", std::nullopt},      // a lead byte alone
        {"\x83\x20", std::nullopt},  // a lead byte with no second
    };
    for (const row& r : rows) {
        EXPECT_EQ(cp932_to_utf8(r.bytes), r.text) << testing::PrintToString(r.bytes);
    }
}

}  // namespace
}  // namespace vekdc::platform
