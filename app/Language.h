// The language of the desktop window. Japanese is the program's own
// language (its source texts); any other locale gets the English
// translation. The decision is platform::ui_language()'s, so that the window
// and the notices of the cipher core always agree.
#pragma once

#include "platform/language.h"

namespace vekdc {

// Installs the translations for `language`: for Japanese, Qt's own Japanese
// texts (standard buttons such as はい / いいえ, the file dialog); for English,
// the program's English texts. Replaces what an earlier call installed.
// False when a translation could not be loaded (the texts then stay as they are).
bool InstallTranslations(platform::Language language);

}  // namespace vekdc
