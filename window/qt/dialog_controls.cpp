#include "window/qt/dialog_controls.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>

#include "window/qt/fonts.h"

namespace vekdc {

namespace {

using desktop::control_kind;

QWidget* CreateControl(const desktop::dialog_item& item, const QString& text, QWidget* surface) {
    switch (item.kind) {
        case control_kind::push_button:
        case control_kind::def_push_button: {
            auto* button = new QPushButton(text, surface);
            button->setAutoDefault(false);
            button->setDefault(item.kind == control_kind::def_push_button);
            button->setFocusPolicy(Qt::StrongFocus);
            return button;
        }
        case control_kind::static_text: {
            auto* label = new QLabel(text, surface);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case control_kind::icon: {
            auto* label = new QLabel(surface);
            label->setAlignment(Qt::AlignCenter);
            return label;
        }
        case control_kind::edit: {
            auto* edit = new QLineEdit(text, surface);
            edit->setFocusPolicy(Qt::StrongFocus);
            return edit;
        }
        case control_kind::list_box: {
            auto* list = new QListView(surface);
            list->setFocusPolicy(Qt::StrongFocus);
            return list;
        }
        case control_kind::progress: {
            auto* progress = new QProgressBar(surface);
            progress->setTextVisible(false);
            return progress;
        }
    }
    return new QWidget(surface);
}

// What a control needs to show its text (or picture) whole; empty for none.
desktop::size NeededSize(const desktop::dialog_item& item, const QWidget* control) {
    switch (item.kind) {
        case control_kind::push_button:
        case control_kind::def_push_button:
        case control_kind::static_text:
        case control_kind::icon: {
            const QSize hint = control->sizeHint();
            return desktop::size{hint.width(), hint.height()};
        }
        case control_kind::edit:
            // The text runs on sideways; its line must fit in height.
            return desktop::size{0, control->minimumSizeHint().height()};
        case control_kind::list_box:
        case control_kind::progress:
            break;
    }
    return desktop::size{};
}

}  // namespace

DialogControls::DialogControls(const desktop::dialog_template& dialog, QWidget* surface)
    : m_template(dialog), m_surface(surface) {
    QWidget* previous = nullptr;
    for (const desktop::dialog_item& item : dialog.items) {
        QWidget* control =
            CreateControl(item, QString::fromStdString(desktop::item_text(item)), surface);
        control->setObjectName(QString::fromStdString(desktop::item_name(item)));
        if (const std::string name = desktop::item_accessible_name(item); !name.empty()) {
            control->setAccessibleName(QString::fromStdString(name));
        }
        control->setToolTip(QString::fromStdString(desktop::item_tip(item)));
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
    std::vector<desktop::size> needed;
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        needed.push_back(NeededSize(m_template.items[i], m_controls[i]));
    }
    const desktop::dialog_layout layout =
        desktop::lay_out(m_template, BaseUnitsOf(m_surface->font(), m_surface), needed);
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        m_controls[i]->setGeometry(ToQRect(layout.places[i]));
    }
    const QSize size(layout.surface.width, layout.surface.height);
    m_surface->setFixedSize(size);
    return size;
}

}  // namespace vekdc
