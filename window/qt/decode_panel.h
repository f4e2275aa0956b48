// The decode panel: the right-hand pane with the output folder, the input
// file list, the key file and the decode button, laid out at fixed positions
// (dialog units) on a form that scrolls when the pane is smaller. What the
// buttons do is the core's (desktop::decode_panel); during a run this pane
// keeps the window alive until the worker has finished.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPointer>
#include <QScrollArea>
#include <QString>
#include <QStringList>
#include <memory>

#include "desktop/decode_panel.h"
#include "desktop/window.h"

class QAction;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;

namespace vekdc {

class CMainFrame;
class DialogControls;
class FileListModel;

class CVekDCView : public QScrollArea, public desktop::decode_pane {
    Q_OBJECT

public:
    explicit CVekDCView(desktop::CVekDCDoc* document, QWidget* parent = nullptr);
    ~CVekDCView() override;

    desktop::decode_panel& Core() { return m_panel; }
    desktop::CVekDCDoc* GetDocument() const { return &m_panel.GetDocument(); }
    CMainFrame* GetParentFrame() const;
    QWidget* GetDlgItem(int id) const;

    void OnInitialUpdate() { m_panel.OnInitialUpdate(); }
    // Adds a path to the input list unless an entry equal to it (ignoring
    // letter case) is there already. Returns 0.
    int AddFileToList(const QString& path);
    // Files given by the desktop (dropped, or named with --add); returns the
    // number ignored.
    int AddLocalPaths(const QList<QByteArray>& paths);
    int ClearFileList() { return m_panel.ClearFileList(); }
    void ChooseKeyFile() { m_panel.ChooseKeyFile(); }
    int GetDesktopFolder(QString& path);
    // Checks the panel and every listed file, runs the job and resets the
    // panel; -1 when refused. Returns when the run has ended or was cancelled.
    int StartDecode();
    void CancelDecode() { m_panel.CancelDecode(); }
    void CloseAfterRun() { m_panel.CloseAfterRun(); }
    // How often the bars follow a run, in milliseconds.
    void SetRefreshInterval(int milliseconds) { m_refreshIntervalMs = milliseconds; }
    // The panel's colour now.
    QColor PanelColor() const;

    // The entries of the input list, in list order, as text (whole paths).
    QStringList GetFileListEntries() const;
    // The same entries as the file system's bytes.
    QList<QByteArray> GetFileListPaths() const;

    // desktop::decode_pane
    std::string output_folder() const override;
    void set_output_folder(const std::string& folder) override;
    void show_key_path(const std::string& path) override;
    std::vector<std::size_t> selected_entries() const override;
    void set_panel_colour(desktop::rgb colour) override;
    void set_progress(int percent) override;
    void set_running(bool running) override;
    void wait_for_run(desktop::decode_run& run) override;
    void entry_inserted(std::size_t index) override;
    void entry_removed(std::size_t index) override;
    void list_cleared() override;

protected:
    void resizeEvent(QResizeEvent* event) override;

signals:
    // Emitted whenever the panel's bar moves.
    void progressChanged(int percent);

private:
    void CreateControls();
    void ConnectButtons();

    desktop::decode_panel m_panel;
    QWidget* m_form = nullptr;
    std::unique_ptr<DialogControls> m_dialog;
    FileListModel* m_model = nullptr;
    // The controls the panel works with, from the form.
    QListView* m_fileList = nullptr;
    QProgressBar* m_progress = nullptr;
    QLineEdit* m_outDir = nullptr;
    QLineEdit* m_keyPath = nullptr;
    QPushButton* m_decode = nullptr;
    QPushButton* m_cancel = nullptr;
    QAction* m_cancelAction = nullptr;   // Esc while a run is active
    QPointer<QWidget> m_runStartedFrom;  // where the focus goes back after a run
    int m_refreshIntervalMs = 100;       // about ten repaints a second, not one per file
};

}  // namespace vekdc
