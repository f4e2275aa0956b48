// Fonts, dialog base units and the program icon of the Qt window. Forms are
// laid out from the core's templates in dialog units, which follow the
// dialog font: the window measures the font, the core does the arithmetic.
#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

#include "desktop/dialogs.h"

class QPaintDevice;

namespace vekdc {

// The dialog font: "ＭＳ Ｐゴシック" where it exists, else a Japanese UI font of
// this system (or the family chosen with SetDialogFontFamily), at 9 pt or the
// system font's size where that is larger.
QFont JapaneseUiFont();
// Makes JapaneseUiFont() take `points` as the system font's size; 0 restores
// the system's. For pictures and tests of a larger system font.
void SetSystemFontSize(qreal points);
// Makes JapaneseUiFont() use `family` (when installed); empty restores the
// usual choice. For pictures and tests that need a particular font.
void SetDialogFontFamily(const QString& family);

// The program icon, in all its sizes.
QIcon ProgramIcon();

// A font's dialog base units on a device (its screen's resolution).
desktop::base_units BaseUnitsOf(const QFont& font, const QPaintDevice* device);

}  // namespace vekdc
