// The window's measures on screens of any pixel density: the DPI of a window
// (per monitor where the system tells it), values scaled from 96 DPI, and the
// system's message font for a DPI.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace vekdc::platform::win32 {

// The DPI at which a value is given in pixels unscaled.
inline constexpr UINT kBaseDpi = USER_DEFAULT_SCREEN_DPI;

// The DPI the window is shown at: its monitor's for a window that is aware
// of monitors' DPI, the system's otherwise; the system's for no window.
UINT window_dpi(HWND window);

// A length of `pixels` at 96 DPI at `dpi`, rounded.
int scale_to_dpi(int pixels, UINT dpi);

// The font the system uses in message boxes, sized for `dpi`.
LOGFONTW message_font(UINT dpi);

struct FontDeleter {
    void operator()(HFONT font) const { ::DeleteObject(font); }
};
using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// A new font made from `description`; empty when the system made none.
Font make_font(const LOGFONTW& description);

}  // namespace vekdc::platform::win32
