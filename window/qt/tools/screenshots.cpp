// vekdc-screenshots: saves pictures of the window for the documentation.
//   vekdc-screenshots [--font FAMILY] [--system-font-size POINTS]
//                     <output folder> <examples folder>
// Starts the application with the key <examples folder>/example.key in the
// language of the locale (LANGUAGE, LC_ALL, LANG) and the dialog font FAMILY
// (default "Noto Sans CJK JP"), as with a system font of POINTS (default: the
// system's own), saves the window after start-up
// (vekdc-start.png), its version dialog (vekdc-version.png), then opens the
// panel, lists the folder's encrypted files and decodes them into a temporary
// folder, saving the window the moment the last file is done
// (vekdc-decode.png). Pictures of a language other than Japanese carry its
// name: vekdc-start-en.png, ... Dialogs and message boxes are answered
// without being shown. Run it under a display server (e.g. xvfb-run) for the
// real look.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLineEdit>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "desktop/file_names.h"
#include "platform/qt/qt_services.h"
#include "testing/recording_services.h"
#include "window/qt/application.h"
#include "window/qt/decode_panel.h"
#include "window/qt/drive_tree.h"
#include "window/qt/fonts.h"
#include "window/qt/language.h"
#include "window/qt/main_window.h"
#include "window/qt/version_dialog.h"

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
        if (tree->Core().node(tree->NodeOf(tree->topLevelItem(i))).name == "/") {
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
    QStringList arguments = QApplication::arguments().mid(1);
    QString family = QStringLiteral("Noto Sans CJK JP");
    qreal systemPoints = 0;
    while (arguments.size() > 2 && arguments[0].startsWith(QStringLiteral("--"))) {
        if (arguments[0] == QStringLiteral("--font")) {
            family = arguments[1];
        } else if (arguments[0] == QStringLiteral("--system-font-size")) {
            systemPoints = arguments[1].toDouble();
        } else {
            break;
        }
        arguments = arguments.mid(2);
    }
    if (arguments.size() != 2) {
        std::fprintf(stderr,
                     "usage: vekdc-screenshots [--font FAMILY] [--system-font-size POINTS] "
                     "<output folder> <examples folder>\n");
        return 2;
    }
    vekdc::SetSystemFontSize(systemPoints);
    if (!QFontDatabase::families().contains(family)) {
        std::fprintf(stderr, "the font %s is not installed\n", qPrintable(family));
        return 1;
    }
    vekdc::SetDialogFontFamily(family);
    const QDir out{QFileInfo(arguments[0]).absoluteFilePath()};
    const QString examples = QDir::cleanPath(QFileInfo(arguments[1]).absoluteFilePath());
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

    const vekdc::platform::Language language = vekdc::platform::ui_language();
    vekdc::InstallTranslations(language);
    const QString suffix =
        language == vekdc::platform::Language::Japanese ? QString() : QStringLiteral("-en");
    auto picture = [&](const char* name) {
        return out.filePath(QString::fromLatin1(name) + suffix + QStringLiteral(".png"));
    };
    vekdc::platform::ScopedRecorder recorder;
    recorder->setNextFile(QFile::encodeName(key).toStdString());

    vekdc::CVekDCApp app;
    if (!app.InitInstance(QStringList{})) {
        return 1;
    }
    vekdc::CMainFrame* frame = app.GetMainWnd();
    frame->resize(QSize(960, 600).expandedTo(frame->size()));
    if (!QTest::qWaitForWindowExposed(frame)) {
        return 1;
    }
    // As a window manager would: the window active, the tree with the focus.
    frame->activateWindow();
    if (!QTest::qWaitForWindowActive(frame)) {
        return 1;
    }
    frame->GetLeftView()->setFocus();
    QTest::qWait(300);
    bool ok = SaveWindow(frame, picture("vekdc-start"));

    vekdc::CVersionDlg about(frame);
    about.show();
    ok = QTest::qWaitForWindowExposed(&about) && SaveWindow(&about, picture("vekdc-version")) && ok;
    about.close();

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
        if (vekdc::desktop::is_encrypted_path(child->text(0).toStdString())) {
            tree->setCurrentItem(child);
            QTest::keyClick(tree, Qt::Key_Space);
        }
    }
    static_cast<QLineEdit*>(panel->GetDlgItem(vekdc::CVekDCView::IDC_OUT_DIR))->setText(output);
    QTest::qWait(200);

    const QString decodePicture = picture("vekdc-decode");
    QObject::connect(panel, &vekdc::CVekDCView::progressChanged, frame, [&](int percent) {
        if (percent == 100) {
            ok = SaveWindow(frame, decodePicture) && ok;
        }
    });
    QTest::keyClick(tree, Qt::Key_F5);
    return ok && QFileInfo::exists(decodePicture) ? 0 : 1;
}
