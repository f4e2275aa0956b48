#include "window/win32/version_dialog.h"

#include <commctrl.h>

#include <string>

#include "platform/launch.h"
#include "platform/services.h"
#include "window/win32/resource_ids.h"
#include "window/win32/texts.h"

namespace vekdc::win32 {

namespace {

constexpr UINT_PTR kWebButtonSubclass = 1;
// The program icon's size at 96 DPI.
constexpr int kIconPixels = 32;

// A modal dialog without controls of its own: they come from the core's template.
struct alignas(4) EmptyDialogTemplate {
    DLGTEMPLATE dialog;
    WORD menu = 0;
    WORD windowClass = 0;
    WORD title = 0;
};

// The web button is never the dialog's default: Return closes the dialog
// (what the hidden OK does), Space still presses the button.
LRESULT CALLBACK WebButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                               UINT_PTR /*id*/, DWORD_PTR /*data*/) {
    if (message == WM_GETDLGCODE) {
        return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    }
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(button, WebButtonProc, kWebButtonSubclass);
    }
    return ::DefSubclassProc(button, message, wParam, lParam);
}

}  // namespace

CVersionDlg::CVersionDlg(HWND owner) : m_owner(owner) {}

CVersionDlg::~CVersionDlg() {
    if (m_icon != nullptr) {
        ::DestroyIcon(m_icon);
    }
}

INT_PTR CVersionDlg::DoModal() {
    EmptyDialogTemplate empty{};
    // Shown as soon as it is made (its controls are placed at WM_INITDIALOG).
    empty.dialog.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    return ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), &empty.dialog, m_owner,
                                     DialogProc, reinterpret_cast<LPARAM>(this));
}

void CVersionDlg::OnInitDialog(HWND dialog) {
    m_hWnd = dialog;
    ::SetWindowTextW(dialog, Text(desktop::text_id::version_title).c_str());
    const UINT dpi = platform::win32::window_dpi(dialog);
    m_font = platform::win32::make_font(platform::win32::message_font(dpi));
    m_dialog = std::make_unique<DialogControls>(desktop::version_dialog(), dialog);

    const int iconPixels = platform::win32::scale_to_dpi(kIconPixels, dpi);
    m_icon =
        static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM),
                                        IMAGE_ICON, iconPixels, iconPixels, LR_DEFAULTCOLOR));
    ::SendMessageW(m_dialog->At(0), STM_SETICON, reinterpret_cast<WPARAM>(m_icon), 0);
    const HWND ok = m_dialog->Item(IDC_OK);
    ::ShowWindow(ok, SW_HIDE);
    ::EnableWindow(ok, FALSE);
    const HWND web = m_dialog->Item(IDC_WEB_PAGE);
    ::SetWindowSubclass(web, WebButtonProc, kWebButtonSubclass, 0);

    const SIZE client = m_dialog->LayOut(m_font.get(), dpi);
    RECT frame{0, 0, client.cx, client.cy};
    ::AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(::GetWindowLongW(dialog, GWL_STYLE)),
                               FALSE, static_cast<DWORD>(::GetWindowLongW(dialog, GWL_EXSTYLE)),
                               dpi);
    // Centred on the window it belongs to.
    RECT owner{};
    if (m_owner == nullptr || ::GetWindowRect(m_owner, &owner) == 0) {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &owner, 0);
    }
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(dialog, nullptr, (owner.left + owner.right - width) / 2,
                   (owner.top + owner.bottom - height) / 2, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(dialog, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    ::SetFocus(web);
}

void CVersionDlg::OnVisitWebPage() {
    platform::services().run_program(std::string(platform::kBrowserProgram) + " " +
                                     desktop::kMakerAddress);
}

INT_PTR CALLBACK CVersionDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<CVersionDlg*>(lParam)->OnInitDialog(dialog);
        return FALSE;  // the focus is set
    }
    auto* self = reinterpret_cast<CVersionDlg*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == DM_GETDEFID) {
        // The hidden OK is no default to find: Return then sends IDOK itself.
        ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    if (self == nullptr || message != WM_COMMAND) {
        return FALSE;
    }
    switch (LOWORD(wParam)) {
        case IDC_WEB_PAGE:
            self->OnVisitWebPage();
            return TRUE;
        case IDOK:
        case IDCANCEL:
            ::EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace vekdc::win32
