// The window's texts from the desktop core's catalogue, as Qt strings.
#pragma once

#include <QString>
#include <initializer_list>
#include <string>

#include "desktop/texts.h"

namespace vekdc {

inline QString Text(desktop::text_id id) {
    const std::string_view text = desktop::text(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace vekdc
