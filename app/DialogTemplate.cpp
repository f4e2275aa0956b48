#include "app/DialogTemplate.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "app/UiMetrics.h"

namespace vekdc {

namespace {

QWidget* CreateControl(const DialogItem& item, const QString& text, QWidget* surface) {
    switch (item.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(text, surface);
            button->setAutoDefault(false);
            button->setDefault(item.kind == ControlKind::DefPushButton);
            button->setFocusPolicy(Qt::StrongFocus);
            return button;
        }
        case ControlKind::Static: {
            auto* label = new QLabel(text, surface);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case ControlKind::Icon: {
            auto* label = new QLabel(surface);
            label->setAlignment(Qt::AlignCenter);
            return label;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(text, surface);
            edit->setFocusPolicy(Qt::StrongFocus);
            return edit;
        }
        case ControlKind::ListBox: {
            auto* list = new QListWidget(surface);
            list->setFocusPolicy(Qt::StrongFocus);
            return list;
        }
        case ControlKind::Progress: {
            auto* progress = new QProgressBar(surface);
            progress->setTextVisible(false);
            return progress;
        }
    }
    return new QWidget(surface);
}

// What a control needs to show its text (or picture) whole; empty for none.
QSize NeededSize(const DialogItem& item, const QWidget* control) {
    switch (item.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton:
        case ControlKind::Static:
        case ControlKind::Icon:
            return control->sizeHint();
        case ControlKind::Edit:
            // The text runs on sideways; its line must fit in height.
            return QSize(0, control->minimumSizeHint().height());
        case ControlKind::ListBox:
        case ControlKind::Progress:
            break;
    }
    return QSize();
}

}  // namespace

DialogControls::DialogControls(const DialogTemplate& dialog, QWidget* surface)
    : m_template(dialog), m_surface(surface) {
    QWidget* previous = nullptr;
    for (const DialogItem& item : dialog.items) {
        const QString text = item.text != nullptr
                                 ? QCoreApplication::translate(dialog.context, item.text)
                                 : QString();
        QWidget* control = CreateControl(item, text, surface);
        control->setObjectName(item.name != nullptr ? QString::fromLatin1(item.name)
                                                    : QStringLiteral("IDC_%1").arg(item.id));
        if (control->focusPolicy() != Qt::NoFocus) {
            if (previous != nullptr) {
                QWidget::setTabOrder(previous, control);
            }
            previous = control;
        }
        m_controls.push_back(control);
    }
    surface->installEventFilter(this);
}

bool DialogControls::eventFilter(QObject* watched, QEvent* event) {
    // A new font: the dialog units change with it.
    if (watched == m_surface && event->type() == QEvent::FontChange) {
        LayOut();
    }
    return false;
}

QWidget* DialogControls::Item(int id) const {
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        if (m_template.items[i].id == id) {
            return m_controls[i];
        }
    }
    return nullptr;
}

QSize DialogControls::LayOut() const {
    const DialogBaseUnits base = BaseUnitsOf(m_surface->font(), m_surface);
    int templateRight = 0;
    int templateBottom = 0;
    int right = 0;
    int bottom = 0;
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        const DialogItem& item = m_template.items[i];
        const QRect units(item.x, item.y, item.cx, item.cy);
        QRect place = MapDialogRect(units, base);
        templateRight = std::max(templateRight, units.right() + 1);
        templateBottom = std::max(templateBottom, units.bottom() + 1);
        const QSize needed = NeededSize(item, m_controls[i]);
        place.setWidth(std::max(place.width(), needed.width()));
        place.setHeight(std::max(place.height(), needed.height()));
        m_controls[i]->setGeometry(place);
        right = std::max(right, place.right() + 1);
        bottom = std::max(bottom, place.bottom() + 1);
    }
    // The template's margins to the right of and below its controls.
    const QRect margins = MapDialogRect(
        QRect(0, 0, m_template.cx - templateRight, m_template.cy - templateBottom), base);
    const QRect whole = MapDialogRect(QRect(0, 0, m_template.cx, m_template.cy), base);
    const QSize size(std::max(whole.width(), right + std::max(0, margins.width())),
                     std::max(whole.height(), bottom + std::max(0, margins.height())));
    m_surface->setFixedSize(size);
    return size;
}

}  // namespace vekdc
