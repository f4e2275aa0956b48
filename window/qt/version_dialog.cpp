#include "window/qt/version_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "platform/launch.h"
#include "platform/services.h"
#include "window/qt/dialog_controls.h"
#include "window/qt/fonts.h"
#include "window/qt/texts.h"

namespace vekdc {

namespace {

constexpr int kIconPixels = 32;

}  // namespace

CVersionDlg::CVersionDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CVersionDlg"));
    setAttribute(Qt::WA_KeyboardFocusChange);
    setWindowTitle(Text(desktop::text_id::version_title));
    setFont(JapaneseUiFont());
    m_dialog = std::make_unique<DialogControls>(desktop::version_dialog(), this);

    qobject_cast<QLabel*>(m_dialog->At(0))
        ->setPixmap(ProgramIcon().pixmap(QSize(kIconPixels, kIconPixels)));
    m_ok = qobject_cast<QPushButton*>(m_dialog->Item(IDOK));
    m_ok->setEnabled(false);
    m_ok->setVisible(false);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    m_web = qobject_cast<QPushButton*>(m_dialog->Item(IDC_WEB_PAGE));
    connect(m_web, &QPushButton::clicked, this, &CVersionDlg::OnVisitWebPage);
    m_dialog->LayOut();
}

CVersionDlg::~CVersionDlg() = default;

void CVersionDlg::keyPressEvent(QKeyEvent* event) {
    // Return does what the (hidden) default button, OK, would do.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CVersionDlg::OnVisitWebPage() {
    platform::services().run_program(std::string(platform::kBrowserProgram) + " " +
                                     desktop::kMakerAddress);
}

}  // namespace vekdc
