// Fonts and sizes of the fixed-layout forms: positions are given in dialog
// units of a 9-point font and drawn at 1.5 pixels per unit, times the
// screen's scale.
#pragma once

#include <QFont>
#include <QRect>

class QWidget;

namespace vekdc {

// "ＭＳ Ｐゴシック" 9 pt where it exists, else the system's Japanese UI font at 9 pt.
QFont JapaneseUiFont();

// Pixels for a length in dialog units on the screen of `widget` (the primary
// screen when it has none yet).
int DialogUnitsToPixels(int units, const QWidget* widget);
// A rectangle given in dialog units (x, y, width, height).
QRect DialogRect(int x, int y, int width, int height, const QWidget* widget);

}  // namespace vekdc
