// Fonts, dialog units and the program icon of the windows. Forms are laid out
// from templates in dialog units, which follow the dialog font as on the
// original platform: a horizontal unit is a quarter of the font's average
// character width, a vertical unit an eighth of its height. Controls
// therefore grow with the font and with the screen's resolution.
#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>

class QPaintDevice;

namespace vekdc {

// The dialog font: "ＭＳ Ｐゴシック" 9 pt where it exists, else a Japanese UI
// font of this system at 9 pt (or the family chosen with SetDialogFontFamily).
QFont JapaneseUiFont();
// Makes JapaneseUiFont() use `family` (when installed); empty restores the
// usual choice. For pictures and tests that need a particular font.
void SetDialogFontFamily(const QString& family);

// The program icon, in all its sizes.
QIcon ProgramIcon();

// A font's dialog base units on a device (its screen's resolution): the
// average width of the 52 Latin letters, rounded, and the font's height.
struct DialogBaseUnits {
    int width = 0;
    int height = 0;
};
DialogBaseUnits BaseUnitsOf(const QFont& font, const QPaintDevice* device);

// A rectangle given in dialog units (x, y, width, height) in pixels. Each edge
// is converted on its own and rounded, so that adjacent controls stay adjacent.
QRect MapDialogRect(const QRect& units, DialogBaseUnits base);

}  // namespace vekdc
