// The drive tree: drives, lazy folder listing, the ".vek" filter, selection,
// label editing and the colours from the settings.
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include "desktop/document.h"
#include "gui_test_support.h"
#include "vekdc/version.h"
#include "window/qt/application.h"
#include "window/qt/decode_panel.h"
#include "window/qt/drive_tree.h"
#include "window/qt/main_window.h"

using namespace vekdc;
using namespace vekdc::test;

namespace {

QString Setting(const QString& key) {
    return QSettings(QStringLiteral("Orvinta"), QStringLiteral("VekDC")).value(key).toString();
}

void SetSetting(const QString& key, const QString& value) {
    QSettings settings(QStringLiteral("Orvinta"), QStringLiteral("VekDC"));
    settings.setValue(key, value);
    settings.sync();
}

bool Touch(const QString& path) {
    return WriteFile(path, "x");
}

int Image(QTreeWidgetItem* item) {
    return item->data(0, CLeftView::kImageRole).toInt();
}
int SelectedImage(QTreeWidgetItem* item) {
    return item->data(0, CLeftView::kSelectedImageRole).toInt();
}
// Whether the model has listed the folder behind an item.
bool Filled(CLeftView* tree, QTreeWidgetItem* item) {
    return tree->Core().node(tree->NodeOf(item)).filled;
}

}  // namespace

class TestTree : public QObject {
    Q_OBJECT

private slots:
    void init() { ClearSettings(); }
    void cleanup() { qunsetenv("VEKDC_MOUNT_TABLE"); }

    void listsTheDrivesOnce();
    void showsFoldersAndEncryptedFilesSortedTogether();
    void listsAFolderOnlyOnce();
    void recordsTheSelection();
    void neverTakesAnEditedLabel();
    void appliesTheColoursFromTheSettings_data();
    void appliesTheColoursFromTheSettings();
    void reappliesTheColoursAtANewDocument();
};

void TestTree::listsTheDrivesOnce() {
    QTemporaryDir folder;
    const QString table = folder.filePath(QStringLiteral("mounts"));
    QVERIFY(WriteFile(table,
                      "tmpfs /mnt/ram tmpfs rw 0 0\n"
                      "/dev/sr0 /media/cd iso9660 ro 0 0\n"
                      "server:/x /mnt/net nfs rw 0 0\n"
                      "/dev/sda1 / ext4 rw 0 0\n"));
    qputenv("VEKDC_MOUNT_TABLE", table.toUtf8());
    AppSession session;
    CLeftView* tree = session.tree();

    QStringList labels;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* drive = tree->topLevelItem(i);
        labels << drive->text(0);
        QCOMPARE(ChildLabels(drive), QStringList{QStringLiteral("DUMY")});
        QVERIFY(!Filled(tree, drive));
    }
    QCOMPARE(
        labels,
        (QStringList{QStringLiteral("/ (HARD-DISK)"), QStringLiteral("/media/cd (CD-ROM)"),
                     QStringLiteral("/mnt/net (REMOTE)"), QStringLiteral("/mnt/ram (ETC-DRIVE)")}));
    const int expectedImages[] = {CLeftView::kImageDrive, CLeftView::kImageCdRom,
                                  CLeftView::kImageRemovable, CLeftView::kImageDrive};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(Image(tree->topLevelItem(i)), expectedImages[i]);
        QCOMPARE(SelectedImage(tree->topLevelItem(i)), expectedImages[i] + 1);
    }
    QTreeWidgetItem* root = RootDrive(tree);
    QCOMPARE(root, tree->topLevelItem(0));

    // A new document keeps the tree as it is, drives attached since included.
    root->setExpanded(true);
    QVERIFY(WriteFile(table, "/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 /media/new vfat rw 0 0\n"));
    session.recorder().setNextFile(std::string());
    session.app().OnFileNew();
    QCOMPARE(tree->topLevelItemCount(), 4);
    QCOMPARE(RootDrive(tree), root);
    QVERIFY(root->isExpanded());
}

void TestTree::showsFoldersAndEncryptedFilesSortedTogether() {
    QTemporaryDir folder;
    for (const char* name : {"report.vek", "a.vek.bak", "data.vekx", "zeta.vek", "REPORT.VEK",
                             "notes.txt", ".hidden.vek"}) {
        QVERIFY(Touch(folder.filePath(QString::fromLatin1(name))));
    }
    for (const char* name : {"Beta", "alpha", ".config", "gamma.VEK"}) {
        QVERIFY(QDir(folder.path()).mkdir(QString::fromLatin1(name)));
    }
    AppSession session;
    QTreeWidgetItem* item = ExpandTo(session.tree(), folder.path());
    QVERIFY(item != nullptr);
    QCOMPARE(ChildLabels(item), QStringList{QStringLiteral("DUMY")});
    item->setExpanded(true);
    QCOMPARE(
        ChildLabels(item),
        (QStringList{QStringLiteral("a.vek.bak"), QStringLiteral("alpha"), QStringLiteral("Beta"),
                     QStringLiteral("data.vekx"), QStringLiteral("gamma.VEK"),
                     QStringLiteral("report.vek"), QStringLiteral("zeta.vek")}));
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        const bool folderItem = QFileInfo(folder.filePath(child->text(0))).isDir();
        QCOMPARE(Image(child), folderItem ? CLeftView::kImageFolder : CLeftView::kImageEncrypted);
        QCOMPARE(SelectedImage(child),
                 folderItem ? CLeftView::kImageFolderSelected : CLeftView::kImageEncryptedSelected);
        // Every item first shows as expandable.
        QCOMPARE(ChildLabels(child), QStringList{QStringLiteral("DUMY")});
    }
}

void TestTree::listsAFolderOnlyOnce() {
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("box")));
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("gone")));
    QVERIFY(Touch(folder.filePath(QStringLiteral("box/one.vek"))));
    QVERIFY(Touch(folder.filePath(QStringLiteral("file.vek"))));
    AppSession session;
    CLeftView* tree = session.tree();
    QTreeWidgetItem* parent = ExpandTo(tree, folder.path());
    QTreeWidgetItem* box = ChildNamed(tree, parent, QStringLiteral("box"));
    QVERIFY(box != nullptr);
    QVERIFY(!Filled(tree, box));
    box->setExpanded(true);
    QCOMPARE(ChildLabels(box), QStringList{QStringLiteral("one.vek")});
    QVERIFY(Filled(tree, box));

    // Later changes on disk do not show: the folder is not listed again.
    QVERIFY(Touch(folder.filePath(QStringLiteral("box/two.vek"))));
    box->setExpanded(false);
    box->setExpanded(true);
    tree->FillChildren(box);
    QCOMPARE(ChildLabels(box), QStringList{QStringLiteral("one.vek")});

    // An encrypted file, or a folder that no longer exists, ends up empty.
    QTreeWidgetItem* file = ChildNamed(tree, parent, QStringLiteral("file.vek"));
    file->setExpanded(true);
    QCOMPARE(file->childCount(), 0);
    QVERIFY(QDir(folder.path()).rmdir(QStringLiteral("gone")));
    QTreeWidgetItem* gone = ChildNamed(tree, parent, QStringLiteral("gone"));
    gone->setExpanded(true);
    QCOMPARE(gone->childCount(), 0);
    QVERIFY(Filled(tree, gone));
}

void TestTree::recordsTheSelection() {
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("a[*]b")));
    AppSession session;
    QVERIFY(session.expose());
    CLeftView* tree = session.tree();

    QTreeWidgetItem* root = RootDrive(tree);
    tree->setCurrentItem(root);
    QCOMPARE(session.doc()->m_strSelectedPath, std::string("/"));
    QCOMPARE(session.frame()->windowTitle(),
             QStringLiteral("Orvinta VEK Decoder Version " VEKDC_VERSION "  <</ (HARD-DISK)>>"));

    QTreeWidgetItem* odd = ExpandTo(tree, folder.filePath(QStringLiteral("a[*]b")));
    tree->setCurrentItem(odd);
    QCOMPARE(QString::fromStdString(session.doc()->m_strSelectedPath),
             folder.filePath(QStringLiteral("a[*]b")));
    QCOMPARE(session.frame()->windowHandle()->title(),
             QStringLiteral("Orvinta VEK Decoder Version " VEKDC_VERSION "  <<a[*]b>>"));

    // A new document gives the window its usual title again.
    session.app().OnFileNew();
    QCOMPARE(session.frame()->windowTitle(), QStringLiteral("無題 - VekDC"));
}

void TestTree::neverTakesAnEditedLabel() {
    QTemporaryDir folder;
    QVERIFY(Touch(folder.filePath(QStringLiteral("keep.vek"))));
    AppSession session;
    QVERIFY(session.expose());
    session.frame()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(session.frame()));
    CLeftView* tree = session.tree();
    QTreeWidgetItem* item =
        ChildNamed(tree, ExpandTo(tree, folder.path()), QStringLiteral("keep.vek"));
    tree->setCurrentItem(item);
    tree->editItem(item);
    QPointer<QLineEdit> editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor != nullptr);
    editor->selectAll();
    QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QStringLiteral("新"),
                        Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QStringLiteral("名"),
                        Qt::NoModifier);
    QCOMPARE(editor->text(), QStringLiteral("新名"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(editor.isNull());  // the edit has ended
    QCOMPARE(item->text(0), QStringLiteral("keep.vek"));
    // The Enter that ended the edit was no tree command.
    QVERIFY(session.recorder().boxes.empty());
    QVERIFY(session.panel()->GetFileListEntries().isEmpty());
}

void TestTree::appliesTheColoursFromTheSettings_data() {
    QTest::addColumn<QString>("back");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("expectedBack");
    QTest::addColumn<QColor>("expectedText");
    QTest::addColumn<QString>("storedBack");
    const QColor white(255, 255, 255);
    const QColor black(0, 0, 0);
    const QColor systemBase = QApplication::palette("QTreeView").color(QPalette::Base);
    const QColor systemText = QApplication::palette("QTreeView").color(QPalette::Text);
    // "<missing>" leaves the value out of the settings.
    QTest::newRow("missing") << "<missing>"
                             << "<missing>" << white << black << "00ffffff";
    QTest::newRow("empty") << ""
                           << "" << white << black << "00ffffff";
    QTest::newRow("colour values")
        << "000000ff"
        << "0000ff00" << QColor(255, 0, 0) << QColor(0, 255, 0) << "000000ff";
    QTest::newRow("prefix and blank")
        << " 0x00ff0000"
        << "80" << QColor(0, 0, 255) << QColor(128, 0, 0) << " 0x00ff0000";
    QTest::newRow("system colours") << "ffffffff"
                                    << "-1" << systemBase << systemText << "ffffffff";
    QTest::newRow("unreadable") << "zz"
                                << "none" << white << black << "zz";
    QTest::newRow("trailing text") << "123456 junk"
                                   << "0" << QColor(0x56, 0x34, 0x12) << black << "123456 junk";
}

void TestTree::appliesTheColoursFromTheSettings() {
    QFETCH(QString, back);
    QFETCH(QString, text);
    QFETCH(QColor, expectedBack);
    QFETCH(QColor, expectedText);
    QFETCH(QString, storedBack);
    if (back != QStringLiteral("<missing>")) {
        SetSetting(QStringLiteral("CLeftView/PaneColorLBack"), back);
        SetSetting(QStringLiteral("CLeftView/PaneColorLText"), text);
    }
    AppSession session;
    QCOMPARE(session.tree()->palette().color(QPalette::Base), expectedBack);
    QCOMPARE(session.tree()->palette().color(QPalette::Text), expectedText);
    QCOMPARE(Setting(QStringLiteral("CLeftView/PaneColorLBack")), storedBack);
    if (back.isEmpty() || back == QStringLiteral("<missing>")) {
        QCOMPARE(Setting(QStringLiteral("CLeftView/PaneColorLText")), QStringLiteral("00000000"));
    }
}

void TestTree::reappliesTheColoursAtANewDocument() {
    AppSession session;
    SetSetting(QStringLiteral("CLeftView/PaneColorLBack"), QStringLiteral("00203040"));
    QCOMPARE(session.tree()->palette().color(QPalette::Base), QColor(255, 255, 255));
    session.app().OnFileNew();
    QCOMPARE(session.tree()->palette().color(QPalette::Base), QColor(0x40, 0x30, 0x20));
}

QTEST_MAIN(TestTree)
#include "tst_tree.moc"
