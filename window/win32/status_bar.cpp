#include "window/win32/status_bar.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "desktop/dialogs.h"
#include "desktop/texts.h"
#include "platform/win32/metrics.h"
#include "window/win32/texts.h"
#include "window/win32/window_base.h"

namespace vekdc::win32 {

namespace {

using desktop::text_id;

// Room on both sides of a light's text, at 96 DPI.
constexpr int kIndicatorPadding = 6;
// The run's progress bar: at most this wide at 96 DPI, and never more than
// this share of the status bar.
constexpr int kProgressWidth = 300;
constexpr int kProgressShare = 3;

}  // namespace

void StatusBar::Create(HWND frame) {
    m_hWnd = ::CreateWindowExW(
        0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | SBARS_TOOLTIPS, 0, 0, 0,
        0, frame, ControlId(kStatusBarId), ::GetModuleHandleW(nullptr), nullptr);
    m_texts[0] = Text(text_id::ready);
    for (std::size_t i = 0; i < platform::kLockKeyCount; ++i) {
        m_litTexts[i + 1] = Text(desktop::kLockPanes[i].lit_text);
    }
    LayOutParts();
}

void StatusBar::SetFont(HFONT font, UINT dpi) {
    m_dpi = dpi;
    ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    Resize();
}

void StatusBar::Resize() {
    ::SendMessageW(m_hWnd, WM_SIZE, 0, 0);
    LayOutParts();
}

int StatusBar::Height() const {
    RECT bounds{};
    ::GetWindowRect(m_hWnd, &bounds);
    return bounds.bottom - bounds.top;
}

int StatusBar::PartOf(int index) const {
    return index == 0 || !m_progressShown ? index : index + 1;
}

void StatusBar::LayOutParts() {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const HDC dc = ::GetDC(m_hWnd);
    const HGDIOBJ previous =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)));
    std::vector<int> widths;
    for (int i = 1; i < kPaneCount; ++i) {
        SIZE text{};
        const std::wstring& lit = m_litTexts[static_cast<std::size_t>(i)];
        ::GetTextExtentPoint32W(dc, lit.c_str(), static_cast<int>(lit.size()), &text);
        widths.push_back(text.cx + 2 * platform::win32::scale_to_dpi(kIndicatorPadding, m_dpi));
    }
    ::SelectObject(dc, previous);
    ::ReleaseDC(m_hWnd, dc);
    if (m_progressShown) {
        widths.insert(widths.begin(),
                      std::min(platform::win32::scale_to_dpi(kProgressWidth, m_dpi),
                               static_cast<int>(client.right - client.left) / kProgressShare));
    }
    // Right edges from the right: the lights end at the size grip.
    std::vector<int> edges(widths.size() + 1);
    int right = static_cast<int>(client.right) - ::GetSystemMetricsForDpi(SM_CXVSCROLL, m_dpi);
    edges.back() = -1;
    for (std::size_t i = widths.size(); i-- > 0;) {
        edges[i] = std::max(0, right - widths[i]);
        right = edges[i];
    }
    ::SendMessageW(m_hWnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    for (int i = 0; i < kPaneCount; ++i) {
        ::SendMessageW(m_hWnd, SB_SETTEXTW, static_cast<WPARAM>(PartOf(i)),
                       reinterpret_cast<LPARAM>(m_texts[static_cast<std::size_t>(i)].c_str()));
    }
    if (m_progress != nullptr) {
        RECT part{};
        ::SendMessageW(m_hWnd, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part));
        ::MoveWindow(m_progress, part.left + 1, part.top + 1, part.right - part.left - 2,
                     part.bottom - part.top - 2, TRUE);
        ::ShowWindow(m_progress, m_progressShown ? SW_SHOWNA : SW_HIDE);
    }
}

void StatusBar::SetPaneText(int index, const std::wstring& text) {
    if (index < 0 || index >= kPaneCount) {
        return;
    }
    m_texts[static_cast<std::size_t>(index)] = text;
    ::SendMessageW(m_hWnd, SB_SETTEXTW, static_cast<WPARAM>(PartOf(index)),
                   reinterpret_cast<LPARAM>(text.c_str()));
    if (index == 0) {
        // A text cut at the pane's end can still be read whole.
        ::SendMessageW(m_hWnd, SB_SETTIPTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    ::UpdateWindow(m_hWnd);
}

std::wstring StatusBar::GetPaneText(int index) const {
    if (index < 0 || index >= kPaneCount) {
        return std::wstring();
    }
    return m_texts[static_cast<std::size_t>(index)];
}

RECT StatusBar::GetItemRect(int index) const {
    RECT part{};
    if (index >= 0 && index < kPaneCount) {
        ::SendMessageW(m_hWnd, SB_GETRECT, static_cast<WPARAM>(PartOf(index)),
                       reinterpret_cast<LPARAM>(&part));
    }
    return part;
}

void StatusBar::ShowLockKeys(const platform::LockKeyLights& lights) {
    if (lights == m_lights) {
        return;
    }
    m_lights = lights;
    for (std::size_t i = 0; i < platform::kLockKeyCount; ++i) {
        SetPaneText(static_cast<int>(i + 1), lights[i] ? m_litTexts[i + 1] : std::wstring());
    }
}

void StatusBar::CreateProgress() {
    if (m_progress != nullptr) {
        return;
    }
    m_progress = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 0, 0, m_hWnd,
                                   ControlId(kProgressId), ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(m_progress, PBM_SETRANGE32, 0, 100);
    ::SendMessageW(m_progress, PBM_SETPOS, 0, 0);
    LayOutParts();
}

void StatusBar::ShowProgress(bool shown) {
    if (m_progress == nullptr || shown == m_progressShown) {
        return;
    }
    m_progressShown = shown;
    LayOutParts();
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void StatusBar::SetProgress(int percent) {
    if (m_progress != nullptr) {
        ::SendMessageW(m_progress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }
}

}  // namespace vekdc::win32
