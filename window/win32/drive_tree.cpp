#include "window/win32/drive_tree.h"

#include <algorithm>
#include <cstring>

#include "platform/win32/metrics.h"
#include "platform/win32/text.h"
#include "window/win32/main_window.h"
#include "window/win32/resource_ids.h"
#include "window/win32/status_bar.h"
#include "window/win32/window_base.h"

namespace vekdc::win32 {

namespace {

using desktop::kNoNode;
using desktop::node_id;

// The pictures of the image list, in the order of tree_pane::image.
constexpr int kImageIcons[] = {IDI_DRIVE,           IDI_DRIVE_SELECTED,     IDI_FOLDER,
                               IDI_FOLDER_SELECTED, IDI_ENCRYPTED,          IDI_ENCRYPTED_SELECTED,
                               IDI_REMOVABLE,       IDI_REMOVABLE_SELECTED, IDI_CDROM,
                               IDI_CDROM_SELECTED};

// The tree's pictures at 96 DPI, and the room kept right of the longest name.
constexpr int kImagePixels = 16;
constexpr int kNameMargin = 8;

constexpr UINT_PTR kSubclassId = 1;

// The tree's own keys, handled before the control handles them as usual.
struct KeyCommand {
    WORD key;
    desktop::drive_tree::key command;
};
constexpr KeyCommand kKeys[] = {
    {VK_RETURN, desktop::drive_tree::key::enter},
    {VK_SPACE, desktop::drive_tree::key::space},
    {VK_F2, desktop::drive_tree::key::f2},
    {VK_F5, desktop::drive_tree::key::f5},
};

}  // namespace

CLeftView::CLeftView(desktop::CVekDCDoc& document, CMainFrame& frame)
    : m_tree(document, *this), m_frame(frame) {}

CLeftView::~CLeftView() {
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd) != 0) {
        ::RemoveWindowSubclass(m_hWnd, TreeProc, kSubclassId);
    }
    if (m_imageList != nullptr) {
        ::ImageList_Destroy(m_imageList);
    }
}

void CLeftView::Create(HWND parent) {
    m_hWnd = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
                                   TVS_LINESATROOT | TVS_EDITLABELS | TVS_SHOWSELALWAYS,
                               0, 0, 0, 0, parent, ControlId(kTreeId), ::GetModuleHandleW(nullptr),
                               nullptr);
    ::SetWindowSubclass(m_hWnd, TreeProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void CLeftView::SetDpi(UINT dpi, HFONT font) {
    m_dpi = dpi;
    const int pixels = platform::win32::scale_to_dpi(kImagePixels, dpi);
    const HIMAGELIST images = ::ImageList_Create(pixels, pixels, ILC_COLOR32 | ILC_MASK,
                                                 static_cast<int>(std::size(kImageIcons)), 16);
    for (const int icon : kImageIcons) {
        const auto picture =
            static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(icon),
                                            IMAGE_ICON, pixels, pixels, LR_DEFAULTCOLOR));
        ::ImageList_AddIcon(images, picture);
        ::DestroyIcon(picture);
    }
    ::SendMessageW(m_hWnd, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    if (m_imageList != nullptr) {
        ::ImageList_Destroy(m_imageList);
    }
    m_imageList = images;
    ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

node_id CLeftView::NodeOf(HTREEITEM item) const {
    if (item == nullptr) {
        return kNoNode;
    }
    TVITEMW data{};
    data.mask = TVIF_PARAM | TVIF_HANDLE;
    data.hItem = item;
    if (::SendMessageW(m_hWnd, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data)) == 0) {
        return kNoNode;
    }
    return static_cast<node_id>(data.lParam);
}

HTREEITEM CLeftView::ItemOf(node_id id) const {
    return id < m_items.size() ? m_items[id] : nullptr;
}

HTREEITEM CLeftView::GetSelectedItem() const {
    return reinterpret_cast<HTREEITEM>(::SendMessageW(m_hWnd, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

RECT CLeftView::GetItemTextRect(HTREEITEM item) const {
    RECT label{};
    if (item == nullptr) {
        return label;
    }
    // TVM_GETITEMRECT takes the item in the rectangle it fills.
    static_assert(sizeof(RECT) >= sizeof(HTREEITEM));
    std::memcpy(&label, &item, sizeof item);
    if (::SendMessageW(m_hWnd, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&label)) == 0) {
        return RECT{};
    }
    return label;
}

void CLeftView::node_inserted(node_id id) {
    const desktop::tree_node& node = m_tree.node(id);
    const std::wstring label = platform::win32::widen(node.label);
    TVINSERTSTRUCTW insert{};
    const HTREEITEM parent = ItemOf(node.parent);
    insert.hParent = parent != nullptr ? parent : TVI_ROOT;
    // The model appends each node to its parent's children, in its order.
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<LPWSTR>(label.c_str());
    insert.item.iImage = node.image;
    insert.item.iSelectedImage = node.selected_image;
    insert.item.lParam = static_cast<LPARAM>(id);
    const auto item = reinterpret_cast<HTREEITEM>(
        ::SendMessageW(m_hWnd, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (m_items.size() <= id) {
        m_items.resize(id + 1, nullptr);
    }
    m_items[id] = item;
}

void CLeftView::node_removed(node_id id) {
    const HTREEITEM item = ItemOf(id);
    const bool wasSelected = item != nullptr && item == GetSelectedItem();
    m_changing = true;
    ::SendMessageW(m_hWnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
    m_changing = false;
    m_items[id] = nullptr;
    // The control moved the selection elsewhere.
    if (wasSelected) {
        SelectionChanged();
    }
}

void CLeftView::tree_cleared() {
    m_changing = true;
    ::SendMessageW(m_hWnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    m_changing = false;
    m_items.clear();
}

void CLeftView::expand_node(node_id id) {
    if (const HTREEITEM item = ItemOf(id)) {
        ::SendMessageW(m_hWnd, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    }
}

void CLeftView::set_colours(desktop::COLORREF back, desktop::COLORREF text) {
    // kDefaultColour (-1) is the control's own "system colour".
    ::SendMessageW(m_hWnd, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(back));
    ::SendMessageW(m_hWnd, TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(text));
}

void CLeftView::show_status_progress() {
    m_frame.GetStatusBar().CreateProgress();
}

void CLeftView::set_status_progress(int percent) {
    m_frame.GetStatusBar().SetProgress(percent);
}

int CLeftView::tree_width() const {
    return m_frame.TreeWidth();
}

int CLeftView::pane_width() const {
    return m_frame.SplitterWidth();
}

int CLeftView::narrow_width() const {
    // The right end of the longest name among the items the tree shows.
    int right = 0;
    for (auto item =
             reinterpret_cast<HTREEITEM>(::SendMessageW(m_hWnd, TVM_GETNEXTITEM, TVGN_ROOT, 0));
         item != nullptr;
         item = reinterpret_cast<HTREEITEM>(::SendMessageW(
             m_hWnd, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(item)))) {
        right = std::max(right, static_cast<int>(GetItemTextRect(item).right));
    }
    RECT client{};
    RECT window{};
    ::GetClientRect(m_hWnd, &client);
    ::GetWindowRect(m_hWnd, &window);
    // The frame of the control and a scroll bar beside the names; never
    // narrower than the narrow width at the window's DPI.
    const int around = (window.right - window.left) - client.right;
    return std::max(platform::win32::scale_to_dpi(desktop::drive_tree::kNarrowWidth, m_dpi),
                    right + around + ::GetSystemMetricsForDpi(SM_CXVSCROLL, m_dpi) +
                        platform::win32::scale_to_dpi(kNameMargin, m_dpi));
}

void CLeftView::set_tree_width(int width) {
    m_frame.SetTreeWidth(width);
}

void CLeftView::set_running(bool running) {
    ::EnableWindow(m_hWnd, running ? FALSE : TRUE);
    m_frame.GetStatusBar().ShowProgress(running);
}

void CLeftView::SelectionChanged() {
    m_tree.OnSelChanged(NodeOf(GetSelectedItem()));
}

LRESULT CLeftView::OnNotify(const NMHDR& header) {
    switch (header.code) {
        case TVN_ITEMEXPANDEDW:
            // Expanded or collapsed, the folder behind the item is listed once.
            m_tree.OnItemExpanded(
                NodeOf(reinterpret_cast<const NMTREEVIEWW&>(header).itemNew.hItem));
            return 0;
        case TVN_SELCHANGEDW:
            if (!m_changing) {
                m_tree.OnSelChanged(
                    NodeOf(reinterpret_cast<const NMTREEVIEWW&>(header).itemNew.hItem));
            }
            return 0;
        case TVN_BEGINLABELEDITW:
            return FALSE;  // editing may begin
        case TVN_ENDLABELEDITW:
            return FALSE;  // but no edit is ever taken over
        case TVN_KEYDOWN: {
            const WORD key = reinterpret_cast<const NMTVKEYDOWN&>(header).wVKey;
            for (const KeyCommand& entry : kKeys) {
                if (entry.key == key) {
                    m_tree.OnKeyDown(entry.command);
                }
            }
            // The control then handles the key as usual.
            return 0;
        }
        default:
            return 0;
    }
}

void CLeftView::OnRButtonDblClk(POINT point) {
    // Only a double-click on the selected item's label counts; its edges are inside.
    const RECT label = GetItemTextRect(GetSelectedItem());
    const bool onLabel = label.right > label.left && point.x >= label.left &&
                         point.x <= label.right && point.y >= label.top && point.y <= label.bottom;
    m_tree.OnRButtonDblClk(onLabel);
}

LRESULT CALLBACK CLeftView::TreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR /*id*/, DWORD_PTR self) {
    if (message == WM_RBUTTONDBLCLK) {
        reinterpret_cast<CLeftView*>(self)->OnRButtonDblClk(
            POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace vekdc::win32
