// What assistive tools read from the window. A control without a text of its
// own (an edit box, the list, a progress bar, the tree) takes its name from
// the static label just before it in the tab order, as Active Accessibility
// and UI Automation look for it; where the window shows no such label, a
// hidden one carries the name. What just happened (files added, a run's end)
// is told through a live region: a text that is never shown, whose changes
// screen readers read out.
#pragma once

#include <windows.h>

#include <string>

namespace vekdc::win32 {

// A label that names the next control made on `parent`, without showing.
HWND CreateNameLabel(HWND parent, const std::wstring& name);

class Announcer {
public:
    Announcer() = default;
    ~Announcer();
    Announcer(const Announcer&) = delete;
    Announcer& operator=(const Announcer&) = delete;

    void Create(HWND parent);
    HWND GetSafeHwnd() const { return m_hWnd; }
    // The text becomes the live region's and screen readers are told of it.
    void Announce(const std::wstring& text);

private:
    HWND m_hWnd = nullptr;
    IUnknown* m_properties = nullptr;  // the live setting's keeper (IAccPropServices)
};

}  // namespace vekdc::win32
