// The language of the Qt window. Japanese is the program's own language; any
// other locale gets English. The decision is platform::ui_language()'s, so
// that the window, its texts (desktop/texts.h) and the notices of the cipher
// core always agree.
#pragma once

#include "platform/language.h"

namespace vekdc {

// Installs Qt's own texts for `language`: for Japanese, Qt's Japanese
// translation (standard buttons such as はい / いいえ, the file dialog); for
// English, Qt's own English. Replaces what an earlier call installed. False
// when a translation could not be loaded (Qt's texts then stay English).
bool InstallTranslations(platform::Language language);

}  // namespace vekdc
