#include "platform/win32/resources.h"

#include "platform/win32/text.h"

namespace vekdc::platform::win32 {

namespace {

// String resources come sixteen to a block; each is its length in UTF-16
// units, then its characters.
constexpr UINT kStringsPerBlock = 16;

}  // namespace

LANGID resource_language(Language language) {
    return language == Language::Japanese ? MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)
                                          : MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT);
}

std::optional<std::string> string_resource(HMODULE module, UINT id, LANGID language) {
    const HRSRC found = ::FindResourceExW(module, reinterpret_cast<LPCWSTR>(RT_STRING),
                                          MAKEINTRESOURCEW(id / kStringsPerBlock + 1), language);
    if (found == nullptr) {
        return std::nullopt;
    }
    const auto* entry = static_cast<const WCHAR*>(::LockResource(::LoadResource(module, found)));
    if (entry == nullptr) {
        return std::nullopt;
    }
    for (UINT i = 0; i < id % kStringsPerBlock; ++i) {
        entry += 1 + *entry;
    }
    if (*entry == 0) {
        return std::nullopt;  // a gap in the block: no such string
    }
    return narrow(std::wstring_view(entry + 1, *entry));
}

Language user_ui_language() {
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::Japanese
                                                                        : Language::English;
}

}  // namespace vekdc::platform::win32
