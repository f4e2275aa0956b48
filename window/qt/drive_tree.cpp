#include "window/qt/drive_tree.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QProgressBar>
#include <QProxyStyle>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <memory>

#include "desktop/document.h"
#include "window/qt/focus_style.h"
#include "window/qt/main_window.h"
#include "window/qt/texts.h"

namespace vekdc {

namespace {

using desktop::kNoNode;
using desktop::node_id;

// The pictures of the image list, in index order.
const char* const kImageFiles[] = {":/tree/drive.png",     ":/tree/drive_selected.png",
                                   ":/tree/folder.png",    ":/tree/folder_selected.png",
                                   ":/tree/encrypted.png", ":/tree/encrypted_selected.png",
                                   ":/tree/removable.png", ":/tree/removable_selected.png",
                                   ":/tree/cdrom.png",     ":/tree/cdrom_selected.png"};

// The tree's connecting lines and expand buttons as the original platform's
// tree control draws them (dotted lines, boxed plus and minus); everything
// else in the style of the application.
class TreeLineStyle : public FocusStyle {
public:
    TreeLineStyle() : m_lines(QStyleFactory::create(QStringLiteral("Windows"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_IndicatorBranch && m_lines) {
            m_lines->drawPrimitive(element, option, painter, widget);
            return;
        }
        FocusStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    std::unique_ptr<QStyle> m_lines;
};

// Labels can be edited, but no edit is ever taken over.
class LabelEditDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void setModelData(QWidget* /*editor*/, QAbstractItemModel* /*model*/,
                      const QModelIndex& /*index*/) const override {}
};

// The tree's own keys, handled before the control handles them as usual.
struct KeyCommand {
    int key;
    desktop::drive_tree::key command;
};
constexpr KeyCommand kKeys[] = {
    {Qt::Key_Return, desktop::drive_tree::key::enter},
    {Qt::Key_Enter, desktop::drive_tree::key::enter},
    {Qt::Key_Space, desktop::drive_tree::key::space},
    {Qt::Key_F2, desktop::drive_tree::key::f2},
    {Qt::Key_F5, desktop::drive_tree::key::f5},
};

QColor ColourOr(desktop::COLORREF value, const QColor& system) {
    if (value == desktop::kDefaultColour) {
        return system;
    }
    const desktop::rgb colour = desktop::rgb_of(value);
    return QColor(colour.red, colour.green, colour.blue);
}

}  // namespace

CLeftView::CLeftView(desktop::CVekDCDoc* document, QWidget* parent)
    : QTreeWidget(parent), m_tree(*document, *this) {
    setObjectName(QStringLiteral("CLeftView"));
    for (const char* file : kImageFiles) {
        m_imageList.emplace_back(QString::fromLatin1(file));
    }
    setColumnCount(1);
    setAccessibleName(Text(desktop::text_id::tree_name));
    // The header is hidden, but a screen reader reads its label.
    setHeaderLabel(Text(desktop::text_id::tree_name));
    setHeaderHidden(true);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setItemDelegate(new LabelEditDelegate(this));
    setFrameShape(QFrame::Box);
    auto* lines = new TreeLineStyle;
    lines->setParent(this);
    setStyle(lines);

    connect(this, &QTreeWidget::itemExpanded, this, &CLeftView::OnItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &CLeftView::OnItemExpanded);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CLeftView::OnSelChanged);
}

CMainFrame* CLeftView::GetParentFrame() const {
    return qobject_cast<CMainFrame*>(window());
}

node_id CLeftView::NodeOf(const QTreeWidgetItem* item) const {
    return item == nullptr ? kNoNode : item->data(0, kNodeRole).value<node_id>();
}

QTreeWidgetItem* CLeftView::ItemOf(node_id id) const {
    return id < m_items.size() ? m_items[id] : nullptr;
}

QByteArray CLeftView::GetItemLocalPath(QTreeWidgetItem* item) const {
    return QByteArray::fromStdString(m_tree.GetItemPath(NodeOf(item)));
}

QTreeWidgetItem* CLeftView::GetSelectedItem() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void CLeftView::node_inserted(node_id id) {
    const desktop::tree_node& node = m_tree.node(id);
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(node.label)});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    item->setData(0, kNodeRole, QVariant::fromValue(id));
    item->setData(0, kImageRole, node.image);
    item->setData(0, kSelectedImageRole, node.selected_image);
    QIcon icon;
    icon.addPixmap(m_imageList[static_cast<std::size_t>(node.image)], QIcon::Normal);
    icon.addPixmap(m_imageList[static_cast<std::size_t>(node.selected_image)], QIcon::Selected);
    item->setIcon(0, icon);
    if (m_items.size() <= id) {
        m_items.resize(id + 1, nullptr);
    }
    m_items[id] = item;
    // The model appends each node to its parent's children.
    if (QTreeWidgetItem* parent = ItemOf(node.parent)) {
        parent->addChild(item);
    } else {
        addTopLevelItem(item);
    }
}

void CLeftView::node_removed(node_id id) {
    delete ItemOf(id);
    m_items[id] = nullptr;
}

void CLeftView::tree_cleared() {
    clear();
    m_items.clear();
}

void CLeftView::expand_node(node_id id) {
    if (QTreeWidgetItem* item = ItemOf(id)) {
        item->setExpanded(true);
    }
}

void CLeftView::set_colours(desktop::COLORREF back, desktop::COLORREF text) {
    QPalette palette = this->palette();
    const QPalette system = QApplication::palette(this);
    palette.setColor(QPalette::Base, ColourOr(back, system.color(QPalette::Base)));
    palette.setColor(QPalette::Text, ColourOr(text, system.color(QPalette::Text)));
    setPalette(palette);
    ShowSelectionFocus();
}

void CLeftView::ShowSelectionFocus() {
    // The system's selection colours while the tree has the focus; without
    // it a grey selection, its text black or white as the grey needs.
    const QPalette system = QApplication::palette(this);
    QPalette palette = this->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        QColor highlight = system.color(group, QPalette::Highlight);
        QColor highlighted = system.color(group, QPalette::HighlightedText);
        if (!hasFocus()) {
            highlight = system.color(group, QPalette::Mid);
            highlighted = FocusStyle::OutlineColour(highlight);
        }
        palette.setColor(group, QPalette::Highlight, highlight);
        palette.setColor(group, QPalette::HighlightedText, highlighted);
    }
    setPalette(palette);
}

void CLeftView::focusInEvent(QFocusEvent* event) {
    QTreeWidget::focusInEvent(event);
    ShowSelectionFocus();
}

void CLeftView::focusOutEvent(QFocusEvent* event) {
    QTreeWidget::focusOutEvent(event);
    ShowSelectionFocus();
}

void CLeftView::show_status_progress() {
    CMainFrame* frame = GetParentFrame();
    if (frame == nullptr) {
        return;
    }
    m_statusProgress = new QProgressBar(frame->m_wndStatusBar);
    m_statusProgress->setObjectName(QStringLiteral("StatusProgress"));
    m_statusProgress->setAccessibleName(Text(desktop::text_id::progress_name));
    m_statusProgress->setTextVisible(false);
    m_statusProgress->setRange(0, 100);
    m_statusProgress->setValue(0);
    frame->AttachStatusProgress(m_statusProgress);
}

void CLeftView::set_status_progress(int percent) {
    if (m_statusProgress != nullptr) {
        m_statusProgress->setValue(percent);
    }
}

int CLeftView::tree_width() const {
    const CMainFrame* frame = GetParentFrame();
    return frame != nullptr ? frame->m_wndSplitter->sizes().value(0) : width();
}

int CLeftView::pane_width() const {
    const CMainFrame* frame = GetParentFrame();
    return frame != nullptr ? frame->m_wndSplitter->width() : width();
}

int CLeftView::narrow_width() const {
    // The labels the tree shows, whole, beside its scroll bar.
    const int bar = verticalScrollBar()->isVisible() ? verticalScrollBar()->width() : 0;
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return sizeHintForColumn(0) + 2 * (frameWidth() + margin) + bar;
}

void CLeftView::set_tree_width(int width) {
    CMainFrame* frame = GetParentFrame();
    if (frame == nullptr) {
        return;
    }
    QSplitter* splitter = frame->m_wndSplitter;
    splitter->setSizes({width, std::max(0, splitter->width() - width - splitter->handleWidth())});
    splitter->repaint();
}

void CLeftView::set_running(bool running) {
    setEnabled(!running);
    if (CMainFrame* frame = GetParentFrame()) {
        frame->ShowStatusProgressBar(running);
    }
}

void CLeftView::OnItemExpanded(QTreeWidgetItem* item) {
    m_tree.OnItemExpanded(NodeOf(item));
}

void CLeftView::OnSelChanged() {
    m_tree.OnSelChanged(NodeOf(GetSelectedItem()));
}

void CLeftView::keyPressEvent(QKeyEvent* event) {
    // Keys that end a label edit (Enter, Esc) come up from the editor; they
    // are no commands of the tree.
    if (state() != QAbstractItemView::EditingState) {
        for (const KeyCommand& entry : kKeys) {
            if (entry.key == event->key()) {
                m_tree.OnKeyDown(entry.command);
            }
        }
    }
    // The control then handles the key as usual (selection, type-ahead search).
    QTreeWidget::keyPressEvent(event);
}

void CLeftView::mousePressEvent(QMouseEvent* event) {
    // A right click does not change the selection.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void CLeftView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        // Only a double-click on the selected item's label counts; edges are inside.
        const QRect label = GetItemTextRect(GetSelectedItem());
        const QPoint point = event->position().toPoint();
        const bool onLabel = !label.isEmpty() && point.x() >= label.left() &&
                             point.x() <= label.right() && point.y() >= label.top() &&
                             point.y() <= label.bottom();
        m_tree.OnRButtonDblClk(onLabel);
        event->accept();
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

QRect CLeftView::GetItemTextRect(QTreeWidgetItem* item) const {
    const QRect cell = visualItemRect(item);
    if (item == nullptr || cell.isEmpty()) {
        return QRect();
    }
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = cell;
    option.text = item->text(0);
    option.icon = item->icon(0);
    option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
    option.decorationSize = iconSize();
    const QRect textArea = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    // The text itself with the margins the style draws around it.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int width = fontMetrics().horizontalAdvance(item->text(0)) + 2 * margin;
    return QRect(textArea.left(), cell.top(), std::min(width, textArea.width()), cell.height());
}

}  // namespace vekdc
