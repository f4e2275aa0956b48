#include "window/win32/application.h"

#include <stdexcept>

#include "window/win32/decode_panel.h"
#include "window/win32/drive_tree.h"
#include "window/win32/main_window.h"
#include "window/win32/message_loop.h"
#include "window/win32/version_dialog.h"

namespace vekdc::win32 {

CVekDCApp::CVekDCApp(std::string_view settingsApplication) : m_settings(settingsApplication) {}

CVekDCApp::~CVekDCApp() = default;

bool CVekDCApp::InitInstance(const std::vector<std::string>& arguments) {
    return m_app.InitInstance(arguments, *this);
}

int CVekDCApp::Run() {
    return RunMessageLoop();
}

void CVekDCApp::AddToInputList(const std::vector<std::string>& paths) {
    if (m_pMainWnd) {
        m_pMainWnd->AddToInputList(paths);
    }
}

void CVekDCApp::CreateMainFrame() {
    m_pMainWnd = std::make_unique<CMainFrame>(*m_app.GetDocument());
    if (!m_pMainWnd->Create()) {
        throw std::runtime_error("cannot create the main window");
    }
    m_pMainWnd->SetCommandHandler(CMainFrame::ID_FILE_NEW, [this] { OnFileNew(); });
    m_pMainWnd->SetCommandHandler(CMainFrame::ID_FILE_OPEN, [this] { OnFileOpen(); });
    m_pMainWnd->SetCommandHandler(CMainFrame::ID_APP_ABOUT, [this] { OnShowVersion(); });
    if (m_frameCreated) {
        m_frameCreated();
    }
}

void CVekDCApp::InitialUpdateFrame() {
    m_pMainWnd->GetLeftView().OnInitialUpdate();
    m_pMainWnd->GetDecodeView().OnInitialUpdate();
}

void CVekDCApp::ShowMainWindow() {
    m_pMainWnd->ShowMainWindow();
}

void CVekDCApp::OnShowVersion() {
    CVersionDlg dialog(m_pMainWnd ? m_pMainWnd->GetSafeHwnd() : nullptr);
    dialog.DoModal();
}

}  // namespace vekdc::win32
