// The language of the user's notices. The program speaks Japanese to a
// Japanese locale and English to every other; the cipher core, vekdc-cli and
// the desktop window all take the decision here, so that they always agree.
#pragma once

#include <string>
#include <string_view>

namespace vekdc::platform {

enum class Language { Japanese, English };

// The first of LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is set and not
// empty decides, as for every program of the system: Japanese when it starts
// with "ja", English otherwise (also for "C" and "POSIX"). When none is set,
// the default language decides: English, unless the program said otherwise.
Language ui_language();

// The language when no locale variable is set. The Windows window takes it
// from the user's display language (GetUserDefaultUILanguage), since Windows
// users set no locale variables; every other program keeps English.
void set_default_ui_language(Language language);

// A user-facing notice of the core in the user's language. `japanese` is the
// notice as the program has always shown it, with "%s" where `argument` (a
// path, say) goes; `argument` is put in as it stands. A text the table does
// not know is shown as given.
std::string notice(std::string_view japanese, std::string_view argument = {});
// The same in a given language.
std::string notice_in(Language language, std::string_view japanese, std::string_view argument = {});

// The notices with an English form, each with "%s" where its argument goes.
inline constexpr std::string_view kWrongKeyNotice =
    "与えられた鍵ではファイル%sの暗号を解除できません。";
inline constexpr std::string_view kChooseKeyNotice = "鍵ファイルを選んでください。";
inline constexpr std::string_view kChooseEncryptedNotice = "暗号化されたファイルを選んでください。";
// Asked once before a decode run opens more than ten viewers; %s is the count.
inline constexpr std::string_view kManyViewersNotice =
    "デコードしたファイルのうち %s 個をビューアで開きます。すべて開きますか？"
    "「いいえ」を選ぶと、どれも開きません。";

}  // namespace vekdc::platform
