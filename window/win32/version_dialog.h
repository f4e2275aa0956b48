// The version dialog of the Help menu: the program icon, name and version, the
// maker's notice and a button that opens the maker's web page in the browser,
// placed from the core's template in dialog units of the system's message
// font. Its OK button is hidden; Return, Esc or the close box closes it.
#pragma once

#include <windows.h>

#include <memory>

#include "desktop/dialogs.h"
#include "platform/win32/metrics.h"
#include "window/win32/dialog_controls.h"

namespace vekdc::win32 {

class CVersionDlg {
public:
    static constexpr int IDC_OK = desktop::version_dialog_ids::IDC_OK;
    static constexpr int IDC_WEB_PAGE = desktop::version_dialog_ids::IDC_WEB_PAGE;

    explicit CVersionDlg(HWND owner);
    ~CVersionDlg();
    CVersionDlg(const CVersionDlg&) = delete;
    CVersionDlg& operator=(const CVersionDlg&) = delete;

    // Shows the dialog until it is closed.
    INT_PTR DoModal();
    // Starts the browser on the maker's page; the dialog stays open.
    void OnVisitWebPage();

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND dialog);

    HWND m_owner;
    HWND m_hWnd = nullptr;
    std::unique_ptr<DialogControls> m_dialog;
    platform::win32::Font m_font;
    HICON m_icon = nullptr;
};

}  // namespace vekdc::win32
