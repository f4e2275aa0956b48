// The application object without its toolkit: the start-up sequence (the
// command line's document file and automation options, the one document,
// the new-document step that asks for the key), new and open, and the
// recent-file list. A window's application object provides the frame
// (app_frame) and runs its event loop when InitInstance says so.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "desktop/document.h"
#include "desktop/settings.h"

namespace vekdc::desktop {

class app_frame;

class application {
public:
    explicit application(settings_store& settings);
    ~application();

    // Runs the start-up sequence for the command line's arguments (the
    // program name excluded; see StartRequest::arguments). False when the
    // program is to end at once, with GetExitCode() as its status.
    bool InitInstance(const std::vector<std::string>& arguments, app_frame& frame);
    int GetExitCode() const { return m_exitCode; }

    CVekDCDoc* GetDocument() const { return m_pDocument.get(); }
    const std::vector<std::string>& GetRecentFileList() const { return m_recentFiles.files(); }

    // Ctrl+N: re-initialises the one document; the key file dialog opens again.
    void OnFileNew();
    // Ctrl+O: a file chosen in the dialog becomes the document.
    void OnFileOpen();
    // Makes `path` the document: its title, the recent-file list, the views'
    // initial update. A file that cannot be opened is reported: false.
    bool OpenDocumentFile(const std::string& path);

    // "/Embedding", "-Automation" and so on: a start by the component runtime.
    static bool IsAutomationOption(const std::string& argument);
    // An option of the class library's parser ("-..." or one of its "/" names).
    static bool IsOption(const std::string& argument);

private:
    settings_store& m_settings;
    recent_file_list m_recentFiles;
    std::unique_ptr<CVekDCDoc> m_pDocument;
    app_frame* m_pFrame = nullptr;
    int m_exitCode = 0;
};

// The Help menu's list of the window's keys, in a box.
void show_keys();

}  // namespace vekdc::desktop
