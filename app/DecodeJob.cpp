// The decode job runner of the panel: from a request to decode, through the
// check of every listed file, to the engine's run_job on a worker thread,
// with the program-wide key cache, the progress bars and cancelling.
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <cstring>

#include "app/DecodeRun.h"
#include "app/DialogTemplate.h"
#include "app/VekDCDoc.h"
#include "app/VekDCView.h"
#include "browser/FileNames.h"
#include "browser/LeftView.h"
#include "browser/MainFrm.h"
#include "codec/codec.h"
#include "engine/job_options.h"
#include "platform/qt/ui_thread_services.h"
#include "platform/services.h"

namespace vekdc {

namespace {

constexpr int kKeyRows = kPlainLength;  // 11
constexpr int kKeyCols = kBlockLength;  // 12

// A refusal names this many files, then says how many more there are.
constexpr qsizetype kNamedProblems = 20;

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

MatrixPtr& CachedKey() {
    static MatrixPtr key;
    return key;
}

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The services of the job's worker, installed for the run.
class MarshalledServices {
public:
    MarshalledServices()
        : marshalled_(platform::services()), previous_(platform::install(&marshalled_)) {}
    ~MarshalledServices() { platform::install(previous_); }
    MarshalledServices(const MarshalledServices&) = delete;
    MarshalledServices& operator=(const MarshalledServices&) = delete;

private:
    platform::UiThreadServices marshalled_;
    platform::Services* previous_;
};

}  // namespace

Matrix DecodeKeyCache::Key() {
    return CachedKey().get();
}

void DecodeKeyCache::Store(Matrix key) {
    MatrixPtr copy(alloc_matrix(kKeyRows, kKeyCols));
    copy_matrix(key, copy.get(), kKeyRows, kKeyCols);
    CachedKey() = std::move(copy);
}

void DecodeKeyCache::Reset() {
    CachedKey().reset();
}

QString CVekDCView::DescribeProblem(int problem, int errorNumber) {
    QString reason;
    switch (static_cast<file_problem>(problem)) {
        case file_problem::missing:
            reason = tr("見つかりません");
            break;
        case file_problem::folder:
            reason = tr("フォルダです");
            break;
        case file_problem::not_regular:
            reason = tr("通常のファイルではありません");
            break;
        case file_problem::cannot_read:
            reason = tr("読み込めません");
            break;
        case file_problem::unknown_type:
            reason = tr("種類が不明な暗号化ファイルです");
            break;
        default:
            reason = tr("暗号化ファイルではありません");
            break;
    }
    if (errorNumber != 0) {
        reason += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(errorNumber)));
    }
    return reason;
}

bool CVekDCView::CheckListedFiles(const QList<QByteArray>& files,
                                  std::vector<std::uint64_t>& sizes) {
    sizes.clear();
    sizes.reserve(static_cast<std::size_t>(files.size()));
    QStringList problems;
    for (const QByteArray& file : files) {
        const encrypted_inspection inspection = inspect_encrypted_file(file.toStdString());
        if (inspection.problem != file_problem::none) {
            problems << QStringLiteral("%1: %2").arg(
                DisplayName(file),
                DescribeProblem(static_cast<int>(inspection.problem), inspection.error_number));
        }
        sizes.push_back(inspection.facts.size);
    }
    if (problems.isEmpty()) {
        return true;
    }
    QString text = tr("次のファイルはデコードできません。リストから削除して下さい。");
    for (qsizetype i = 0; i < std::min(problems.size(), kNamedProblems); ++i) {
        text += QLatin1Char('\n') + problems[i];
    }
    if (problems.size() > kNamedProblems) {
        text += QLatin1Char('\n') + tr("ほか %1 個").arg(problems.size() - kNamedProblems);
    }
    platform::services().message_box(text.toStdString(), platform::kDecoderCaption,
                                     platform::Buttons::Ok, platform::Icon::Exclamation);
    return false;
}

int CVekDCView::StartDecode() {
    CVekDCDoc* doc = m_pDocument;
    if (doc->m_bDecoding != 0) {
        ShowNotice(tr("現在、デコード実行中です。"));
        return -1;
    }
    WaitCursor wait;
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
    const QList<QByteArray> paths = GetFileListPaths();
    std::vector<std::uint64_t> sizes;
    if (!CheckListedFiles(paths, sizes)) {
        return -1;  // the list stays for the user to mend
    }

    SetPanelColor(kBusyRed, kBusyGreen, kBusyBlue);
    ShowNotice(tr(kStartMessage));

    doc->m_bDecoding = 1;
    SetRunning(true);
    const DecodeRun::Snapshot end =
        RunDecodeJob(paths, doc->m_strOutDir, doc->m_strKeyPath, std::move(sizes));
    SetRunning(false);
    doc->m_bDecoding = 0;

    SetProgress(0);
    SetPanelColor(kIdleRed, kIdleGreen, kIdleBlue);
    if (end.stopped) {
        // What was not reached stays listed, so that the run can be resumed.
        const QList<QByteArray> rest = paths.mid(static_cast<qsizetype>(end.written + end.refused));
        ClearFileList();
        for (const QByteArray& path : rest) {
            AddLocalFileToList(path);
        }
        SetStatusText(
            tr("デコードを中止しました。%1 個のファイルをデコードし、%2 個は拒否されました。")
                .arg(end.written)
                .arg(end.refused));
    } else {
        ClearFileList();
        SetStatusText(
            tr("デコードが終わりました。%1 個のファイルをデコードし、%2 個は拒否されました。")
                .arg(end.written)
                .arg(end.refused));
    }
    if (m_closeAfterRun) {
        m_closeAfterRun = false;
        if (QWidget* frame = window()) {
            frame->close();
        }
    }
    return 0;
}

Matrix CVekDCView::LoadKey(const QString& keyPath) {
    if (DecodeKeyCache::Key() == nullptr) {
        if (keyPath.isEmpty()) {
            ShowNotice(tr(kRestartMessage));
            platform::exit_program(1);
        }
        // A missing or short key file ends the program with the reader's message.
        MatrixPtr read(read_matrix_from_binary_file(kKeyRows, kKeyCols, LocalPath(keyPath)));
        DecodeKeyCache::Store(read.get());
    }
    return DecodeKeyCache::Key();
}

DecodeRun::Snapshot CVekDCView::RunDecodeJob(const QList<QByteArray>& paths, const QString& outDir,
                                             const QString& keyPath,
                                             std::vector<std::uint64_t> sizes) {
    // The folder goes between the two parts as it stands; they carry the blanks.
    ShowNotice(tr("出力は %1 にされます。").arg(outDir));
    MatrixPtr key(alloc_matrix(kKeyRows, kKeyCols));
    copy_matrix(LoadKey(keyPath), key.get(), kKeyRows, kKeyCols);

    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(paths.size()));
    for (const QByteArray& path : paths) {
        files.push_back(path.toStdString());
    }

    // The engine runs on a worker; this thread keeps the window alive and
    // carries out the worker's boxes, dialogs and the end of the process.
    MarshalledServices marshalled;
    DecodeRun run(std::move(sizes));
    QEventLoop loop;
    QTimer refresh;
    refresh.setInterval(m_refreshIntervalMs);
    connect(&refresh, &QTimer::timeout, this, [this, &run] { ShowRunProgress(run.Progress()); });
    connect(this, &CVekDCView::cancelRequested, &loop, [&run] { run.RequestStop(); });
    refresh.start();
    run.Start(m_engine, decode_job(key.get(), std::move(files), LocalPath(outDir)), [&loop] {
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    run.Join();
    refresh.stop();
    const DecodeRun::Snapshot end = run.Progress();
    ShowRunProgress(end);
    return end;
}

void CVekDCView::ShowRunProgress(const DecodeRun::Snapshot& progress) {
    SetProgress(progress.Percent());
    SetStatusText(
        tr("デコード中: %1 / %2 個").arg(progress.written + progress.refused).arg(progress.files));
}

void CVekDCView::CancelDecode() {
    if (m_pDocument->m_bDecoding != 0) {
        SetStatusText(tr("中止しています..."));
        emit cancelRequested();
    }
}

void CVekDCView::SetRunning(bool running) {
    // While a run is active only 中止 (and Esc) take input; the window still
    // repaints and shows the run's boxes.
    for (std::size_t i = 0; i < m_dialog->Count(); ++i) {
        QWidget* control = m_dialog->At(i);
        control->setEnabled(!running || control == m_progress);
    }
    m_decode->setVisible(!running);
    m_cancel->setVisible(running);
    m_cancel->setEnabled(running);
    m_cancelAction->setEnabled(running);
    if (running) {
        if (QWidget* frame = window(); frame != nullptr && frame != this) {
            frame->addAction(m_cancelAction);
        }
        m_cancel->setFocus(Qt::OtherFocusReason);
    }
    if (m_pDocument->m_pLeftView != nullptr) {
        m_pDocument->m_pLeftView->setEnabled(!running);
    }
    // New and open would start the document again under the running job.
    if (CMainFrame* frame = GetParentFrame()) {
        for (int id : {CMainFrame::ID_FILE_NEW, CMainFrame::ID_FILE_OPEN}) {
            if (QAction* command = frame->GetCommand(id)) {
                command->setEnabled(!running);
            }
        }
    }
}

int CVekDCView::SetProgress(int percent) {
    m_progress->setRange(0, 100);
    m_progress->setValue(percent);
    if (m_pDocument->m_pLeftView != nullptr) {
        if (QProgressBar* status = m_pDocument->m_pLeftView->m_statusProgress) {
            status->setValue(percent);
        }
    }
    emit progressChanged(percent);
    return 0;
}

}  // namespace vekdc
