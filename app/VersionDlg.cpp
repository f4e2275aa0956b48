#include "app/VersionDlg.h"

#include <QLabel>
#include <QPushButton>

#include "app/UiMetrics.h"
#include "platform/launch.h"
#include "platform/services.h"

namespace vekdc {

CVersionDlg::CVersionDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CVersionDlg"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setFont(JapaneseUiFont());
    setFixedSize(DialogUnitsToPixels(235, this), DialogUnitsToPixels(55, this));

    const QRect iconRect = DialogRect(11, 17, 20, 20, this);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setGeometry(iconRect);
    icon->setPixmap(ProgramIcon().pixmap(QSize(32, 32)));
    icon->setAlignment(Qt::AlignCenter);

    auto* version = new QLabel(QString::fromUtf8(kVersionText), this);
    version->setObjectName(QStringLiteral("VersionText"));
    version->setTextFormat(Qt::PlainText);
    version->setGeometry(DialogRect(40, 10, 89, 8, this));

    auto* notice = new QLabel(QString::fromUtf8(kMakerNotice), this);
    notice->setObjectName(QStringLiteral("MakerNotice"));
    notice->setTextFormat(Qt::PlainText);
    notice->setGeometry(DialogRect(40, 25, 97, 8, this));

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("IDOK"));
    m_ok->setGeometry(DialogRect(47, 34, 50, 14, this));
    m_ok->setDefault(true);
    m_ok->setEnabled(false);
    m_ok->setVisible(false);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    m_web = new QPushButton(QString::fromUtf8(kMakerAddress), this);
    m_web->setObjectName(QStringLiteral("IDC_%1").arg(IDC_WEB_PAGE));
    m_web->setGeometry(DialogRect(143, 25, 79, 17, this));
    connect(m_web, &QPushButton::clicked, this, &CVersionDlg::OnVisitWebPage);
}

void CVersionDlg::OnVisitWebPage() {
    platform::services().run_program(std::string(platform::kBrowserProgram) + " " + kMakerAddress);
}

}  // namespace vekdc
