// A Windows program's own resources in the language the program speaks:
// LoadString takes the thread's language, so a program that decides its
// language itself (platform::ui_language) asks for its strings here.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/language.h"

namespace vekdc::platform::win32 {

// The language of the resources made for a language of the program.
LANGID resource_language(Language language);

// String resource `id` of `module` (nullptr: the program) in `language`, as
// UTF-8; nothing when the module has no such string in that language.
std::optional<std::string> string_resource(HMODULE module, UINT id, LANGID language);

// The user's display language (GetUserDefaultUILanguage) as a language of
// the program: Japanese for every Japanese one, English for every other.
Language user_ui_language();

}  // namespace vekdc::platform::win32
