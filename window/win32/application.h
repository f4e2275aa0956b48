// The application object of the Windows window: the settings in the
// registry, the main window for the core's start-up sequence
// (desktop::application), the commands new, open and the version dialog,
// and the message loop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/application.h"
#include "desktop/window.h"
#include "window/win32/settings_store.h"

namespace vekdc::win32 {

class CMainFrame;

class CVekDCApp : public desktop::app_frame {
public:
    // `settingsApplication`: the registry key below Orvinta (tests use one of their own).
    explicit CVekDCApp(std::string_view settingsApplication = desktop::kSettingsApplication);
    ~CVekDCApp() override;
    CVekDCApp(const CVekDCApp&) = delete;
    CVekDCApp& operator=(const CVekDCApp&) = delete;

    // Runs the start-up sequence for the command line's arguments (the
    // program name excluded). False when the program is to end at once, with
    // GetExitCode() as its status.
    bool InitInstance(const std::vector<std::string>& arguments);
    int GetExitCode() const { return m_app.GetExitCode(); }
    // Called once the main window exists, before the key dialog of the start.
    void OnFrameCreated(std::function<void()> handler) { m_frameCreated = std::move(handler); }
    // Takes the messages until the main window is closed; the program's status.
    int Run();
    // Files given by the desktop (vekdc --add FILE...): into the input list,
    // with the decode panel shown, ready for ！デコード実行.
    void AddToInputList(const std::vector<std::string>& paths);

    desktop::CVekDCDoc* GetDocument() const { return m_app.GetDocument(); }
    CMainFrame* GetMainWnd() const { return m_pMainWnd.get(); }
    RegistrySettingsStore& GetSettings() { return m_settings; }
    const std::vector<std::string>& GetRecentFileList() const { return m_app.GetRecentFileList(); }

    void OnFileNew() { m_app.OnFileNew(); }
    void OnFileOpen() { m_app.OnFileOpen(); }
    void OnShowVersion();

    // desktop::app_frame
    void CreateMainFrame() override;
    void InitialUpdateFrame() override;
    void ShowMainWindow() override;

private:
    RegistrySettingsStore m_settings;
    desktop::application m_app{m_settings};
    std::function<void()> m_frameCreated;
    // The frame holds the views, which refer to the document: it goes first.
    std::unique_ptr<CMainFrame> m_pMainWnd;
};

}  // namespace vekdc::win32
