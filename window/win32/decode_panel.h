// The decode panel: the right-hand pane with the output folder, the input
// file list, the key file and the decode button, real Windows controls at
// the places of the core's form (dialog units of the system's message font),
// on a surface that scrolls when the pane is smaller. What the buttons do is
// the core's (desktop::decode_panel); during a run this pane keeps the window
// alive until the worker has finished.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "desktop/decode_panel.h"
#include "desktop/window.h"
#include "window/win32/dialog_controls.h"
#include "window/win32/window_base.h"

namespace vekdc::win32 {

class CMainFrame;

class CVekDCView : public WindowBase, public desktop::decode_pane {
public:
    static constexpr int kPanelId = 59649;  // the splitter's second pane

    CVekDCView(desktop::CVekDCDoc& document, CMainFrame& frame);
    ~CVekDCView() override;

    void Create(HWND parent);
    desktop::decode_panel& Core() { return m_panel; }
    void OnInitialUpdate() { m_panel.OnInitialUpdate(); }
    // The controls' font for the window's DPI: the form is laid out again.
    void SetDpi(UINT dpi, HFONT font);
    // The form's size in pixels: what the pane needs to show every control.
    SIZE FormSize() const { return m_formSize; }
    HWND GetDlgItem(int id) const;
    // The tooltips of the buttons and of the list's entries.
    HWND GetToolTips() const { return m_dialog->Tips(); }
    HWND Form() const;

    int StartDecode();
    void CancelDecode() { m_panel.CancelDecode(); }
    void CloseAfterRun() { m_panel.CloseAfterRun(); }
    // Files given by the desktop (dropped, or named with --add); the number ignored.
    std::size_t AddLocalPaths(const std::vector<std::string>& paths);
    // How often the bars follow a run, in milliseconds.
    void SetRefreshInterval(UINT milliseconds) { m_refreshIntervalMs = milliseconds; }
    // The bars and the count of the active run as they are now.
    void RefreshRunProgress();

    // The panel's dialog keys (Tab, Return, Esc) for a message to one of its controls.
    bool PreTranslateMessage(MSG& message);
    // Notes the panel's control that has the focus, when the focus leaves
    // the pane (F6, another window).
    void RememberFocus();
    // The control that takes the focus when the pane is entered (F6): the
    // one that had it last, else the first.
    HWND FocusTarget() const;

    // desktop::decode_pane
    std::string output_folder() const override;
    void set_output_folder(const std::string& folder) override;
    void show_key_path(const std::string& path) override;
    std::vector<std::size_t> selected_entries() const override;
    void set_panel_colour(desktop::rgb colour) override;
    void set_progress(int percent) override;
    void set_running(bool running) override;
    void wait_for_run(desktop::decode_run& run) override;
    void entry_inserted(std::size_t index) override;
    void entry_removed(std::size_t index) override;
    void list_cleared() override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    class Surface;
    friend class Surface;

    LRESULT SurfaceProc(HWND surface, UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    LRESULT OnControlColour(HDC dc, HWND control);
    // The background of the pane or its surface in the panel's colour.
    LRESULT PaintPanelColour(HWND window, HDC dc) const;
    LRESULT OnNotify(const NMHDR& header);
    // Places the form in the pane at the scroll bars' positions.
    void UpdateScrolling();
    void OnScroll(int bar, int request);
    void MeasureListEntry(const std::wstring& label);
    static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);

    desktop::decode_panel m_panel;
    CMainFrame& m_frame;
    std::unique_ptr<Surface> m_surface;
    std::unique_ptr<DialogControls> m_dialog;
    SIZE m_formSize{};
    HFONT m_font = nullptr;
    UINT m_dpi = USER_DEFAULT_SCREEN_DPI;
    HBRUSH m_brush = nullptr;
    desktop::rgb m_colour{};
    HWND m_fileList = nullptr;
    HWND m_progress = nullptr;
    HWND m_outDir = nullptr;
    HWND m_keyPath = nullptr;
    HWND m_decode = nullptr;
    HWND m_cancel = nullptr;
    // The widest entry of the list: the list's column width.
    int m_columnWidth = 0;
    int m_hoveredEntry = -1;  // the entry under the mouse, whose path the tip shows
    std::wstring m_tipText;
    HWND m_runStartedFrom = nullptr;  // where the focus goes back after a run
    HWND m_lastFocus = nullptr;       // the panel's control that had the focus last
    desktop::decode_run* m_waitingFor = nullptr;
    UINT m_refreshIntervalMs = 100;  // about ten repaints a second, not one per file
};

}  // namespace vekdc::win32
