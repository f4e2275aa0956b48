// The decode panel: the right-hand pane with the output folder, the input
// file list, the key file and the decode button, laid out at fixed positions
// (dialog units) on a form that scrolls when the pane is smaller. It also runs
// the decode job: StartDecode, RunDecodeJob and SetProgress.
#pragma once

#include <QBrush>
#include <QColor>
#include <QScrollArea>
#include <QString>
#include <QStringList>
#include <memory>

#include "Common/matrix/matrix.h"
#include "engine/matrix_cipher.h"

class QLineEdit;
class QListWidget;
class QProgressBar;

namespace vekdc {

class CMainFrame;
class DialogControls;
class CVekDCDoc;

// The key read by the first decode of the run, kept until the process ends.
extern Matrix g_keyMatrix;
extern unsigned char g_keyLoaded;

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
    void SetOutDirFromSelection();
    int ClearFileList();
    void DeleteSelectedFiles();
    void ChooseKeyFile();
    void SetPanelColor(int red, int green, int blue);
    // The user's desktop folder (its home folder where the desktop folder
    // does not exist); 0 on success, -1 or -2 with a message when the platform
    // names no folder.
    int GetDesktopFolder(QString& path);

    // Checks the panel, runs the job and resets the panel; -1 when refused.
    int StartDecode();
    int RunDecodeJob(const QStringList& fileList, const QString& outDir, const QString& keyPath);
    int SetProgress(int percent);

    // The entries of the input list, in list order.
    QStringList GetFileListEntries() const;

    CMatrixCipher m_engine;
    QColor m_crBack;
    QBrush m_brBack;

signals:
    // Emitted whenever SetProgress moves the bars.
    void progressChanged(int percent);

private:
    void CreateControls();
    // Paints the panel and the surroundings of its buttons and label in the
    // panel colour; edit boxes and the list keep the system colours.
    void OnCtlColor();
    void SetStatusText(const QString& text);
    void ShowNotice(const QString& text);

    CVekDCDoc* m_pDocument;
    QWidget* m_form = nullptr;
    std::unique_ptr<DialogControls> m_dialog;
    // The controls the panel works with, from the form.
    QListWidget* m_fileList = nullptr;
    QProgressBar* m_progress = nullptr;
    QLineEdit* m_outDir = nullptr;
    QLineEdit* m_keyPath = nullptr;
};

}  // namespace vekdc
