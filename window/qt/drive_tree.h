// The drive tree: the left pane, showing the core's tree model
// (desktop::drive_tree) one level at a time, and passing expansion,
// selection, the tree's keys and the right double-click on to it.
#pragma once

#include <QPixmap>
#include <QTreeWidget>
#include <vector>

#include "desktop/drive_tree.h"
#include "desktop/window.h"

class QProgressBar;

namespace vekdc {

class CMainFrame;

class CLeftView : public QTreeWidget, public desktop::tree_pane {
    Q_OBJECT

public:
    // Item data: the model's node, and for tests what the model says of it.
    static constexpr int kNodeRole = Qt::UserRole;
    static constexpr int kImageRole = Qt::UserRole + 2;
    static constexpr int kSelectedImageRole = Qt::UserRole + 3;

    explicit CLeftView(desktop::CVekDCDoc* document, QWidget* parent = nullptr);

    desktop::drive_tree& Core() { return m_tree; }
    CMainFrame* GetParentFrame() const;

    void OnInitialUpdate() { m_tree.OnInitialUpdate(); }
    // The model's node of an item, and its path as the file system's bytes.
    desktop::node_id NodeOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* ItemOf(desktop::node_id id) const;
    QByteArray GetItemLocalPath(QTreeWidgetItem* item) const;
    QTreeWidgetItem* GetSelectedItem() const;
    // The rectangle of an item's label text, in viewport coordinates.
    QRect GetItemTextRect(QTreeWidgetItem* item) const;
    // Lists the folder behind an item, once (as expanding it does).
    void FillChildren(QTreeWidgetItem* item) { m_tree.FillChildren(NodeOf(item)); }
    void DecodeSelection() { m_tree.DecodeSelection(); }
    void ShowStatusProgress() { m_tree.ShowStatusProgress(); }

    // The progress bar in the status bar, made at the first decode request.
    QProgressBar* m_statusProgress = nullptr;
    std::vector<QPixmap> m_imageList;

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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnSelChanged();
    // The selection looks different with and without the focus.
    void ShowSelectionFocus();

    desktop::drive_tree m_tree;
    std::vector<QTreeWidgetItem*> m_items;  // by node
};

}  // namespace vekdc
