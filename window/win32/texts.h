// The window's own texts from its string resources (made from
// desktop/texts.def), in the language the program speaks.
#pragma once

#include <string>

#include "desktop/texts.h"

namespace vekdc::win32 {

std::wstring Text(desktop::text_id id);

}  // namespace vekdc::win32
