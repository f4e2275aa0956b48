#include "app/VersionDlg.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>

#include "app/DialogTemplate.h"
#include "app/UiMetrics.h"
#include "platform/launch.h"
#include "platform/services.h"

namespace vekdc {

namespace {

// Dialog 100: 235 x 55 dialog units, font "ＭＳ Ｐゴシック" 9 pt.
// clang-format off
constexpr DialogItem kVersionItems[] = {
    // id                        kind                        text                         x   y  cx  cy  name
    {IDC_STATIC,                 ControlKind::Icon,          nullptr,                     11, 17, 20, 20, "ProgramIcon"},
    {IDC_STATIC,                 ControlKind::Static,        CVersionDlg::kVersionText,   40, 10, 89,  8, "VersionText"},
    {IDC_STATIC,                 ControlKind::Static,        CVersionDlg::kMakerNotice,   40, 25, 97,  8, "MakerNotice"},
    {CVersionDlg::IDOK,          ControlKind::DefPushButton, "OK",                        47, 34, 50, 14, "IDOK"},
    {CVersionDlg::IDC_WEB_PAGE,  ControlKind::PushButton,    CVersionDlg::kMakerAddress, 143, 25, 79, 17},
};
// clang-format on
// The texts of this dialog read the same in every language.
constexpr DialogTemplate kVersionDialog{"vekdc::CVersionDlg", 235, 55, kVersionItems};

constexpr int kIconPixels = 32;

}  // namespace

CVersionDlg::CVersionDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CVersionDlg"));
    setWindowTitle(tr("VekDCのﾊﾞｰｼﾞｮﾝ情報"));
    setFont(JapaneseUiFont());
    m_dialog = std::make_unique<DialogControls>(kVersionDialog, this);

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

void CVersionDlg::OnVisitWebPage() {
    platform::services().run_program(std::string(platform::kBrowserProgram) + " " + kMakerAddress);
}

}  // namespace vekdc
