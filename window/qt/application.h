// The application object of the Qt window: the settings in QSettings, the
// main window for the core's start-up sequence (desktop::application), and
// the commands new, open and the version dialog.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "desktop/application.h"
#include "desktop/window.h"
#include "window/qt/settings_store.h"

namespace vekdc {

class CMainFrame;

class CVekDCApp : public QObject, public desktop::app_frame {
    Q_OBJECT

public:
    CVekDCApp();
    ~CVekDCApp() override;

    // Runs the start-up sequence for the given command-line arguments (the
    // program name excluded). False when the program is to end at once, with
    // GetExitCode() as its status.
    bool InitInstance(const std::vector<std::string>& arguments);
    bool InitInstance(const QStringList& arguments);
    int GetExitCode() const { return m_app.GetExitCode(); }
    // Files given by the desktop (vekdc --add FILE...): into the input list,
    // with the decode panel shown, ready for ！デコード実行.
    void AddToInputList(const QList<QByteArray>& paths);

    desktop::CVekDCDoc* GetDocument() const { return m_app.GetDocument(); }
    CMainFrame* GetMainWnd() const { return m_pMainWnd.get(); }
    QStringList GetRecentFileList() const;

    void OnFileNew() { m_app.OnFileNew(); }
    void OnFileOpen() { m_app.OnFileOpen(); }
    void OnShowVersion();
    bool OpenDocumentFile(const QString& path);

    // desktop::app_frame
    void CreateMainFrame() override;
    void InitialUpdateFrame() override;
    void ShowMainWindow() override;

private:
    QtSettingsStore m_settings;
    desktop::application m_app{m_settings};
    // The frame holds the views, which refer to the document: it goes first.
    std::unique_ptr<CMainFrame> m_pMainWnd;
};

}  // namespace vekdc
