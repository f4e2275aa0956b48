// The decode panel: the right-hand pane with the output folder, the input
// file list, the key file and the decode button, laid out at fixed positions
// (dialog units) on a form that scrolls when the pane is smaller. It also runs
// the decode job (DecodeJob.cpp): StartDecode checks and starts it, the engine
// works on a worker thread while the window repaints, and 中止 or Esc cancels.
#pragma once

#include <QBrush>
#include <QByteArray>
#include <QColor>
#include <QScrollArea>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "Common/matrix/matrix.h"
#include "app/DecodeRun.h"
#include "engine/matrix_cipher.h"

class QAction;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace vekdc {

class CMainFrame;
class DialogControls;
class CVekDCDoc;

// The key read by the first decode, kept until the process ends: later
// decodes use it whatever key file is chosen meanwhile.
class DecodeKeyCache {
public:
    // The kept key, or nullptr before the first decode has read one.
    static Matrix Key();
    // Keeps a copy of `key`.
    static void Store(Matrix key);
    // Forgets the key (tests start each case from a fresh process state).
    static void Reset();
};

class CVekDCView : public QScrollArea {
    Q_OBJECT

public:
    // Control identifiers of the form.
    enum : int {
        IDC_SET_OUT_DIR = 1001,   // "→出力先に指定"
        IDC_DELETE_ITEMS = 1002,  // "－項目を削除"
        IDC_FILE_LIST = 1003,     // the input file list
        IDC_DECODE = 1004,        // "！デコード実行"
        IDC_PROGRESS = 1005,      // run progress
        IDC_ADD_TO_LIST = 1006,   // "→リストに追加"
        IDC_CLEAR_LIST = 1007,    // "×初期化"
        IDC_OUT_DIR = 1008,       // the output folder
        IDC_SET_KEY = 1009,       // "キーの設定"
        IDC_KEY_PATH = 1010,      // the key file path, shown only
        IDC_CANCEL = 1011,        // "中止", in the decode button's place while a run is active
    };

    // The panel's idle colour and its colour while a decode runs.
    static constexpr int kIdleRed = 220, kIdleGreen = 200, kIdleBlue = 180;
    static constexpr int kBusyRed = 100, kBusyGreen = 0, kBusyBlue = 255;

    explicit CVekDCView(CVekDCDoc* document, QWidget* parent = nullptr);
    ~CVekDCView() override;

    CVekDCDoc* GetDocument() const { return m_pDocument; }
    CMainFrame* GetParentFrame() const;
    QWidget* GetDlgItem(int id) const;

    void OnInitialUpdate();
    // Adds a path to the input list unless an entry equal to it (ignoring
    // letter case) is there already. Returns 0.
    int AddFileToList(const QString& path);
    // The same for a path given as the file system's bytes, which need not
    // be UTF-8: the list shows it as text and decodes it by its bytes.
    int AddLocalFileToList(const QByteArray& path);
    // Files given by the desktop (dropped, or named with --add): a file joins
    // the list as with →リストに追加, a folder gives the encrypted files
    // directly in it, as Enter in the tree does. Anything else is ignored and
    // the status bar says how many were. Returns the number ignored. The
    // paths are the file system's bytes.
    int AddLocalPaths(const QList<QByteArray>& paths);
    void SetOutDirFromSelection();
    int ClearFileList();
    void DeleteSelectedFiles();
    void ChooseKeyFile();
    void SetPanelColor(int red, int green, int blue);
    // The user's desktop folder (its home folder where the desktop folder
    // does not exist); 0 on success, -1 or -2 with a message when the platform
    // names no folder.
    int GetDesktopFolder(QString& path);

    // Checks the panel and every listed file, runs the job and resets the
    // panel; -1 when refused. Returns when the run has ended or was cancelled.
    int StartDecode();
    // Asks the active run to stop after the current file (or inside a large
    // one); the files already written stay.
    void CancelDecode();
    int SetProgress(int percent);
    // How often the bars follow a run, in milliseconds.
    void SetRefreshInterval(int milliseconds) { m_refreshIntervalMs = milliseconds; }
    // Closing the window during a run cancels it; the window closes when it has stopped.
    void CloseAfterRun() {
        m_closeAfterRun = true;
        CancelDecode();
    }

    // The entries of the input list, in list order, as shown.
    QStringList GetFileListEntries() const;
    // The same entries as the file system's bytes.
    QList<QByteArray> GetFileListPaths() const;

    CMatrixCipher m_engine;
    QColor m_crBack;
    QBrush m_brBack;

signals:
    // Emitted whenever SetProgress moves the bars.
    void progressChanged(int percent);
    void cancelRequested();

private:
    void CreateControls();
    // Paints the panel and the surroundings of its buttons and label in the
    // panel colour; edit boxes and the list keep the system colours.
    void OnCtlColor();
    void SetStatusText(const QString& text);
    void ShowNotice(const QString& text);

    // The entries that would end the program (a folder, a missing or
    // unreadable file, one that is not an encrypted file) are named in one
    // message: false. Otherwise true, with each file's size.
    bool CheckListedFiles(const QList<QByteArray>& files, std::vector<std::uint64_t>& sizes);
    static QString DescribeProblem(int problem, int errorNumber);
    Matrix LoadKey(const QString& keyPath);
    DecodeRun::Snapshot RunDecodeJob(const QList<QByteArray>& paths, const QString& outDir,
                                     const QString& keyPath, std::vector<std::uint64_t> sizes);
    void ShowRunProgress(const DecodeRun::Snapshot& progress);
    void SetRunning(bool running);
    static QString IndexKey(const QByteArray& path);
    QByteArray SelectedLocalPath() const;

    CVekDCDoc* m_pDocument;
    QWidget* m_form = nullptr;
    std::unique_ptr<DialogControls> m_dialog;
    // The controls the panel works with, from the form.
    QListWidget* m_fileList = nullptr;
    QProgressBar* m_progress = nullptr;
    QLineEdit* m_outDir = nullptr;
    QLineEdit* m_keyPath = nullptr;
    QPushButton* m_decode = nullptr;
    QPushButton* m_cancel = nullptr;
    QAction* m_cancelAction = nullptr;  // Esc while a run is active
    int m_refreshIntervalMs = 100;      // about ten repaints a second, not one per file
    bool m_closeAfterRun = false;
    // The list's entries with their letter case folded: the "only once" rule
    // in O(log n) per added file.
    std::set<QString> m_listIndex;
};

}  // namespace vekdc
