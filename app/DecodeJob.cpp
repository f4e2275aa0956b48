// The decode job runner of the panel: from a request to decode to the
// engine's run_job, with the program-wide key cache and the progress bars.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>
#include <climits>

#include "app/VekDCDoc.h"
#include "app/VekDCView.h"
#include "browser/LeftView.h"
#include "browser/MainFrm.h"
#include "engine/job_options.h"
#include "platform/services.h"

namespace vekdc {

Matrix g_keyMatrix = nullptr;
unsigned char g_keyLoaded = 0;

namespace {

constexpr int kKeyRows = CMatrixCipher::n;  // 11
constexpr int kKeyCols = CMatrixCipher::m;  // 12

const char* const kEmptyListMessage =
    QT_TRANSLATE_NOOP("vekdc::CVekDCView",
                      "入力ファイルリストが空です。デコードするファイルをリストに追加して下さい。");
const char* const kNoOutDirMessage =
    QT_TRANSLATE_NOOP("vekdc::CVekDCView", "出力先を設定して下さい。");
const char* const kStartMessage = QT_TRANSLATE_NOOP("vekdc::CVekDCView", "デコードを開始します。");
const char* const kRestartMessage = QT_TRANSLATE_NOOP(
    "vekdc::CVekDCView",
    "鍵が設定されていないので、操作を続けることが出来ません。VekDC.exeを再起動してください。");

// Paths go to the core in the file system's own encoding.
std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Moves the bars as the engine finishes each file, written or refused:
// (i + 1) * 100 / count after file i.
class DecodeProgress : public job_observer {
public:
    DecodeProgress(CVekDCView& view, std::size_t count) : view_(view), count_(count) {}

    void file_started(job_step step, std::size_t /*index*/, const std::string& /*path*/) override {
        if (step == job_step::decode) {
            if (CMainFrame* frame = view_.GetParentFrame()) {
                frame->SetPaneText(0, QString());
            }
        }
    }
    void file_written(job_step step, std::size_t index, const std::string& /*path*/,
                      const std::string& /*written_path*/) override {
        Advance(step, index);
    }
    void file_refused(job_step step, std::size_t index, const std::string& /*path*/) override {
        Advance(step, index);
    }

private:
    void Advance(job_step step, std::size_t index) {
        if (step != job_step::decode || count_ == 0) {
            return;
        }
        view_.SetProgress(static_cast<int>((index + 1) * 100 / count_));
    }

    CVekDCView& view_;
    std::size_t count_;
};

}  // namespace

int CVekDCView::StartDecode() {
    WaitCursor wait;
    CVekDCDoc* doc = m_pDocument;
    if (doc->m_pLeftView != nullptr) {
        doc->m_pLeftView->ShowStatusProgress();
    }

    doc->m_fileList = GetFileListEntries();
    if (doc->m_fileList.isEmpty()) {
        ShowNotice(tr(kEmptyListMessage));
        return -1;
    }
    doc->m_strOutDir = m_outDir->text();
    if (doc->m_strOutDir.isEmpty()) {
        ShowNotice(tr(kNoOutDirMessage));
        return -1;
    }

    SetPanelColor(kBusyRed, kBusyGreen, kBusyBlue);
    ShowNotice(tr(kStartMessage));

    doc->m_bDecoding = 1;
    const int result = RunDecodeJob(doc->m_fileList, doc->m_strOutDir, doc->m_strKeyPath);
    doc->m_bDecoding = 0;

    SetProgress(0);
    SetPanelColor(kIdleRed, kIdleGreen, kIdleBlue);
    ClearFileList();
    SetStatusText(QString());
    return result;
}

int CVekDCView::RunDecodeJob(const QStringList& fileList, const QString& outDir,
                             const QString& keyPath) {
    const std::size_t count = static_cast<std::size_t>(fileList.size());
    // The folder goes between the two parts as it stands; they carry the blanks.
    ShowNotice(tr("出力は %1 にされます。").arg(outDir));

    job_options options;
    options.key_usage = "read_once";
    options.read_B = false;
    options.read_A = false;
    options.save_keys = false;
    options.A_was_read = false;
    options.B_was_read = true;
    options.random_A = false;
    options.random_B = false;
    options.create_A = false;
    options.create_B = false;
    options.make_key_set = false;
    options.encode = false;
    options.decode = true;
    options.key_set_kind.clear();
    options.levels = 2;
    options.pvek = true;
    options.clear_prefix_length = 0;
    options.header_extra = 1;

    MatrixPtr key(alloc_matrix(kKeyRows, kKeyCols));
    if (options.key_usage == "read_once" && g_keyLoaded == 0) {
        if (keyPath.isEmpty()) {
            ShowNotice(tr(kRestartMessage));
            platform::exit_program(1);
        }
        g_keyMatrix = alloc_matrix(kKeyRows, kKeyCols);
        // A missing or short key file ends the program with the reader's message.
        MatrixPtr read(read_matrix_from_binary_file(false, false, kKeyRows, kKeyCols, nullptr,
                                                    nullptr, LocalPath(keyPath)));
        copy_matrix(read.get(), key.get(), kKeyRows, kKeyCols);
        copy_matrix(key.get(), g_keyMatrix, kKeyRows, kKeyCols);
        g_keyLoaded = 1;
    } else {
        copy_matrix(g_keyMatrix, key.get(), kKeyRows, kKeyCols);
    }
    options.key_to_use = key.get();

    options.encode_files.assign(1, std::string());
    options.decode_files.reserve(count);
    for (const QString& entry : fileList) {
        options.decode_files.push_back(LocalPath(entry));
    }
    options.encode_file_count = 0;
    options.decode_file_count = static_cast<int>(std::min<std::size_t>(count, INT_MAX));
    options.encode_out_dir.clear();
    options.decode_out_dir = LocalPath(outDir);
    options.key_dir.clear();
    options.interactive_encode = false;
    options.interactive_decode = false;

    DecodeProgress progress(*this, count);
    m_engine.run_job(std::move(options), &progress);
    return 0;
}

int CVekDCView::SetProgress(int percent) {
    // The run keeps the window from taking input, so the bars are painted at once.
    m_progress->setRange(0, 100);
    m_progress->setValue(percent);
    m_progress->repaint();
    if (m_pDocument->m_pLeftView != nullptr) {
        if (QProgressBar* status = m_pDocument->m_pLeftView->m_statusProgress) {
            status->setValue(percent);
            status->repaint();
        }
    }
    emit progressChanged(percent);
    return 0;
}

}  // namespace vekdc
