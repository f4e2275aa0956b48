// The drive tree: the left pane, a tree-view control showing the core's tree
// model (desktop::drive_tree) one level at a time, with the pictures of its
// image list, lines and buttons, and passing expansion, selection, the
// tree's keys and the right double-click on to the model.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "desktop/drive_tree.h"
#include "desktop/window.h"

namespace vekdc::win32 {

class CMainFrame;

class CLeftView : public desktop::tree_pane {
public:
    // The splitter's first pane.
    static constexpr int kTreeId = 59648;

    CLeftView(desktop::CVekDCDoc& document, CMainFrame& frame);
    ~CLeftView() override;
    CLeftView(const CLeftView&) = delete;
    CLeftView& operator=(const CLeftView&) = delete;

    void Create(HWND parent);
    HWND GetSafeHwnd() const { return m_hWnd; }
    desktop::drive_tree& Core() { return m_tree; }
    void OnInitialUpdate() { m_tree.OnInitialUpdate(); }
    // The pictures and the font for the window's DPI.
    void SetDpi(UINT dpi, HFONT font);

    // The tree control's notifications, from its parent.
    LRESULT OnNotify(const NMHDR& header);

    desktop::node_id NodeOf(HTREEITEM item) const;
    HTREEITEM ItemOf(desktop::node_id id) const;
    HTREEITEM GetSelectedItem() const;
    // The rectangle of an item's label, in the control's client coordinates;
    // empty when the item is not shown.
    RECT GetItemTextRect(HTREEITEM item) const;

    // desktop::tree_pane
    void node_inserted(desktop::node_id id) override;
    void node_removed(desktop::node_id id) override;
    void tree_cleared() override;
    void expand_node(desktop::node_id id) override;
    void set_colours(desktop::COLORREF back, desktop::COLORREF text) override;
    void show_status_progress() override;
    void set_status_progress(int percent) override;
    int tree_width() const override;
    int pane_width() const override;
    int narrow_width() const override;
    void set_tree_width(int width) override;
    void set_running(bool running) override;

private:
    static LRESULT CALLBACK TreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    void OnRButtonDblClk(POINT point);
    // The model hears of the selection the control has now.
    void SelectionChanged();

    desktop::drive_tree m_tree;
    CMainFrame& m_frame;
    HWND m_hWnd = nullptr;
    HIMAGELIST m_imageList = nullptr;
    UINT m_dpi = USER_DEFAULT_SCREEN_DPI;
    std::vector<HTREEITEM> m_items;  // by node
    // While the model changes the control, the control's own selection
    // notifications are not passed on.
    bool m_changing = false;
};

}  // namespace vekdc::win32
