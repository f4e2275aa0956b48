// The window's texts as Windows string resources, made at build time from
// the same list as desktop::text(): every text in both languages, under its
// resource number.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "desktop/texts.h"
#include "platform/win32/text.h"

namespace vekdc::desktop {
namespace {

// String resource `id` in `language`, as FindResourceEx finds it: sixteen
// strings to a block, each its length and then its UTF-16 characters.
std::optional<std::string> load_string(int id, LANGID language) {
    const HRSRC found = ::FindResourceExW(nullptr, reinterpret_cast<LPCWSTR>(RT_STRING),
                                          MAKEINTRESOURCEW(id / 16 + 1), language);
    if (found == nullptr) {
        return std::nullopt;
    }
    const auto* entry = static_cast<const WCHAR*>(::LockResource(::LoadResource(nullptr, found)));
    for (int i = 0; i < id % 16; ++i) {
        entry += 1 + *entry;
    }
    return platform::win32::narrow(std::wstring_view(entry + 1, *entry));
}

TEST(TextResources, HoldEveryTextInBothLanguages) {
    struct row {
        platform::Language language;
        LANGID resources;
    };
    const row rows[] = {{platform::Language::Japanese, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)},
                        {platform::Language::English, MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT)}};
    for (const row& r : rows) {
        for (std::size_t i = 0; i < kTextCount; ++i) {
            const auto id = static_cast<text_id>(i);
            EXPECT_EQ(load_string(resource_id(id), r.resources), text_in(r.language, id))
                << text_name(id);
        }
    }
}

}  // namespace
}  // namespace vekdc::desktop
