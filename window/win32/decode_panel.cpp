#include "window/win32/decode_panel.h"

#include <commctrl.h>

#include <algorithm>

#include "desktop/contrast.h"
#include "desktop/document.h"
#include "platform/win32/metrics.h"
#include "platform/win32/text.h"
#include "platform/win32/ui_thread_services.h"
#include "window/win32/main_window.h"
#include "window/win32/message_loop.h"

namespace vekdc::win32 {

namespace {

using platform::win32::narrow;
using platform::win32::widen;

constexpr wchar_t kPanelClass[] = L"VekDC.DecodePanel";
constexpr wchar_t kSurfaceClass[] = L"VekDC.DecodeForm";
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT_PTR kListSubclassId = 1;
// Room beside the widest entry of a list column, at 96 DPI.
constexpr int kColumnMargin = 12;
// The lines one click on a scroll bar's arrow moves, at 96 DPI.
constexpr int kScrollLine = 16;

// The services of a run's worker, installed for the run: the worker's boxes,
// dialogs and the end of the process are carried out on the window's thread.
class MarshalledServices {
public:
    MarshalledServices()
        : m_marshalled(platform::services()), m_previous(platform::install(&m_marshalled)) {}
    ~MarshalledServices() { platform::install(m_previous); }
    MarshalledServices(const MarshalledServices&) = delete;
    MarshalledServices& operator=(const MarshalledServices&) = delete;

private:
    platform::win32::UiThreadServices m_marshalled;
    platform::Services* m_previous;
};

// A Windows event, closed when it goes.
class Event {
public:
    Event() : m_handle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() { ::CloseHandle(m_handle); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// The entry of a list of columns at a point of its client area; -1 for none.
// (LB_ITEMFROMPOINT tells only the low 16 bits of the index.)
int EntryAt(HWND list, POINT point) {
    const auto top = static_cast<int>(::SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    RECT first{};
    if (top < 0 || ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(top),
                                  reinterpret_cast<LPARAM>(&first)) == LB_ERR) {
        return -1;
    }
    RECT client{};
    ::GetClientRect(list, &client);
    const int height = std::max(1L, first.bottom - first.top);
    const int width = std::max(1L, first.right - first.left);
    const int perColumn = std::max(1L, client.bottom / height);
    if (point.x < first.left || point.y < first.top) {
        return -1;
    }
    const int entry =
        top + (point.x - first.left) / width * perColumn + (point.y - first.top) / height;
    RECT place{};
    if (::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(entry),
                       reinterpret_cast<LPARAM>(&place)) == LB_ERR ||
        ::PtInRect(&place, point) == 0) {
        return -1;
    }
    return entry;
}

bool IsEdit(HWND control) {
    wchar_t name[16] = {};
    ::GetClassNameW(control, name, static_cast<int>(std::size(name)));
    return ::lstrcmpiW(name, L"Edit") == 0;
}

}  // namespace

// The form's surface: the window that holds the controls, as large as the
// form, moved inside the pane when the pane scrolls.
class CVekDCView::Surface : public WindowBase {
public:
    explicit Surface(CVekDCView& view) : m_view(view) {}
    void Create(HWND parent) {
        WindowBase::Create(kSurfaceClass, WS_EX_CONTROLPARENT, WS_CHILD | WS_VISIBLE, L"", RECT{},
                           parent, nullptr);
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        return m_view.SurfaceProc(m_hWnd, message, wParam, lParam);
    }

private:
    CVekDCView& m_view;
};

CVekDCView::CVekDCView(desktop::CVekDCDoc& document, CMainFrame& frame)
    : m_panel(document, *this), m_frame(frame), m_surface(std::make_unique<Surface>(*this)) {}

CVekDCView::~CVekDCView() {
    if (m_fileList != nullptr && ::IsWindow(m_fileList) != 0) {
        ::RemoveWindowSubclass(m_fileList, ListProc, kListSubclassId);
    }
    if (m_brush != nullptr) {
        ::DeleteObject(m_brush);
    }
}

void CVekDCView::Create(HWND parent) {
    WindowBase::Create(kPanelClass, WS_EX_CONTROLPARENT,
                       WS_CHILD | WS_CLIPCHILDREN | WS_HSCROLL | WS_VSCROLL, L"", RECT{}, parent,
                       ControlId(kPanelId));
    m_surface->Create(m_hWnd);
    m_dialog = std::make_unique<DialogControls>(desktop::decode_form(), Form());
    m_fileList = GetDlgItem(IDC_FILE_LIST);
    m_progress = GetDlgItem(IDC_PROGRESS);
    m_outDir = GetDlgItem(IDC_OUT_DIR);
    m_keyPath = GetDlgItem(IDC_KEY_PATH);
    m_decode = GetDlgItem(IDC_DECODE);
    m_cancel = GetDlgItem(IDC_CANCEL);
    ::ShowWindow(m_cancel, SW_HIDE);
    ::SendMessageW(m_progress, PBM_SETRANGE32, 0, 100);
    ::SetWindowSubclass(m_fileList, ListProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(this));
    // The whole path of the entry under the mouse, asked for when the tip shows.
    m_dialog->AddTip(m_fileList, std::wstring());
    // Until the first initial update the panel has the system's button face.
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    set_panel_colour(desktop::rgb{GetRValue(face), GetGValue(face), GetBValue(face)});
}

HWND CVekDCView::Form() const {
    return m_surface->GetSafeHwnd();
}

HWND CVekDCView::GetDlgItem(int id) const {
    return id == desktop::IDC_STATIC ? nullptr : m_dialog->Item(id);
}

void CVekDCView::SetDpi(UINT dpi, HFONT font) {
    m_dpi = dpi;
    m_font = font;
    m_formSize = m_dialog->LayOut(font, dpi);
    ::SetWindowPos(Form(), nullptr, 0, 0, m_formSize.cx, m_formSize.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The list's columns follow the new font.
    m_columnWidth = 0;
    for (const desktop::list_entry& entry : m_panel.GetDocument().m_fileList.entries()) {
        MeasureListEntry(widen(desktop::file_list::label(entry)));
    }
    UpdateScrolling();
}

void CVekDCView::MeasureListEntry(const std::wstring& label) {
    const HDC dc = ::GetDC(m_fileList);
    const HGDIOBJ previous = ::SelectObject(dc, m_font);
    SIZE text{};
    ::GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &text);
    ::SelectObject(dc, previous);
    ::ReleaseDC(m_fileList, dc);
    const int width = text.cx + platform::win32::scale_to_dpi(kColumnMargin, m_dpi);
    if (width > m_columnWidth) {
        m_columnWidth = width;
        ::SendMessageW(m_fileList, LB_SETCOLUMNWIDTH, static_cast<WPARAM>(m_columnWidth), 0);
    }
}

int CVekDCView::StartDecode() {
    return m_panel.StartDecode();
}

std::size_t CVekDCView::AddLocalPaths(const std::vector<std::string>& paths) {
    return m_panel.AddLocalPaths(paths).ignored;
}

bool CVekDCView::PreTranslateMessage(MSG& message) {
    if (message.hwnd == nullptr || ::IsChild(Form(), message.hwnd) == 0) {
        return false;
    }
    return ::IsDialogMessageW(Form(), &message) != 0;
}

void CVekDCView::RememberFocus() {
    const HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(Form(), focus) != 0) {
        m_lastFocus = focus;
    }
}

HWND CVekDCView::FocusTarget() const {
    if (m_lastFocus != nullptr && ::IsWindowVisible(m_lastFocus) != 0 &&
        ::IsWindowEnabled(m_lastFocus) != 0) {
        return m_lastFocus;
    }
    return ::GetNextDlgTabItem(Form(), nullptr, FALSE);
}

std::string CVekDCView::output_folder() const {
    const int length = ::GetWindowTextLengthW(m_outDir);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(m_outDir, text.data(), static_cast<int>(text.size()))));
    return narrow(text);
}

void CVekDCView::set_output_folder(const std::string& folder) {
    ::SetWindowTextW(m_outDir, widen(folder).c_str());
}

void CVekDCView::show_key_path(const std::string& path) {
    ::SetWindowTextW(m_keyPath, widen(path).c_str());
}

std::vector<std::size_t> CVekDCView::selected_entries() const {
    const LRESULT count = ::SendMessageW(m_fileList, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) {
        return {};
    }
    std::vector<int> indexes(static_cast<std::size_t>(count));
    const LRESULT got = ::SendMessageW(m_fileList, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                       reinterpret_cast<LPARAM>(indexes.data()));
    indexes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return std::vector<std::size_t>(indexes.begin(), indexes.end());
}

void CVekDCView::set_panel_colour(desktop::rgb colour) {
    m_colour = colour;
    const HBRUSH previous = m_brush;
    m_brush = ::CreateSolidBrush(RGB(colour.red, colour.green, colour.blue));
    if (previous != nullptr) {
        ::DeleteObject(previous);
    }
    ::RedrawWindow(m_hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CVekDCView::set_progress(int percent) {
    ::SendMessageW(m_progress, PBM_SETRANGE32, 0, 100);
    ::SendMessageW(m_progress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void CVekDCView::set_running(bool running) {
    if (running) {
        m_runStartedFrom = ::GetFocus();
        // The focus goes straight to 中止 (or, with the panel collapsed, to
        // the frame, where Esc cancels), not through the controls as they are
        // disabled one by one.
        ::ShowWindow(m_decode, SW_HIDE);
        ::ShowWindow(m_cancel, SW_SHOW);
        ::EnableWindow(m_cancel, TRUE);
        ::SetFocus(::IsWindowVisible(m_hWnd) != 0 ? m_cancel : m_frame.GetSafeHwnd());
    }
    // Labels take no input: they keep their colours.
    for (std::size_t i = 0; i < m_dialog->Count(); ++i) {
        const HWND control = m_dialog->At(i);
        if (control != m_cancel && control != m_progress &&
            m_dialog->ItemAt(i).kind != desktop::control_kind::static_text) {
            ::EnableWindow(control, running ? FALSE : TRUE);
        }
    }
    if (!running) {
        const bool cancelHadFocus = ::GetFocus() == m_cancel;
        ::ShowWindow(m_cancel, SW_HIDE);
        ::ShowWindow(m_decode, SW_SHOW);
        // Back to where the run was started (the tree or the panel).
        const HWND origin = m_runStartedFrom;
        m_runStartedFrom = nullptr;
        if (origin != nullptr && ::IsWindow(origin) != 0 && ::IsWindowEnabled(origin) != 0 &&
            ::IsWindowVisible(origin) != 0) {
            ::SetFocus(origin);
        } else if (cancelHadFocus) {
            ::SetFocus(m_decode);
        }
    }
}

void CVekDCView::wait_for_run(desktop::decode_run& run) {
    // The engine runs on a worker; this thread keeps the window alive and
    // carries out the worker's boxes, dialogs and the end of the process.
    MarshalledServices marshalled;
    Event finished;
    m_waitingFor = &run;
    ::SetTimer(m_hWnd, kRefreshTimer, m_refreshIntervalMs, nullptr);
    const HANDLE event = finished.get();
    run.start([event] { ::SetEvent(event); });
    RunMessageLoopUntil(event);
    run.join();
    ::KillTimer(m_hWnd, kRefreshTimer);
    m_waitingFor = nullptr;
}

void CVekDCView::RefreshRunProgress() {
    if (m_waitingFor != nullptr) {
        m_panel.ShowRunProgress(m_waitingFor->progress());
    }
}

void CVekDCView::entry_inserted(std::size_t index) {
    const std::wstring label =
        widen(desktop::file_list::label(m_panel.GetDocument().m_fileList.at(index)));
    ::SendMessageW(m_fileList, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(label.c_str()));
    MeasureListEntry(label);
}

void CVekDCView::entry_removed(std::size_t index) {
    ::SendMessageW(m_fileList, LB_DELETESTRING, index, 0);
}

void CVekDCView::list_cleared() {
    ::SendMessageW(m_fileList, LB_RESETCONTENT, 0, 0);
    m_columnWidth = 0;
}

void CVekDCView::OnCommand(int id, int code) {
    if (code != BN_CLICKED) {
        return;
    }
    switch (id) {
        case IDC_DECODE:
            StartDecode();
            break;
        case IDC_ADD_TO_LIST:
            m_panel.AddSelectionToList();
            break;
        case IDC_SET_OUT_DIR:
            m_panel.SetOutDirFromSelection();
            break;
        case IDC_CLEAR_LIST:
            m_panel.ClearFileList();
            break;
        case IDC_DELETE_ITEMS:
            m_panel.DeleteSelectedFiles();
            break;
        case IDC_SET_KEY:
            m_panel.ChooseKeyFile();
            break;
        case IDC_CANCEL:
        case IDCANCEL:  // Esc in the panel
            m_panel.CancelDecode();
            break;
        default:
            break;
    }
}

LRESULT CVekDCView::OnControlColour(HDC dc, HWND control) {
    // Disabled and read-only edit boxes ask as static controls do: edit
    // boxes and the list keep the system's colours.
    if (IsEdit(control)) {
        return 0;
    }
    ::SetBkMode(dc, TRANSPARENT);
    // Readable on the panel's colour whatever palette the system uses.
    const desktop::rgb text = desktop::text_colour_on(m_colour);
    ::SetTextColor(dc, RGB(text.red, text.green, text.blue));
    return reinterpret_cast<LRESULT>(m_brush);
}

LRESULT CVekDCView::PaintPanelColour(HWND window, HDC dc) const {
    RECT client{};
    ::GetClientRect(window, &client);
    ::FillRect(dc, &client, m_brush);
    return 1;  // erased
}

LRESULT CVekDCView::OnNotify(const NMHDR& header) {
    if (header.code == TTN_GETDISPINFOW &&
        header.idFrom == reinterpret_cast<UINT_PTR>(m_fileList)) {
        auto& info = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
        const desktop::file_list& list = m_panel.GetDocument().m_fileList;
        m_tipText = m_hoveredEntry >= 0 && static_cast<std::size_t>(m_hoveredEntry) < list.size()
                        ? widen(list.at(static_cast<std::size_t>(m_hoveredEntry)).shown)
                        : std::wstring();
        info.lpszText = m_tipText.data();
    }
    return 0;
}

LRESULT CVekDCView::SurfaceProc(HWND surface, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC: {
            const LRESULT brush =
                OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
            return brush != 0 ? brush : ::DefWindowProcW(surface, message, wParam, lParam);
        }
        case WM_ERASEBKGND:
            return PaintPanelColour(surface, reinterpret_cast<HDC>(wParam));
        case DM_GETDEFID:
            // Return presses ！デコード実行 (中止 while a run is active).
            return MAKELRESULT(::IsWindowVisible(m_cancel) != 0 ? IDC_CANCEL : IDC_DECODE,
                               DC_HASDEFID);
        case WM_VKEYTOITEM:
            if (LOWORD(wParam) == VK_DELETE && reinterpret_cast<HWND>(lParam) == m_fileList) {
                m_panel.DeleteSelectedFiles();
                return -2;  // handled
            }
            return -1;  // the list's own action
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        default:
            return ::DefWindowProcW(surface, message, wParam, lParam);
    }
}

void CVekDCView::UpdateScrolling() {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    for (const int bar : {SB_HORZ, SB_VERT}) {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE;
        info.nMin = 0;
        info.nMax = (bar == SB_HORZ ? m_formSize.cx : m_formSize.cy) - 1;
        info.nPage = static_cast<UINT>(bar == SB_HORZ ? client.right : client.bottom);
        ::SetScrollInfo(m_hWnd, bar, &info, TRUE);
    }
    SCROLLINFO horizontal{};
    horizontal.cbSize = sizeof horizontal;
    horizontal.fMask = SIF_POS;
    SCROLLINFO vertical = horizontal;
    ::GetScrollInfo(m_hWnd, SB_HORZ, &horizontal);
    ::GetScrollInfo(m_hWnd, SB_VERT, &vertical);
    ::SetWindowPos(Form(), nullptr, -horizontal.nPos, -vertical.nPos, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CVekDCView::OnScroll(int bar, int request) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ::GetScrollInfo(m_hWnd, bar, &info);
    const int line = platform::win32::scale_to_dpi(kScrollLine, m_dpi);
    int position = info.nPos;
    switch (request) {
        case SB_LINEUP:
            position -= line;
            break;
        case SB_LINEDOWN:
            position += line;
            break;
        case SB_PAGEUP:
            position -= static_cast<int>(info.nPage);
            break;
        case SB_PAGEDOWN:
            position += static_cast<int>(info.nPage);
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            position = info.nTrackPos;
            break;
        case SB_TOP:
            position = info.nMin;
            break;
        case SB_BOTTOM:
            position = info.nMax;
            break;
        default:
            break;
    }
    info.fMask = SIF_POS;
    info.nPos = position;
    ::SetScrollInfo(m_hWnd, bar, &info, TRUE);
    UpdateScrolling();
}

LRESULT CVekDCView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            UpdateScrolling();
            return 0;
        case WM_HSCROLL:
            OnScroll(SB_HORZ, LOWORD(wParam));
            return 0;
        case WM_VSCROLL:
            OnScroll(SB_VERT, LOWORD(wParam));
            return 0;
        case WM_MOUSEWHEEL:
            OnScroll(SB_VERT, GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? SB_LINEUP : SB_LINEDOWN);
            return 0;
        case WM_ERASEBKGND:
            return PaintPanelColour(m_hWnd, reinterpret_cast<HDC>(wParam));
        case WM_TIMER:
            if (wParam == kRefreshTimer) {
                RefreshRunProgress();
            }
            return 0;
        default:
            return WindowBase::WindowProc(message, wParam, lParam);
    }
}

LRESULT CALLBACK CVekDCView::ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR /*id*/, DWORD_PTR self) {
    if (message == WM_MOUSEMOVE) {
        auto* view = reinterpret_cast<CVekDCView*>(self);
        const int entry = EntryAt(
            window, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        if (entry != view->m_hoveredEntry) {
            // The tip shows again, with the path of the entry now under the mouse.
            view->m_hoveredEntry = entry;
            ::SendMessageW(view->m_dialog->Tips(), TTM_POP, 0, 0);
        }
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace vekdc::win32
