// Fonts, sizes and the program icon of the windows. Forms are laid out in fixed places: positions
// are given in dialog units of a 9-point font and drawn at 1.5 pixels per unit, times the screen's
// scale.
#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>

class QWidget;

namespace vekdc {

// "ＭＳ Ｐゴシック" 9 pt where it exists, else the system's Japanese UI font at 9 pt.
QFont JapaneseUiFont();

// The program icon, in all its sizes.
QIcon ProgramIcon();

// Pixels for a length in dialog units on the screen of `widget` (the primary
// screen when it has none yet).
int DialogUnitsToPixels(int units, const QWidget* widget);
// A rectangle given in dialog units (x, y, width, height).
QRect DialogRect(int x, int y, int width, int height, const QWidget* widget);

}  // namespace vekdc
