// The controls of a core dialog template (desktop/dialogs.h) as Qt widgets on
// a surface, in template order (which is also the tab order). They are
// placed again whenever the surface's font changes.
#pragma once

#include <QObject>
#include <QRect>
#include <QSize>
#include <vector>

#include "desktop/dialogs.h"

class QWidget;

namespace vekdc {

using desktop::IDC_STATIC;

class DialogControls : public QObject {
public:
    // Creates one widget per item as children of `surface` and chains the tab order.
    DialogControls(const desktop::dialog_template& dialog, QWidget* surface);

    // The control with identifier `id` (the first one, for IDC_STATIC), or nullptr.
    QWidget* Item(int id) const;
    // The control made from item `index` of the template.
    QWidget* At(std::size_t index) const { return m_controls.at(index); }
    std::size_t Count() const { return m_controls.size(); }

    // Places the controls from the surface's font on the surface's screen,
    // each widened to what it needs, and fixes the surface's size.
    QSize LayOut() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const desktop::dialog_template& m_template;
    QWidget* m_surface;
    std::vector<QWidget*> m_controls;
};

inline QRect ToQRect(const desktop::rect& r) {
    return QRect(r.x, r.y, r.width, r.height);
}

}  // namespace vekdc
