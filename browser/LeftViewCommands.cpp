// The tree's commands for the decode panel: Enter, Space, F2 and F5, the
// right double-click on the selected label, the folder decode and the width
// toggle of the tree pane.
#include <QKeyEvent>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QThread>

#include "app/VekDCDoc.h"
#include "app/VekDCView.h"
#include "browser/LeftView.h"
#include "browser/MainFrm.h"
#include "platform/language.h"
#include "platform/services.h"

namespace vekdc {

void CLeftView::keyPressEvent(QKeyEvent* event) {
    // Keys that end a label edit (Enter, Esc) come up from the editor; they
    // are no commands of the tree.
    if (state() != QAbstractItemView::EditingState) {
        OnKeyDown(event->key());
    }
    // The control then handles the key as usual (selection, type-ahead search).
    QTreeWidget::keyPressEvent(event);
}

void CLeftView::OnKeyDown(int key) {
    struct KeyCommand {
        int key;
        void (CLeftView::*command)();
    };
    // clang-format off
    static constexpr KeyCommand kKeys[] = {
        // key              command
        {Qt::Key_Return, &CLeftView::DecodeSelection},
        {Qt::Key_Enter,  &CLeftView::DecodeSelection},
        {Qt::Key_Space,  &CLeftView::AddSelectionToList},
        {Qt::Key_F2,     &CLeftView::ToggleTreeWidth},
        {Qt::Key_F5,     &CLeftView::StartPanelDecode},
    };
    // clang-format on
    for (const KeyCommand& entry : kKeys) {
        if (entry.key == key) {
            (this->*entry.command)();
            return;
        }
    }
}

void CLeftView::AddSelectionToList() {
    AddEncryptedToList(GetSelectedItem());
}

void CLeftView::StartPanelDecode() {
    if (m_pDocument->m_pDecodeView != nullptr) {
        m_pDocument->m_pDecodeView->StartDecode();
    }
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
        OnRButtonDblClk(event->modifiers(), event->position().toPoint());
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

void CLeftView::OnRButtonDblClk(Qt::KeyboardModifiers /*flags*/, const QPoint& point) {
    if (m_pDocument->m_bDecoding != 0) {
        platform::services().message_box(tr("現在、デコード実行中です。").toStdString(),
                                         platform::notice(platform::kDecoderCaption),
                                         platform::Buttons::Ok, platform::Icon::Information);
        return;
    }
    QTreeWidgetItem* item = GetSelectedItem();
    if (item == nullptr) {
        return;
    }
    // Only a double-click on the selected item's label counts; edges are inside.
    const QRect label = GetItemTextRect(item);
    if (point.x() < label.left() || point.x() > label.right() || point.y() < label.top() ||
        point.y() > label.bottom()) {
        return;
    }
    QString path;
    GetItemPath(item, path);
    if (IsEncryptedPath(path)) {
        DecodeSelection();
        return;
    }
    const QString question = tr("[%1]以下を\nすべてデコードしますか？").arg(path);
    if (platform::services().message_box(question.toStdString(), platform::kAppTitle,
                                         platform::Buttons::YesNo,
                                         platform::Icon::Question) == platform::Answer::Yes) {
        DecodeSelection();
    }
}

void CLeftView::DecodeSelection() {
    CVekDCView* panel = m_pDocument->m_pDecodeView;
    QTreeWidgetItem* item = GetSelectedItem();
    AddEncryptedToList(item);
    if (item == nullptr) {
        platform::app_message("NULL ");
    } else {
        // Expanding lists the folder (once); only its direct children are collected.
        item->setExpanded(true);
        FillChildren(item);
        for (int i = 0; i < item->childCount(); ++i) {
            AddEncryptedToList(item->child(i));
        }
    }
    if (panel != nullptr) {
        panel->StartDecode();
    }
}

void CLeftView::ToggleTreeWidth() {
    CMainFrame* frame = GetParentFrame();
    if (frame == nullptr) {
        return;
    }
    QSplitter* splitter = frame->m_wndSplitter;
    int current = splitter->sizes().value(0);
    const int total = splitter->width();
    const int handle = splitter->handleWidth();
    auto setWidth = [&] {
        splitter->setSizes({current, std::max(0, total - current - handle)});
        splitter->repaint();
        QThread::msleep(kStepPauseMs);
    };
    if (total > current + kWidenThreshold) {
        while (current < total) {
            current += kWidthStep;
            setWidth();
        }
    } else {
        while (current > kNarrowWidth) {
            current -= kWidthStep;
            setWidth();
        }
    }
}

}  // namespace vekdc
