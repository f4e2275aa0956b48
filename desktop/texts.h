// The window's texts, in Japanese (the program's own language) and English,
// written once in desktop/texts.def. Both windows take their texts from here:
// at run time through text(), or, for Windows string resources, from the
// resource script that cmake/TextResources.cmake makes of the same list
// (resource number kTextResourceBase + the text's place in the list).
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "platform/language.h"

namespace vekdc::desktop {

enum class text_id : int {
#define VEKDC_TEXT(name, japanese, english) name,
#include "desktop/texts.def"
#undef VEKDC_TEXT
};

inline constexpr std::size_t kTextCount = 0
#define VEKDC_TEXT(name, japanese, english) +1
#include "desktop/texts.def"
#undef VEKDC_TEXT
    ;

// The number of a text's Windows string resource.
inline constexpr int kTextResourceBase = 20000;
constexpr int resource_id(text_id id) {
    return kTextResourceBase + static_cast<int>(id);
}

// The text in the language of the user's notices (platform::ui_language()).
std::string_view text(text_id id);
std::string_view text_in(platform::Language language, text_id id);
// The name the text has in texts.def, for messages about the catalogue.
std::string_view text_name(text_id id);

// `pattern` with %1, %2, ... replaced by the arguments in order; a number
// without an argument stays as written.
std::string format(std::string_view pattern, std::span<const std::string_view> arguments);
std::string format(std::string_view pattern, std::initializer_list<std::string_view> arguments);
// The same with the text `id` in the user's language.
std::string format(text_id id, std::initializer_list<std::string_view> arguments);

}  // namespace vekdc::desktop
