// The window's texts as Windows string resources, made at build time from
// the same list as desktop::text(): every text in both languages, under its
// resource number.
#include <windows.h>

#include <gtest/gtest.h>

#include "desktop/texts.h"
#include "platform/win32/resources.h"

namespace vekdc::desktop {
namespace {

TEST(TextResources, HoldEveryTextInBothLanguages) {
    for (const platform::Language language :
         {platform::Language::Japanese, platform::Language::English}) {
        const LANGID resources = platform::win32::resource_language(language);
        for (std::size_t i = 0; i < kTextCount; ++i) {
            const auto id = static_cast<text_id>(i);
            EXPECT_EQ(platform::win32::string_resource(nullptr, resource_id(id), resources),
                      text_in(language, id))
                << text_name(id);
        }
    }
}

}  // namespace
}  // namespace vekdc::desktop
