#include "window/qt/application.h"

#include <QAction>
#include <QApplication>
#include <QFile>

#include "vekdc/version.h"
#include "window/qt/decode_panel.h"
#include "window/qt/drive_tree.h"
#include "window/qt/focus_style.h"
#include "window/qt/fonts.h"
#include "window/qt/main_window.h"
#include "window/qt/version_dialog.h"

namespace vekdc {

CVekDCApp::CVekDCApp() {
    QCoreApplication::setOrganizationName(QString::fromUtf8(desktop::kSettingsCompany));
    QCoreApplication::setApplicationName(QString::fromUtf8(desktop::kSettingsApplication));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEKDC_VERSION));
    // Lets the desktop match the window with its desktop entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VEKDC_APP_ID));
    QApplication::setFont(JapaneseUiFont());
    QApplication::setWindowIcon(ProgramIcon());
    QApplication::setStyle(new FocusStyle);
}

CVekDCApp::~CVekDCApp() = default;

bool CVekDCApp::InitInstance(const std::vector<std::string>& arguments) {
    return m_app.InitInstance(arguments, *this);
}

bool CVekDCApp::InitInstance(const QStringList& arguments) {
    std::vector<std::string> bytes;
    for (const QString& argument : arguments) {
        bytes.push_back(QFile::encodeName(argument).toStdString());
    }
    return InitInstance(bytes);
}

void CVekDCApp::AddToInputList(const QList<QByteArray>& paths) {
    if (m_pMainWnd) {
        m_pMainWnd->GetDecodeView()->AddLocalPaths(paths);
    }
}

QStringList CVekDCApp::GetRecentFileList() const {
    QStringList files;
    for (const std::string& file : m_app.GetRecentFileList()) {
        files << QFile::decodeName(file.c_str());
    }
    return files;
}

bool CVekDCApp::OpenDocumentFile(const QString& path) {
    return m_app.OpenDocumentFile(QFile::encodeName(path).toStdString());
}

void CVekDCApp::CreateMainFrame() {
    m_pMainWnd = std::make_unique<CMainFrame>(m_app.GetDocument());
    connect(m_pMainWnd->GetCommand(CMainFrame::ID_FILE_NEW), &QAction::triggered, this,
            &CVekDCApp::OnFileNew);
    connect(m_pMainWnd->GetCommand(CMainFrame::ID_FILE_OPEN), &QAction::triggered, this,
            &CVekDCApp::OnFileOpen);
    connect(m_pMainWnd->GetCommand(CMainFrame::ID_APP_ABOUT), &QAction::triggered, this,
            &CVekDCApp::OnShowVersion);
}

void CVekDCApp::InitialUpdateFrame() {
    m_pMainWnd->GetLeftView()->OnInitialUpdate();
    m_pMainWnd->GetDecodeView()->OnInitialUpdate();
}

void CVekDCApp::ShowMainWindow() {
    m_pMainWnd->show();
}

void CVekDCApp::OnShowVersion() {
    CVersionDlg dialog(m_pMainWnd.get());
    dialog.exec();
    // The focus goes back where it was in the window when the dialog closes.
    m_pMainWnd->activateWindow();
    if (QWidget* focus = m_pMainWnd->focusWidget()) {
        focus->setFocus(Qt::OtherFocusReason);
    }
}

}  // namespace vekdc
