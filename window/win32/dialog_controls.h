// The controls of a form or dialog of the desktop core (desktop/dialogs.h)
// as real Windows controls on a surface window: one per row of the template,
// made in template order (so the tab order is the template's), placed in
// dialog units of the surface's font, and widened where their text needs it.
// A control with an accessible name gets it from a label just before it, one
// with a tip a tooltip.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "desktop/dialogs.h"

namespace vekdc::win32 {

class DialogControls {
public:
    DialogControls(const desktop::dialog_template& dialog, HWND surface);
    ~DialogControls();
    DialogControls(const DialogControls&) = delete;
    DialogControls& operator=(const DialogControls&) = delete;

    // The control with this identifier (the first, for IDC_STATIC); nullptr for none.
    HWND Item(int id) const;
    HWND At(std::size_t index) const { return m_controls.at(index); }
    std::size_t Count() const { return m_controls.size(); }
    const desktop::dialog_item& ItemAt(std::size_t index) const { return m_template.items[index]; }

    // Gives every control the font and places it in dialog units of that font
    // (as it shows on the surface's screen, at `dpi`). The surface's size in pixels.
    SIZE LayOut(HFONT font, UINT dpi);

    // A control's text: from the program's texts, or the template's fixed one.
    static std::wstring ItemText(const desktop::dialog_item& item);
    // A tooltip for a control on the surface; an empty tip is asked for
    // (TTN_GETDISPINFO to the surface) each time it shows.
    void AddTip(HWND control, const std::wstring& tip);
    HWND Tips() const { return m_tips; }

private:
    static desktop::size Needed(const desktop::dialog_item& item, HDC dc, desktop::base_units base,
                                UINT dpi);

    const desktop::dialog_template& m_template;
    HWND m_surface;
    std::vector<HWND> m_controls;
    HWND m_tips = nullptr;
};

// A font's dialog base units: the average width of the Latin letters and the
// font's height, in pixels, as drawn on `dc`.
desktop::base_units BaseUnitsOf(HDC dc, HFONT font);

}  // namespace vekdc::win32
