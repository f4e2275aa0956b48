// The main window: menu, accelerators, status bar and, as its client, a
// splitter with the drive tree on the left and the decode panel on the right.
// At start the tree takes the whole width and the panel waits, hidden, behind
// the splitter bar at the right edge; the window is large enough for the
// panel to show every control once it is revealed. Files dropped on the
// window, or given by a later `vekdc --add`, join the input list.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "desktop/document.h"
#include "desktop/window.h"
#include "platform/win32/metrics.h"
#include "window/win32/accessibility.h"
#include "window/win32/instance.h"
#include "window/win32/message_loop.h"
#include "window/win32/status_bar.h"
#include "window/win32/window_base.h"

namespace vekdc::win32 {

class CLeftView;
class CVekDCView;

class CMainFrame : public WindowBase, public desktop::frame_window, public MessageFilter {
public:
    // The window class, by which a later start finds the running window.
    static constexpr const wchar_t* kWindowClass = kMainWindowClass;

    explicit CMainFrame(desktop::CVekDCDoc& document);
    ~CMainFrame() override;

    // Creates the window, hidden, with its panes: the tree first, then the panel.
    bool Create();
    CLeftView& GetLeftView() const { return *m_pLeftView; }
    CVekDCView& GetDecodeView() const { return *m_pDecodeView; }
    StatusBar& GetStatusBar() { return m_wndStatusBar; }
    desktop::CVekDCDoc& GetActiveDocument() const { return m_document; }

    // The handler of a menu or accelerator command that the application owns.
    void SetCommandHandler(int id, std::function<void()> handler);
    void ShowMainWindow();

    // The splitter: the tree's width, the width tree and panel share, and a
    // new width for the tree, drawn at once.
    int TreeWidth() const;
    int SplitterWidth() const;
    void SetTreeWidth(int width);
    bool IsDecodePanelShown() const;
    void RevealDecodePanel();

    // Files given from outside (dropped, or forwarded by a later start).
    void AddToInputList(const std::vector<std::string>& paths);

    UINT Dpi() const { return m_dpi; }
    HFONT Font() const { return m_font.get(); }
    HACCEL Accelerators() const { return m_accelerators; }

    // desktop::frame_window
    void set_caption(const std::string& text) override;
    void set_status_text(const std::string& text) override;
    void announce(const std::string& text) override;
    void reveal_decode_panel() override { RevealDecodePanel(); }
    void set_document_commands_enabled(bool enabled) override { m_documentCommands = enabled; }
    void close_window() override;

    // MessageFilter: accelerators, the panel's dialog keys (Esc cancels a
    // run there), the lock keys' lights.
    bool PreTranslateMessage(MSG& message) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateMenuBar();
    void CreateAccelerators();
    // The fonts, pictures and places for the window's DPI (or a new system font).
    void ApplyDpi();
    void RecalcLayout();
    RECT SplitterBarRect() const;
    int SplitterBarWidth() const;
    // The size of the first window: the system's, or larger where the panel
    // needs it to show every control.
    void SetInitialSize();
    void OnCommand(int id);
    void OnKeyDown(WPARAM virtualKey, LPARAM keyData);
    void ActivatePane(int step);
    void OnDropFiles(HDROP drop);
    bool OnCopyData(const COPYDATASTRUCT& data);
    bool OnSplitterMouse(UINT message, LPARAM lParam);
    void OnActivate(bool active);

    desktop::CVekDCDoc& m_document;
    std::unique_ptr<CLeftView> m_pLeftView;
    std::unique_ptr<CVekDCView> m_pDecodeView;
    StatusBar m_wndStatusBar;
    Announcer m_announcer;
    HACCEL m_accelerators = nullptr;
    std::map<int, std::function<void()>> m_handlers;
    UINT m_dpi = platform::win32::kBaseDpi;
    platform::win32::Font m_font;
    int m_treeWidth = 0;
    bool m_panelCollapsed = true;  // the tree fills the splitter
    bool m_dragging = false;
    int m_dragOffset = 0;
    bool m_documentCommands = true;
    HWND m_lastFocus = nullptr;  // the control that had the focus when the window was left
};

}  // namespace vekdc::win32
