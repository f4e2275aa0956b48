// The main window's status bar: the message pane, then the lights of the
// lock keys (kana, caps, num, scroll), each showing its text only while its
// lock is on; while a decode runs, the run's progress bar stands between the
// message pane and the lights.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "platform/lock_keys.h"

namespace vekdc::win32 {

class StatusBar {
public:
    static constexpr int kStatusBarId = 59393;
    static constexpr int kProgressId = 1;
    // The message pane and the four lights.
    static constexpr int kPaneCount = 1 + static_cast<int>(platform::kLockKeyCount);

    void Create(HWND frame);
    HWND GetSafeHwnd() const { return m_hWnd; }
    // A new font or DPI: the panes are measured again.
    void SetFont(HFONT font, UINT dpi);
    // The frame changed its size: the bar follows its bottom edge.
    void Resize();
    int Height() const;

    // Pane 0 is the message pane, 1 to 4 the lights; drawn at once.
    void SetPaneText(int index, const std::wstring& text);
    std::wstring GetPaneText(int index) const;
    RECT GetItemRect(int index) const;
    void ShowLockKeys(const platform::LockKeyLights& lights);

    // The run's progress bar, made at the first decode request.
    void CreateProgress();
    HWND Progress() const { return m_progress; }
    void ShowProgress(bool shown);
    void SetProgress(int percent);

private:
    // The status bar's part of a pane.
    int PartOf(int index) const;
    void LayOutParts();

    HWND m_hWnd = nullptr;
    UINT m_dpi = USER_DEFAULT_SCREEN_DPI;
    HWND m_progress = nullptr;
    bool m_progressShown = false;
    std::array<std::wstring, kPaneCount> m_texts;
    std::array<std::wstring, kPaneCount> m_litTexts;  // the lights' texts when on
    platform::LockKeyLights m_lights{};
};

}  // namespace vekdc::win32
