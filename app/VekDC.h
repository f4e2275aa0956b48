// The application object: brings the program up (settings, the one document
// with its window, the command line), and handles new, open and the version
// dialog.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace vekdc {

class CMainFrame;
class CVekDCDoc;

class CVekDCApp : public QObject {
    Q_OBJECT

public:
    static constexpr int kRecentFileCount = 6;
    static constexpr const char* kRecentFileSection = "Recent File List";
    static constexpr const char* kUntitled = QT_TRANSLATE_NOOP("vekdc::CVekDCApp", "無題");

    CVekDCApp();
    ~CVekDCApp() override;

    // Runs the start-up sequence for the given command-line arguments (the
    // program name excluded). False when the program is to end at once, with
    // GetExitCode() as its status.
    bool InitInstance(const QStringList& arguments);
    int GetExitCode() const { return m_exitCode; }
    // Files given by the desktop (vekdc --add FILE...): into the input list,
    // with the decode panel shown, ready for ！デコード実行.
    void AddToInputList(const QList<QByteArray>& paths);

    CVekDCDoc* GetDocument() const { return m_pDocument.get(); }
    CMainFrame* GetMainWnd() const { return m_pMainWnd.get(); }
    const QStringList& GetRecentFileList() const { return m_recentFiles; }

    // Ctrl+N: re-initialises the one document; the key file dialog opens again.
    void OnFileNew();
    // Ctrl+O: a file chosen in the dialog becomes the document.
    void OnFileOpen();
    void OnShowVersion();
    bool OpenDocumentFile(const QString& path);

    // "/Embedding", "-Automation" and so on: a start by the component runtime.
    static bool IsAutomationOption(const QString& argument);

private:
    void LoadStdProfileSettings(int maxRecentFiles);
    void AddToRecentFileList(const QString& path);
    void CreateMainFrame();
    void InitialUpdateFrame();

    // The frame holds the views, which refer to the document: it goes first.
    std::unique_ptr<CVekDCDoc> m_pDocument;
    std::unique_ptr<CMainFrame> m_pMainWnd;
    QStringList m_recentFiles;
    int m_maxRecentFiles = 0;
    int m_exitCode = 0;
};

}  // namespace vekdc
