#include "gui_test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <filesystem>

#include "desktop/document.h"
#include "engine/matrix_cipher.h"
#include "platform/runtime.h"
#include "window/qt/application.h"
#include "window/qt/decode_panel.h"
#include "window/qt/drive_tree.h"
#include "window/qt/main_window.h"

namespace vekdc::test {

namespace {

// The tests see the window and the notices a Japanese user sees, whatever the
// locale they are started in; tests of the English texts choose for themselves.
[[maybe_unused]] const bool kLanguagePinned = [] {
    qputenv("LANGUAGE", "ja");
    return true;
}();

}  // namespace

ScratchDir::~ScratchDir() {
    if (isValid()) {
        std::error_code ignored;
        std::filesystem::remove_all(QFile::encodeName(path()).toStdString(), ignored);
    }
}

MatrixPtr MakeKey(std::uint32_t seed) {
    platform::crt_srand(seed);
    return MatrixPtr(CMatrixCipher::make_key_matrix(kPlainLength, kBlockLength, 0, 0, 1));
}

QString WriteKey(const QString& path, std::uint32_t seed) {
    const MatrixPtr key = MakeKey(seed);
    const QFileInfo info(path);
    write_matrix_into_binary_file(false, key.get(), kPlainLength, kBlockLength,
                                  QFile::encodeName(info.fileName()).toStdString(),
                                  QFile::encodeName(info.absolutePath() + '/').toStdString());
    return info.absoluteFilePath();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray SampleBytes(int size, int salt) {
    QByteArray bytes(std::max(size, 10), '\0');
    for (int i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i * 31 + salt * 17 + (i >> 3)) & 0xff);
    }
    return bytes;
}

QStringList EncodeFiles(const QStringList& plainFiles, const QString& outDir, Matrix B) {
    platform::ScopedRecorder quiet;  // whatever the encoder says stays here
    job_options options;
    options.key_usage = key_usage::read_once;
    options.key_to_use = B;
    options.encode = true;
    options.decode = false;
    for (const QString& file : plainFiles) {
        options.encode_files.push_back(QFile::encodeName(file).toStdString());
    }
    options.encode_file_count = static_cast<int>(plainFiles.size());
    options.encode_out_dir = QFile::encodeName(QDir(outDir).absolutePath() + '/').toStdString();
    CMatrixCipher().run_job(options);

    QStringList encrypted;
    for (const QString& file : plainFiles) {
        const QFileInfo info(file);
        const QString name = info.fileName();
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        encrypted << QDir(outDir).absoluteFilePath((dot < 0 ? name : name.left(dot)) +
                                                   QStringLiteral(".vek"));
    }
    return encrypted;
}

void ClearSettings() {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvinta"),
                       QStringLiteral("VekDC"));
    settings.clear();
    settings.sync();
}

QTreeWidgetItem* RootDrive(CLeftView* tree) {
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = tree->topLevelItem(i);
        if (tree->Core().node(tree->NodeOf(item)).name == "/") {
            return item;
        }
    }
    return nullptr;
}

QTreeWidgetItem* ChildNamed(CLeftView* /*tree*/, QTreeWidgetItem* item, const QString& name) {
    if (item == nullptr) {
        return nullptr;
    }
    item->setExpanded(true);  // lists the folder the first time
    for (int i = 0; i < item->childCount(); ++i) {
        if (item->child(i)->text(0) == name) {
            return item->child(i);
        }
    }
    return nullptr;
}

QTreeWidgetItem* ExpandTo(CLeftView* tree, const QString& path) {
    QTreeWidgetItem* item = RootDrive(tree);
    for (const QString& name : QDir::cleanPath(path).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        item = ChildNamed(tree, item, name);
    }
    return item;
}

QStringList ChildLabels(QTreeWidgetItem* item) {
    QStringList labels;
    for (int i = 0; item != nullptr && i < item->childCount(); ++i) {
        labels << item->child(i)->text(0);
    }
    return labels;
}

AppSession::AppSession(const QString& key, const QStringList& arguments) {
    if (!key.isEmpty()) {
        recorder_->setNextFile(QFile::encodeName(key).toStdString());
    }
    app_ = std::make_unique<CVekDCApp>();
    started_ = app_->InitInstance(arguments);
}

AppSession::~AppSession() {
    app_.reset();
}

CMainFrame* AppSession::frame() const {
    return app_->GetMainWnd();
}
CLeftView* AppSession::tree() const {
    return frame()->GetLeftView();
}
CVekDCView* AppSession::panel() const {
    return frame()->GetDecodeView();
}
desktop::CVekDCDoc* AppSession::doc() const {
    return app_->GetDocument();
}

bool AppSession::expose() {
    frame()->show();
    frame()->activateWindow();
    return QTest::qWaitForWindowExposed(frame());
}

ChildResult RunScenario(const QString& scenario, const QStringList& environment) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VEKDC_TEST_SCENARIO"), scenario);
    for (const QString& assignment : environment) {
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        env.insert(assignment.left(equals), assignment.mid(equals + 1));
    }
    process.setProcessEnvironment(env);
    process.start(QCoreApplication::applicationFilePath(), {});
    ChildResult result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        result.crashed = true;
        return result;
    }
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.errors = QString::fromUtf8(process.readAllStandardError());
    return result;
}

}  // namespace vekdc::test
