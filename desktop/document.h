// The one document: the state that the drive tree, the decode panel and the
// decode job share. It carries no file content; a file "opened" as the
// document only gives it its title.
#pragma once

#include <string>

#include "desktop/file_list.h"
#include "desktop/settings.h"

namespace vekdc::desktop {

class decode_panel;
class drive_tree;
class frame_window;

class CVekDCDoc {
public:
    explicit CVekDCDoc(settings_store& settings);

    std::string m_strSelectedPath;  // path of the item last selected in the tree (its bytes)
    std::string m_strKeyPath;       // key file chosen with "キーの設定"
    std::string m_strOutDir;        // output folder of the current or last run
    file_list m_fileList;           // the input list: the panel shows it, a run decodes it
    drive_tree* m_pLeftView = nullptr;
    decode_panel* m_pDecodeView = nullptr;
    frame_window* m_pFrame = nullptr;
    int m_bDecoding = 0;  // 1 while a decode job runs in the engine

    // A new document (start-up and Ctrl+N): writes its setting, and asks for
    // the key file.
    bool OnNewDocument();
    // A file opened as the document: it must be a readable file; nothing is read from it.
    bool OnOpenDocument(const std::string& path);

    // The views and the frame, as the window creates them.
    void AddView(drive_tree* tree) { m_pLeftView = tree; }
    void AddView(decode_panel* panel) { m_pDecodeView = panel; }
    void SetFrame(frame_window* frame);

    const std::string& GetTitle() const { return m_strTitle; }
    // Sets the title and gives the frame its caption: "<title> - VekDC".
    void SetTitle(const std::string& title);
    const std::string& GetPathName() const { return m_strPathName; }
    // Sets the full path and takes the file name as the title.
    void SetPathName(const std::string& path);

    settings_store& GetSettings() const { return m_settings; }
    // The status bar's message pane, when there is a frame.
    void SetStatusText(const std::string& text) const;
    // Tells a screen reader, when there is a frame.
    void Announce(const std::string& text) const;

private:
    settings_store& m_settings;
    std::string m_strTitle;
    std::string m_strPathName;
};

// The main window's caption for a document title: "<title> - VekDC", or
// "VekDC" without a title.
std::string frame_caption(const std::string& title);

}  // namespace vekdc::desktop
