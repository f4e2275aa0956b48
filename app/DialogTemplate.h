// Forms and dialogs made from templates: a table of controls in template order
// (which is also the tab order) with their places in dialog units. The
// controls are placed from the form's font on its screen, and a control whose
// text would not fit its place is widened (or made taller) to hold it, so that
// every text shows whole in any font and at any resolution.
#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QRect>
#include <QSize>
#include <span>
#include <vector>

class QWidget;

namespace vekdc {

// The identifier of controls that have none.
inline constexpr int IDC_STATIC = -1;

enum class ControlKind {
    PushButton,     // QPushButton
    DefPushButton,  // QPushButton, the dialog's default
    Static,         // QLabel, plain text, left-aligned
    Icon,           // QLabel showing a picture
    Edit,           // QLineEdit
    ListBox,        // QListWidget
    Progress,       // QProgressBar
};

struct DialogItem {
    int id;
    ControlKind kind;
    const char* text;  // source text, translated in the template's context; nullptr for none
    int x, y, cx, cy;  // dialog units
    const char* name = nullptr;  // object name; nullptr for "IDC_<id>"
};

struct DialogTemplate {
    const char* context;  // translation context of the texts
    int cx, cy;           // size in dialog units
    std::span<const DialogItem> items;
};

// The controls made from a template on a surface widget. They are placed
// again whenever the surface's font changes.
class DialogControls : public QObject {
public:
    // Creates one widget per item, in template order, as children of `surface`,
    // and chains the tab order.
    DialogControls(const DialogTemplate& dialog, QWidget* surface);

    // The control with identifier `id` (the first one, for IDC_STATIC), or nullptr.
    QWidget* Item(int id) const;
    // The control made from item `index` of the template.
    QWidget* At(std::size_t index) const { return m_controls.at(index); }
    std::size_t Count() const { return m_controls.size(); }

    // Places the controls from the surface's font on the surface's screen and
    // fixes the surface's size: the template's size, or more where widened
    // controls need it (the template's right and bottom margins are kept).
    QSize LayOut() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const DialogTemplate& m_template;
    QWidget* m_surface;
    std::vector<QWidget*> m_controls;
};

}  // namespace vekdc
