#include "app/VekDC.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include "app/Profile.h"
#include "app/UiMetrics.h"
#include "app/VekDCDoc.h"
#include "app/VekDCView.h"
#include "app/VersionDlg.h"
#include "browser/LeftView.h"
#include "browser/MainFrm.h"
#include "platform/services.h"
#include "vekdc/version.h"

namespace vekdc {

namespace {

// Options of the class library's command-line parser. On this system a path
// may start with '/', so only these names count as options after a '/'.
const char* const kSlashOptions[] = {"Embedding", "Automation", "p",           "pt",
                                     "dde",       "Unregister", "Unregserver", "Regserver"};

bool IsOption(const QString& argument) {
    if (argument.size() < 2) {
        return false;
    }
    if (argument.startsWith(QLatin1Char('-'))) {
        return true;
    }
    if (!argument.startsWith(QLatin1Char('/'))) {
        return false;
    }
    const QString name = argument.mid(1);
    for (const char* option : kSlashOptions) {
        if (name.compare(QLatin1String(option), Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

QString RecentFileEntry(int number) {
    return QStringLiteral("File%1").arg(number);
}

}  // namespace

CVekDCApp::CVekDCApp() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kRegistryKey));
    QCoreApplication::setApplicationName(QString::fromLatin1(kProfileName));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEKDC_VERSION));
    // Lets the desktop match the window with its desktop entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VEKDC_APP_ID));
    QApplication::setFont(JapaneseUiFont());
    QApplication::setWindowIcon(ProgramIcon());
}

CVekDCApp::~CVekDCApp() = default;

bool CVekDCApp::IsAutomationOption(const QString& argument) {
    if (argument.size() < 2 ||
        !(argument.startsWith(QLatin1Char('/')) || argument.startsWith(QLatin1Char('-')))) {
        return false;
    }
    const QString name = argument.mid(1);
    return name.compare(QLatin1String("Embedding"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("Automation"), Qt::CaseInsensitive) == 0;
}

bool CVekDCApp::InitInstance(const QStringList& arguments) {
    LoadStdProfileSettings(kRecentFileCount);

    QString fileName;
    bool automation = false;
    for (const QString& argument : arguments) {
        if (IsOption(argument)) {
            automation = automation || IsAutomationOption(argument);
        } else if (fileName.isEmpty()) {
            fileName = argument;
        }
    }
    if (automation) {
        // Started for automation: no window, no document. This system has no
        // automation clients, so the program ends here.
        m_exitCode = 0;
        return false;
    }

    m_pDocument = std::make_unique<CVekDCDoc>();
    CreateMainFrame();
    if (!fileName.isEmpty()) {
        if (!OpenDocumentFile(fileName)) {
            m_exitCode = 1;
            return false;
        }
    } else {
        m_pDocument->SetTitle(tr(kUntitled));
        m_pDocument->OnNewDocument();
        InitialUpdateFrame();
    }
    m_pMainWnd->show();
    return true;
}

void CVekDCApp::AddToInputList(const QList<QByteArray>& paths) {
    if (!m_pMainWnd) {
        return;
    }
    m_pMainWnd->GetDecodeView()->AddLocalPaths(paths);
    m_pMainWnd->RevealDecodePanel();
}

void CVekDCApp::CreateMainFrame() {
    m_pMainWnd = std::make_unique<CMainFrame>(m_pDocument.get());
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

void CVekDCApp::OnFileNew() {
    if (!m_pDocument) {
        return;
    }
    m_pDocument->SetPathName(QString());
    m_pDocument->SetTitle(tr(kUntitled));
    m_pDocument->OnNewDocument();
    InitialUpdateFrame();
}

void CVekDCApp::OnFileOpen() {
    if (!m_pDocument) {
        return;
    }
    platform::FileDialogRequest request;
    request.filter = tr("すべてのﾌｧｲﾙ (*.*)|*.*||").toStdString();
    const auto chosen = platform::services().open_file(request);
    if (chosen) {
        OpenDocumentFile(QFile::decodeName(chosen->c_str()));
    }
}

bool CVekDCApp::OpenDocumentFile(const QString& path) {
    if (!m_pDocument->OnOpenDocument(path)) {
        const QString text = tr("ファイル「%1」を開けません。").arg(path);
        platform::app_message(text.toStdString());
        return false;
    }
    m_pDocument->SetPathName(path);
    AddToRecentFileList(m_pDocument->GetPathName());
    InitialUpdateFrame();
    return true;
}

void CVekDCApp::OnShowVersion() {
    CVersionDlg dialog(m_pMainWnd.get());
    dialog.exec();
}

void CVekDCApp::LoadStdProfileSettings(int maxRecentFiles) {
    m_maxRecentFiles = maxRecentFiles;
    m_recentFiles.clear();
    const QString section = QString::fromLatin1(kRecentFileSection);
    for (int i = 1; i <= m_maxRecentFiles; ++i) {
        const QString path = GetProfileString(section, RecentFileEntry(i));
        if (!path.isEmpty()) {
            m_recentFiles << path;
        }
    }
}

void CVekDCApp::AddToRecentFileList(const QString& path) {
    m_recentFiles.removeAll(path);
    m_recentFiles.prepend(path);
    while (m_recentFiles.size() > m_maxRecentFiles) {
        m_recentFiles.removeLast();
    }
    // Written through at once, the whole list in its new order.
    const QString section = QString::fromLatin1(kRecentFileSection);
    DeleteProfileSection(section);
    for (int i = 0; i < m_recentFiles.size(); ++i) {
        WriteProfileString(section, RecentFileEntry(i + 1), m_recentFiles[i]);
    }
}

}  // namespace vekdc
