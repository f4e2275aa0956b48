// Readable colours: the contrast of two colours as the Web Content
// Accessibility Guidelines measure it, and the text colour for a fixed
// background (the panel's colours), chosen by the background's luminance so
// that it reads whatever palette the system uses.
#pragma once

#include "desktop/settings.h"

namespace vekdc::desktop {

// At least this much contrast: text, and the outline that shows the focus.
inline constexpr double kTextContrast = 4.5;
inline constexpr double kOutlineContrast = 3.0;

// The relative luminance of an sRGB colour: 0 for black, 1 for white.
double relative_luminance(rgb colour);
// (lighter + 0.05) / (darker + 0.05): from 1 (the same) to 21 (black on white).
double contrast_ratio(rgb a, rgb b);
// Black or white, whichever stands out more on `background`.
rgb text_colour_on(rgb background);

}  // namespace vekdc::desktop
