// vekdc-screenshots: saves pictures of the window for the documentation.
//   vekdc-screenshots <output folder> <examples folder>
// Starts the application with the key <examples folder>/example.key, saves
// the window after start-up (vekdc-start.png), then opens the panel, lists the
// folder's encrypted files and decodes them into a temporary folder, saving
// the window the moment the last file is done (vekdc-decode.png). Dialogs and
// message boxes are answered without being shown. Run it under a display
// server (e.g. xvfb-run) for the real look.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "app/Language.h"
#include "app/VekDC.h"
#include "app/VekDCDoc.h"
#include "app/VekDCView.h"
#include "browser/LeftView.h"
#include "browser/MainFrm.h"
#include "platform/qt/qt_services.h"
#include "platform/recording_services.h"

namespace {

bool SaveWindow(QWidget* window, const QString& path) {
    if (!window->grab().save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The tree item of a folder, expanded along its path from the "/" drive.
QTreeWidgetItem* ExpandTo(vekdc::CLeftView* tree, const QString& folder) {
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->topLevelItem(i)->data(0, vekdc::CLeftView::kRootPathRole).toString() ==
            QStringLiteral("/")) {
            item = tree->topLevelItem(i);
        }
    }
    for (const QString& name : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (item == nullptr) {
            return nullptr;
        }
        item->setExpanded(true);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount(); ++i) {
            if (item->child(i)->text(0) == name) {
                next = item->child(i);
            }
        }
        item = next;
    }
    if (item != nullptr) {
        item->setExpanded(true);
    }
    return item;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: vekdc-screenshots <output folder> <examples folder>\n");
        return 2;
    }
    const QDir out(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
    const QString examples =
        QDir::cleanPath(QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath());
    const QString key = QDir(examples).filePath(QStringLiteral("example.key"));
    if (!QFileInfo::exists(key) || !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "%s not found or %s not writable\n", qPrintable(key),
                     qPrintable(out.path()));
        return 1;
    }
    QTemporaryDir work;
    if (!work.isValid()) {
        return 1;
    }
    // Settings and the drive list of their own, so that the pictures do not
    // depend on this machine's mounts or on the user's settings.
    const QString table = work.filePath(QStringLiteral("mounts"));
    QFile mounts(table);
    if (!mounts.open(QIODevice::WriteOnly) || mounts.write("/dev/sda1 / ext4 rw 0 0\n") < 0) {
        return 1;
    }
    mounts.close();
    qputenv("VEKDC_MOUNT_TABLE", QFile::encodeName(table));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(work.filePath(QStringLiteral("config"))));
    const QString output = work.filePath(QStringLiteral("decoded"));
    QDir().mkpath(output);

    vekdc::InstallTranslations(vekdc::platform::ui_language());
    vekdc::platform::ScopedRecorder recorder;
    recorder->setNextFile(QFile::encodeName(key).toStdString());

    vekdc::CVekDCApp app;
    if (!app.InitInstance({})) {
        return 1;
    }
    vekdc::CMainFrame* frame = app.GetMainWnd();
    frame->resize(960, 600);
    if (!QTest::qWaitForWindowExposed(frame)) {
        return 1;
    }
    QTest::qWait(300);
    bool ok = SaveWindow(frame, out.filePath(QStringLiteral("vekdc-start.png")));

    vekdc::CLeftView* tree = frame->GetLeftView();
    vekdc::CVekDCView* panel = frame->GetDecodeView();
    QTreeWidgetItem* folder = ExpandTo(tree, examples);
    if (folder == nullptr) {
        std::fprintf(stderr, "%s is not in the tree\n", qPrintable(examples));
        return 1;
    }
    tree->setFocus();
    tree->setCurrentItem(folder);
    QTest::keyClick(tree, Qt::Key_F2);  // reveal the panel
    // Space on each encrypted file lists it; the last one stays selected.
    for (int i = 0; i < folder->childCount(); ++i) {
        QTreeWidgetItem* child = folder->child(i);
        if (vekdc::CLeftView::IsEncryptedPath(child->text(0))) {
            tree->setCurrentItem(child);
            QTest::keyClick(tree, Qt::Key_Space);
        }
    }
    static_cast<QLineEdit*>(panel->GetDlgItem(vekdc::CVekDCView::IDC_OUT_DIR))->setText(output);
    QTest::qWait(200);

    const QString decodePicture = out.filePath(QStringLiteral("vekdc-decode.png"));
    QObject::connect(panel, &vekdc::CVekDCView::progressChanged, frame, [&](int percent) {
        if (percent == 100) {
            ok = SaveWindow(frame, decodePicture) && ok;
        }
    });
    QTest::keyClick(tree, Qt::Key_F5);
    return ok && QFileInfo::exists(decodePicture) ? 0 : 1;
}
