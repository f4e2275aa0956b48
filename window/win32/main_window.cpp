#include "window/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "desktop/application.h"
#include "desktop/drive_tree.h"
#include "desktop/texts.h"
#include "platform/services.h"
#include "platform/win32/lock_keys.h"
#include "platform/win32/text.h"
#include "window/win32/decode_panel.h"
#include "window/win32/drive_tree.h"
#include "window/win32/resource_ids.h"
#include "window/win32/texts.h"

namespace vekdc::win32 {

namespace {

using desktop::text_id;
using platform::win32::scale_to_dpi;
using platform::win32::widen;

// The splitter bar between the panes, at 96 DPI.
constexpr int kSplitterBar = 6;

// The Help menu's list of the window's keys.
constexpr int ID_SHOW_KEYS = 32771;

// The accelerator table: the commands with an effect in this program. The
// save and edit keys of the original table have no handler, so they are left
// to the edit boxes, which handle them themselves.
// clang-format off
constexpr ACCEL kAccelerators[] = {
    {FVIRTKEY | FCONTROL, 'N',   desktop::frame_window::ID_FILE_NEW},
    {FVIRTKEY | FCONTROL, 'O',   desktop::frame_window::ID_FILE_OPEN},
    {FVIRTKEY,            VK_F6, desktop::frame_window::ID_NEXT_PANE},
    {FVIRTKEY | FSHIFT,   VK_F6, desktop::frame_window::ID_PREV_PANE},
};
// clang-format on

bool IsKeyboardMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

bool IsUsable(HWND window) {
    return window != nullptr && ::IsWindow(window) != 0 && ::IsWindowVisible(window) != 0 &&
           ::IsWindowEnabled(window) != 0;
}

}  // namespace

CMainFrame::CMainFrame(desktop::CVekDCDoc& document) : m_document(document) {}

CMainFrame::~CMainFrame() {
    if (m_accelerators != nullptr) {
        ::DestroyAcceleratorTable(m_accelerators);
    }
    if (GetSafeHwnd() != nullptr) {
        SetMessageFilter(nullptr);
    }
}

bool CMainFrame::Create() {
    if (!WindowBase::Create(kWindowClass, WS_EX_ACCEPTFILES, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                            L"", RECT{}, nullptr, nullptr)) {
        return false;
    }
    const HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    m_dpi = platform::win32::window_dpi(m_hWnd);

    // The tree pane first, the panel second: the document's views follow this order.
    CreateNameLabel(m_hWnd, Text(text_id::tree_name));
    m_pLeftView = std::make_unique<CLeftView>(m_document, *this);
    m_pLeftView->Create(m_hWnd);
    m_pDecodeView = std::make_unique<CVekDCView>(m_document, *this);
    m_pDecodeView->Create(m_hWnd);
    m_document.AddView(&m_pLeftView->Core());
    m_document.AddView(&m_pDecodeView->Core());
    CreateNameLabel(m_hWnd, Text(text_id::status_bar_name));
    m_wndStatusBar.Create(m_hWnd);
    m_announcer.Create(m_hWnd);
    CreateMenuBar();
    CreateAccelerators();
    m_document.SetFrame(this);
    set_caption(desktop::frame_caption(m_document.GetTitle()));
    ApplyDpi();
    SetInitialSize();
    SetMessageFilter(this);
    return true;
}

void CMainFrame::CreateMenuBar() {
    const HMENU help = ::CreatePopupMenu();
    ::AppendMenuW(help, MF_STRING, ID_SHOW_KEYS, Text(text_id::keys_item).c_str());
    ::AppendMenuW(help, MF_STRING, ID_APP_ABOUT, Text(text_id::about_item).c_str());
    const HMENU bar = ::CreateMenu();
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help),
                  Text(text_id::help_menu).c_str());
    ::SetMenu(m_hWnd, bar);
}

void CMainFrame::CreateAccelerators() {
    std::array<ACCEL, std::size(kAccelerators)> table{};
    std::copy(std::begin(kAccelerators), std::end(kAccelerators), table.begin());
    m_accelerators = ::CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
}

void CMainFrame::SetCommandHandler(int id, std::function<void()> handler) {
    m_handlers[id] = std::move(handler);
}

void CMainFrame::ApplyDpi() {
    m_font = platform::win32::make_font(platform::win32::message_font(m_dpi));
    m_pLeftView->SetDpi(m_dpi, m_font.get());
    m_pDecodeView->SetDpi(m_dpi, m_font.get());
    m_wndStatusBar.SetFont(m_font.get(), m_dpi);
    RecalcLayout();
}

void CMainFrame::SetInitialSize() {
    // The tree at its narrow width beside the whole form, with the menu, the
    // status bar and the window's frame around them.
    const SIZE form = m_pDecodeView->FormSize();
    RECT needed{
        0, 0, scale_to_dpi(desktop::drive_tree::kNarrowWidth, m_dpi) + SplitterBarWidth() + form.cx,
        form.cy + m_wndStatusBar.Height()};
    ::AdjustWindowRectExForDpi(&needed, static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)),
                               TRUE, static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)),
                               m_dpi);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    // The system's usual size for a new window: three quarters of the screen.
    const int width =
        std::min<LONG>(std::max<LONG>((work.right - work.left) * 3 / 4, needed.right - needed.left),
                       work.right - work.left);
    const int height =
        std::min<LONG>(std::max<LONG>((work.bottom - work.top) * 3 / 4, needed.bottom - needed.top),
                       work.bottom - work.top);
    ::SetWindowPos(m_hWnd, nullptr, work.left + (work.right - work.left - width) / 2,
                   work.top + (work.bottom - work.top - height) / 2, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainFrame::ShowMainWindow() {
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::UpdateWindow(m_hWnd);
    // The focus shows from the first moment, not only after a key was pressed.
    ::SendMessageW(m_hWnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    ::SetForegroundWindow(m_hWnd);
    ::SetFocus(m_pLeftView->GetSafeHwnd());
}

int CMainFrame::SplitterBarWidth() const {
    return scale_to_dpi(kSplitterBar, m_dpi);
}

int CMainFrame::SplitterWidth() const {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    return client.right;
}

int CMainFrame::TreeWidth() const {
    const int room = std::max(0, SplitterWidth() - SplitterBarWidth());
    return m_panelCollapsed ? room : std::min(m_treeWidth, room);
}

bool CMainFrame::IsDecodePanelShown() const {
    return ::IsWindowVisible(m_pDecodeView->GetSafeHwnd()) != 0;
}

void CMainFrame::SetTreeWidth(int width) {
    m_treeWidth = std::max(0, width);
    m_panelCollapsed = m_treeWidth >= SplitterWidth() - SplitterBarWidth();
    RecalcLayout();
    ::UpdateWindow(m_hWnd);
}

RECT CMainFrame::SplitterBarRect() const {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int tree = TreeWidth();
    return RECT{tree, 0, tree + SplitterBarWidth(), client.bottom - m_wndStatusBar.Height()};
}

void CMainFrame::RecalcLayout() {
    if (m_pLeftView == nullptr || m_pDecodeView == nullptr) {
        return;
    }
    m_wndStatusBar.Resize();
    const RECT bar = SplitterBarRect();
    const int height = bar.bottom;
    const int panel = std::max(0, SplitterWidth() - static_cast<int>(bar.right));
    const HWND tree = m_pLeftView->GetSafeHwnd();
    const HWND view = m_pDecodeView->GetSafeHwnd();
    ::MoveWindow(tree, 0, 0, bar.left, height, TRUE);
    ::MoveWindow(view, bar.right, 0, panel, height, TRUE);
    // A pane without room is hidden, so that no control in it takes the focus.
    const HWND focus = ::GetFocus();
    ::ShowWindow(tree, bar.left > 0 ? SW_SHOWNA : SW_HIDE);
    ::ShowWindow(view, panel > 0 ? SW_SHOWNA : SW_HIDE);
    if (focus != nullptr && ::IsWindowVisible(focus) == 0 &&
        (focus == tree || ::IsChild(view, focus) != 0)) {
        ::SetFocus(IsUsable(tree) ? tree : m_hWnd);
    }
    ::InvalidateRect(m_hWnd, &bar, TRUE);
}

void CMainFrame::RevealDecodePanel() {
    if (IsDecodePanelShown()) {
        return;
    }
    // As narrow as F2 makes the tree, but never more than half the room.
    const int total = SplitterWidth();
    SetTreeWidth(std::min(m_pLeftView->narrow_width(), total / 2));
}

void CMainFrame::AddToInputList(const std::vector<std::string>& paths) {
    m_pDecodeView->AddLocalPaths(paths);
}

void CMainFrame::set_caption(const std::string& text) {
    ::SetWindowTextW(m_hWnd, widen(text).c_str());
}

void CMainFrame::set_status_text(const std::string& text) {
    m_wndStatusBar.SetPaneText(0, widen(text));
}

void CMainFrame::announce(const std::string& text) {
    m_announcer.Announce(widen(text));
}

void CMainFrame::close_window() {
    // Posted: the request comes from inside a command of a pane of this window.
    ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
}

bool CMainFrame::PreTranslateMessage(MSG& message) {
    if (IsKeyboardMessage(message.message)) {
        m_wndStatusBar.ShowLockKeys(platform::win32::lock_key_lights());
    }
    if (message.hwnd == nullptr ||
        (message.hwnd != m_hWnd && ::IsChild(m_hWnd, message.hwnd) == 0)) {
        return false;
    }
    if (::TranslateAcceleratorW(m_hWnd, m_accelerators, &message) != 0) {
        return true;
    }
    return m_pDecodeView->PreTranslateMessage(message);
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
        case ID_NEXT_PANE:
            ActivatePane(1);
            return;
        case ID_PREV_PANE:
            ActivatePane(-1);
            return;
        case ID_SHOW_KEYS:
            desktop::show_keys();
            return;
        case ID_FILE_NEW:
        case ID_FILE_OPEN:
            // Not while a run works on the document.
            if (!m_documentCommands) {
                return;
            }
            break;
        default:
            break;
    }
    const auto handler = m_handlers.find(id);
    if (handler != m_handlers.end() && handler->second) {
        handler->second();
    }
}

void CMainFrame::OnKeyDown(WPARAM virtualKey, LPARAM keyData) {
    // A key that reaches the frame itself (no pane has the focus) shows its
    // code. During a run with the panel hidden the frame holds the focus, and
    // takes only Esc, which cancels the run.
    if (m_document.m_bDecoding != 0) {
        if (virtualKey == VK_ESCAPE) {
            m_pDecodeView->CancelDecode();
        }
        return;
    }
    char text[48];
    std::snprintf(text, sizeof text, "char [%02x] flg[%08x]", static_cast<unsigned>(virtualKey),
                  static_cast<unsigned>(HIWORD(keyData)));
    platform::services().message_box(text, platform::kAppTitle, platform::Buttons::Ok,
                                     platform::Icon::None);
}

void CMainFrame::ActivatePane(int step) {
    const HWND tree = m_pLeftView->GetSafeHwnd();
    const HWND view = m_pDecodeView->GetSafeHwnd();
    const HWND focus = ::GetFocus();
    m_pDecodeView->RememberFocus();
    // Only panes that show take part: a pane, and the control that takes its focus.
    struct Pane {
        HWND window;
        HWND focus;
    };
    std::vector<Pane> panes;
    if (IsUsable(tree)) {
        panes.push_back({tree, tree});
    }
    if (IsUsable(view)) {
        panes.push_back({view, m_pDecodeView->FocusTarget()});
    }
    if (panes.empty()) {
        return;
    }
    const int count = static_cast<int>(panes.size());
    int current = -1;
    for (int i = 0; i < count; ++i) {
        const HWND pane = panes[static_cast<std::size_t>(i)].window;
        if (focus == pane || (focus != nullptr && ::IsChild(pane, focus) != 0)) {
            current = i;
        }
    }
    const int next = current < 0 ? (step > 0 ? 0 : count - 1) : (current + step + count) % count;
    ::SetFocus(panes[static_cast<std::size_t>(next)].focus);
}

void CMainFrame::OnDropFiles(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        paths.push_back(platform::win32::narrow(path));
    }
    ::DragFinish(drop);
    AddToInputList(paths);
}

bool CMainFrame::OnCopyData(const COPYDATASTRUCT& data) {
    const auto paths = forwarded_paths(data);
    if (!paths) {
        return false;
    }
    AddToInputList(*paths);
    if (::IsIconic(m_hWnd) != 0) {
        ::ShowWindow(m_hWnd, SW_RESTORE);
    }
    ::SetForegroundWindow(::GetLastActivePopup(m_hWnd));
    return true;
}

bool CMainFrame::OnSplitterMouse(UINT message, LPARAM lParam) {
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    const RECT bar = SplitterBarRect();
    switch (message) {
        case WM_LBUTTONDOWN:
            if (::PtInRect(&bar, point) == 0) {
                return false;
            }
            m_dragging = true;
            m_dragOffset = point.x - bar.left;
            ::SetCapture(m_hWnd);
            return true;
        case WM_MOUSEMOVE:
            if (m_dragging) {
                SetTreeWidth(point.x - m_dragOffset);
            }
            return m_dragging;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            if (!m_dragging) {
                return false;
            }
            m_dragging = false;
            if (message == WM_LBUTTONUP) {
                ::ReleaseCapture();
            }
            return true;
        default:
            return false;
    }
}

void CMainFrame::OnActivate(bool active) {
    if (!active) {
        const HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(m_hWnd, focus) != 0) {
            m_lastFocus = focus;
            m_pDecodeView->RememberFocus();
        }
        return;
    }
    m_wndStatusBar.ShowLockKeys(platform::win32::lock_key_lights());
    if (IsUsable(m_lastFocus)) {
        ::SetFocus(m_lastFocus);
    } else if (IsUsable(m_pLeftView->GetSafeHwnd())) {
        ::SetFocus(m_pLeftView->GetSafeHwnd());
    } else {
        ::SetFocus(m_hWnd);
    }
}

LRESULT CMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return 0;
        case WM_NOTIFY: {
            const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
            if (header.hwndFrom == m_pLeftView->GetSafeHwnd()) {
                return m_pLeftView->OnNotify(header);
            }
            return 0;
        }
        case WM_SIZE:
            if (m_pLeftView != nullptr) {
                RecalcLayout();
            }
            return 0;
        case WM_ERASEBKGND: {
            RECT client{};
            ::GetClientRect(m_hWnd, &client);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, ::GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_SETCURSOR: {
            POINT point{};
            ::GetCursorPos(&point);
            ::ScreenToClient(m_hWnd, &point);
            const RECT bar = SplitterBarRect();
            if (m_document.m_bDecoding != 0) {
                // Busy, but 中止 and the window still take the mouse.
                ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
                return TRUE;
            }
            if (reinterpret_cast<HWND>(wParam) == m_hWnd && ::PtInRect(&bar, point) != 0) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_SIZEWE));
                return TRUE;
            }
            break;
        }
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            if (OnSplitterMouse(message, lParam)) {
                return 0;
            }
            break;
        case WM_MENUSELECT:
            // The item's prompt while it is highlighted.
            if (LOWORD(wParam) == ID_APP_ABOUT) {
                m_wndStatusBar.SetPaneText(0, Text(text_id::about_prompt));
            }
            return 0;
        case WM_EXITMENULOOP:
            m_wndStatusBar.SetPaneText(0, Text(text_id::ready));
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(wParam, lParam);
            break;
        case WM_ACTIVATE:
            OnActivate(LOWORD(wParam) != WA_INACTIVE);
            return 0;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_COPYDATA:
            return OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lParam)) ? TRUE : FALSE;
        case WM_DPICHANGED: {
            const UINT previous = m_dpi;
            m_dpi = HIWORD(wParam);
            m_treeWidth =
                ::MulDiv(m_treeWidth, static_cast<int>(m_dpi), static_cast<int>(previous));
            ApplyDpi();
            const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(m_hWnd, nullptr, suggested.left, suggested.top,
                           suggested.right - suggested.left, suggested.bottom - suggested.top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_SETTINGCHANGE:
            // A new system font (size) reaches the panes at once.
            if (wParam == SPI_SETNONCLIENTMETRICS) {
                ApplyDpi();
            }
            break;
        case WM_CLOSE:
            if (m_document.m_bDecoding != 0) {
                // A run in progress is cancelled first; the window closes once it stopped.
                m_pDecodeView->CloseAfterRun();
                return 0;
            }
            // Closed by the user: the program ends with its window.
            ::DestroyWindow(m_hWnd);
            ::PostQuitMessage(0);
            return 0;
        case WM_DESTROY:
            SetMessageFilter(nullptr);
            return 0;
        default:
            break;
    }
    return WindowBase::WindowProc(message, wParam, lParam);
}

}  // namespace vekdc::win32
