// The main window: menu, status bar and a splitter with the drive tree on the
// left and the decode panel on the right. At start the tree takes the whole
// width and the panel waits, collapsed, behind the splitter bar at the right;
// the window is large enough for the panel to show every control once it is
// revealed.
#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <map>
#include <memory>

#include "desktop/document.h"
#include "desktop/window.h"
#include "platform/qt/lock_keys.h"

class QAction;
class QLabel;
class QSplitter;
class QStatusBar;

namespace vekdc {

class CLeftView;
class MessagePane;
class CVekDCView;

class CMainFrame : public QMainWindow, public desktop::frame_window {
    Q_OBJECT

public:
    explicit CMainFrame(desktop::CVekDCDoc* document);

    // The action behind a command; the application connects the ones it handles.
    QAction* GetCommand(int id) const;

    // Pane 0 is the message pane; with `update` it is repainted at once.
    void SetPaneText(int index, const QString& text, bool update = true);
    QString GetPaneText(int index) const;
    // A pane's rectangle in the status bar's coordinates.
    QRect GetItemRect(int index) const;
    // The progress bar of a run joins the status bar after the message pane,
    // which then ends where the bar begins; the bar shows while a run is active.
    void AttachStatusProgress(QWidget* bar);
    void ShowStatusProgressBar(bool shown);

    CLeftView* GetLeftView() const { return m_pLeftView; }
    CVekDCView* GetDecodeView() const { return m_pDecodeView; }
    desktop::CVekDCDoc* GetActiveDocument() const { return m_pDocument; }

    // Narrows the tree so that the decode panel shows, if it is collapsed.
    void RevealDecodePanel();

    // Sets the caption as given (a "[*]" in it is shown as written).
    void SetWindowText(const QString& text);

    // desktop::frame_window
    void set_caption(const std::string& text) override;
    void set_status_text(const std::string& text) override;
    void announce(const std::string& text) override;
    void reveal_decode_panel() override { RevealDecodePanel(); }
    void set_document_commands_enabled(bool enabled) override;
    void close_window() override { close(); }

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
    // The size of the first window: the system's usual one, or larger where
    // the panel needs it to show every control.
    QSize InitialSize();
    void FitStatusProgress();

    desktop::CVekDCDoc* m_pDocument;
    CLeftView* m_pLeftView = nullptr;
    CVekDCView* m_pDecodeView = nullptr;
    std::array<QLabel*, kStatusPaneCount> m_panes{};
    MessagePane* m_messagePane = nullptr;
    QWidget* m_statusProgress = nullptr;
    std::unique_ptr<platform::LockKeyWatcher> m_lockKeys;
    std::map<int, QAction*> m_commands;
};

}  // namespace vekdc
