#include "desktop/texts.h"

#include <array>

namespace vekdc::desktop {

namespace {

struct entry {
    std::string_view name;
    std::string_view japanese;
    std::string_view english;
};

constexpr std::array<entry, kTextCount> kTexts = {{
#define VEKDC_TEXT(name, japanese, english) {#name, japanese, english},
#include "desktop/texts.def"
#undef VEKDC_TEXT
}};

const entry& find(text_id id) {
    return kTexts.at(static_cast<std::size_t>(id));
}

}  // namespace

std::string_view text(text_id id) {
    return text_in(platform::ui_language(), id);
}

std::string_view text_in(platform::Language language, text_id id) {
    const entry& found = find(id);
    return language == platform::Language::Japanese ? found.japanese : found.english;
}

std::string_view text_name(text_id id) {
    return find(id).name;
}

std::string format(std::string_view pattern, std::span<const std::string_view> arguments) {
    std::string result;
    result.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const auto number = static_cast<std::size_t>(next - '0');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && number <= arguments.size()) {
            result += arguments[number - 1];
            ++i;
        } else {
            result += pattern[i];
        }
    }
    return result;
}

std::string format(std::string_view pattern, std::initializer_list<std::string_view> arguments) {
    return format(pattern, std::span<const std::string_view>(arguments.begin(), arguments.size()));
}

std::string format(text_id id, std::initializer_list<std::string_view> arguments) {
    return format(text(id), arguments);
}

}  // namespace vekdc::desktop
