#include "platform/language.h"

#include <atomic>

#include "platform/environment.h"
#include "platform/services.h"

namespace vekdc::platform {

namespace {

struct NoticeText {
    std::string_view japanese;
    std::string_view english;
};

// Every Japanese notice of the core and its English form.
constexpr NoticeText kNotices[] = {
    {kWrongKeyNotice, "The given key cannot decrypt the file %s."},
    {kChooseKeyNotice, "Choose the key file."},
    {kChooseEncryptedNotice, "Choose the encrypted file."},
    {kManyViewersNotice,
     "%s of the decoded files would open in a viewer. Open them all? Choose \"No\" to open "
     "none."},
    {kDecoderCaption, "Orvinta VEK Decoder"},
    {kHierarchyDecoderCaption, "Orvinta Hierarchical Encryption Decoder"},
};

// The environment variables that name the language of messages, strongest first.
constexpr const char* kLanguageVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

std::atomic<Language> g_defaultLanguage{Language::English};

std::string with_argument(std::string_view text, std::string_view argument) {
    std::string result(text);
    const std::size_t at = result.find("%s");
    if (at != std::string::npos) {
        result.replace(at, 2, argument);
    }
    return result;
}

}  // namespace

Language ui_language() {
    for (const char* variable : kLanguageVariables) {
        const auto value = environment_variable(variable);
        if (value && !value->empty()) {
            return value->starts_with("ja") ? Language::Japanese : Language::English;
        }
    }
    return g_defaultLanguage.load();
}

void set_default_ui_language(Language language) {
    g_defaultLanguage.store(language);
}

std::string notice(std::string_view japanese, std::string_view argument) {
    return notice_in(ui_language(), japanese, argument);
}

std::string notice_in(Language language, std::string_view japanese, std::string_view argument) {
    if (language == Language::English) {
        for (const NoticeText& entry : kNotices) {
            if (entry.japanese == japanese) {
                return with_argument(entry.english, argument);
            }
        }
    }
    return with_argument(japanese, argument);
}

}  // namespace vekdc::platform
