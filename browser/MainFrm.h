// The main window: menu, status bar and a splitter with the drive tree on the
// left and the decode panel on the right. At start the tree takes the whole
// width and the panel waits, collapsed, behind the splitter bar at the right.
#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <map>
#include <memory>

#include "platform/qt/lock_keys.h"

class QAction;
class QLabel;
class QSplitter;
class QStatusBar;

namespace vekdc {

class CLeftView;
class CVekDCDoc;
class MessagePane;
class CVekDCView;

class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    // Command identifiers of the menu and the accelerator table.
    enum Command : int {
        ID_FILE_NEW = 57600,
        ID_FILE_OPEN = 57601,
        ID_FILE_SAVE = 57603,
        ID_EDIT_COPY = 57634,
        ID_EDIT_CUT = 57635,
        ID_EDIT_PASTE = 57637,
        ID_EDIT_UNDO = 57643,
        ID_APP_ABOUT = 57664,
        ID_NEXT_PANE = 57680,
        ID_PREV_PANE = 57681,
    };
    static constexpr int kStatusPaneCount = 5;

    explicit CMainFrame(CVekDCDoc* document);

    // The action behind a command; the application connects the ones it handles.
    QAction* GetCommand(int id) const;

    // Pane 0 is the message pane; with `update` it is repainted at once.
    void SetPaneText(int index, const QString& text, bool update = true);
    QString GetPaneText(int index) const;
    // A pane's rectangle in the status bar's coordinates.
    QRect GetItemRect(int index) const;
    // The message pane's text ends before x (status bar coordinates), where a
    // control placed over the status bar begins.
    void EndMessagePaneAt(int x);

    CLeftView* GetLeftView() const { return m_pLeftView; }
    CVekDCView* GetDecodeView() const { return m_pDecodeView; }
    CVekDCDoc* GetActiveDocument() const { return m_pDocument; }

    // Narrows the tree so that the decode panel shows, if it is collapsed.
    void RevealDecodePanel();

    // "<document title> - VekDC".
    void OnUpdateFrameTitle();
    // Sets the caption as given (a "[*]" in it is shown as written).
    void SetWindowText(const QString& text);

    QSplitter* m_wndSplitter = nullptr;
    QStatusBar* m_wndStatusBar = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Files and folders dropped anywhere on the window join the input list.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // A run in progress is cancelled first; the window closes once it stopped.
    void closeEvent(QCloseEvent* event) override;

private:
    int OnCreate();
    bool OnCreateClient();
    void CreateCommands();
    // A key pressed while the frame itself has the focus: a diagnostic box.
    void OnKeyDown(unsigned int virtualKey, unsigned int repeatCount, unsigned int flags);
    void ActivatePane(int step);
    void ShowLockKeys(const platform::LockKeyLights& lights);

    CVekDCDoc* m_pDocument;
    CLeftView* m_pLeftView = nullptr;
    CVekDCView* m_pDecodeView = nullptr;
    std::array<QLabel*, kStatusPaneCount> m_panes{};
    MessagePane* m_messagePane = nullptr;
    std::unique_ptr<platform::LockKeyWatcher> m_lockKeys;
    std::map<int, QAction*> m_commands;
};

}  // namespace vekdc
