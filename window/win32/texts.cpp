#include "window/win32/texts.h"

#include "platform/win32/resources.h"
#include "platform/win32/text.h"

namespace vekdc::win32 {

std::wstring Text(desktop::text_id id) {
    const auto loaded = platform::win32::string_resource(
        nullptr, static_cast<UINT>(desktop::resource_id(id)),
        platform::win32::resource_language(platform::ui_language()));
    // A program built without its texts still shows words.
    return platform::win32::widen(loaded ? *loaded : std::string(desktop::text(id)));
}

}  // namespace vekdc::win32
