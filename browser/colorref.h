// Colours kept as Windows colour values 0x00BBGGRR in hexadecimal text.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>

namespace vekdc {

using COLORREF = std::uint32_t;

// 0xFFFFFFFF: the control's default colour.
inline constexpr COLORREF kDefaultColor = 0xFFFFFFFFu;

// Reads a hexadecimal number the way scanf's "%x" does: leading blanks, an
// optional sign, an optional 0x, then hex digits (kept to 32 bits). Nothing
// when the text does not start with a number.
std::optional<COLORREF> ScanHexColor(const QString& text);

// The colour of a COLORREF: red in the low byte, then green, then blue.
QColor ColorFromColorRef(COLORREF value);

}  // namespace vekdc
