// The tree's commands: Enter, Space, F2, F5 and the right double-click.
#include <QLineEdit>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>

#include "desktop/document.h"
#include "gui_test_support.h"
#include "window/qt/application.h"
#include "window/qt/decode_panel.h"
#include "window/qt/drive_tree.h"
#include "window/qt/main_window.h"

using namespace vekdc;
using namespace vekdc::test;

namespace {

const QString kEmptyList =
    QStringLiteral("入力ファイルリストが空です。デコードするファイルをリストに追加して下さい。");
const QString kNoOutDir = QStringLiteral("出力先を設定して下さい。");

QStringList Texts(const platform::RecordingServices& recorder) {
    QStringList texts;
    for (const auto& box : recorder.boxes) {
        texts << QString::fromStdString(box.text);
    }
    return texts;
}

bool Touch(const QString& path) {
    return WriteFile(path, "not really encrypted");
}

}  // namespace

class TestTreeCommands : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_session.reset(); }

    void enterWithoutSelectionSaysNull();
    void enterOnAFolderCollectsOneLevel();
    void enterOnAFolderNamedLikeAnEncryptedFileTakesEverything();
    void spaceAddsAnEncryptedFileOnce();
    void f2NarrowsAndWidensTheTree_data();
    void f2NarrowsAndWidensTheTree();
    void f5StartsLikeTheButton();
    void rightDoubleClickNeedsTheSelectedLabel();
    void rightDoubleClickAnsweredNoChangesNothing();
    void rightDoubleClickOnAFileDoesNotAsk();
    void rightDoubleClickWhileDecodingRefuses();

private:
    CLeftView* tree() const { return m_session->tree(); }
    CVekDCView* panel() const { return m_session->panel(); }
    platform::RecordingServices& recorder() { return m_session->recorder(); }
    QLineEdit* outDir() const {
        return qobject_cast<QLineEdit*>(panel()->GetDlgItem(CVekDCView::IDC_OUT_DIR));
    }
    // Selects the item of a path; the recorder forgets what came before.
    QTreeWidgetItem* Select(const QString& path) {
        QTreeWidgetItem* item = ExpandTo(tree(), path);
        tree()->setCurrentItem(item);
        recorder().boxes.clear();
        return item;
    }

    QTemporaryDir m_folder;
    std::unique_ptr<AppSession> m_session;
};

void TestTreeCommands::init() {
    ClearSettings();
    m_session = std::make_unique<AppSession>();
    QVERIFY(m_session->expose());
    // No decode reaches the engine here: an empty output box stops it first.
    outDir()->clear();
    recorder().boxes.clear();
}

void TestTreeCommands::enterWithoutSelectionSaysNull() {
    tree()->clearSelection();
    QTest::keyClick(tree(), Qt::Key_Return);
    QCOMPARE(Texts(recorder()), (QStringList{QStringLiteral("NULL "), kEmptyList}));
    QCOMPARE(recorder().boxes.front().caption, std::string(platform::kAppTitle));
    QVERIFY(panel()->GetFileListEntries().isEmpty());
}

void TestTreeCommands::enterOnAFolderCollectsOneLevel() {
    const QString folder = m_folder.filePath(QStringLiteral("one"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
    QVERIFY(Touch(folder + QStringLiteral("/report.vek")));
    QVERIFY(Touch(folder + QStringLiteral("/notes.txt")));
    QVERIFY(Touch(folder + QStringLiteral("/sub/inner.vek")));
    QTreeWidgetItem* item = Select(folder);
    QTest::keyClick(tree(), Qt::Key_Return);
    QCOMPARE(panel()->GetFileListEntries(), QStringList{folder + QStringLiteral("/report.vek")});
    QCOMPARE(Texts(recorder()), QStringList{kNoOutDir});
    QVERIFY(item->isExpanded());
    QCOMPARE(ChildLabels(item), (QStringList{QStringLiteral("report.vek"), QStringLiteral("sub")}));
}

void TestTreeCommands::enterOnAFolderNamedLikeAnEncryptedFileTakesEverything() {
    const QString folder = m_folder.filePath(QStringLiteral("c.vek"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
    QVERIFY(Touch(folder + QStringLiteral("/report.vek")));
    QVERIFY(Touch(folder + QStringLiteral("/notes.txt")));
    Select(folder);
    QTest::keyClick(tree(), Qt::Key_Return);
    QCOMPARE(panel()->GetFileListEntries(),
             (QStringList{folder, folder + QStringLiteral("/report.vek"),
                          folder + QStringLiteral("/sub")}));
    QCOMPARE(Texts(recorder()), QStringList{kNoOutDir});
}

void TestTreeCommands::spaceAddsAnEncryptedFileOnce() {
    const QString folder = m_folder.filePath(QStringLiteral("space"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(Touch(folder + QStringLiteral("/a.vek")));
    Select(folder + QStringLiteral("/a.vek"));
    QTest::keyClick(tree(), Qt::Key_Space);
    QTest::keyClick(tree(), Qt::Key_Space);
    QCOMPARE(panel()->GetFileListEntries(), QStringList{folder + QStringLiteral("/a.vek")});

    Select(folder);  // a folder is not an encrypted file
    QTest::keyClick(tree(), Qt::Key_Space);
    tree()->clearSelection();
    QTest::keyClick(tree(), Qt::Key_Space);
    QCOMPARE(panel()->GetFileListEntries().size(), 1);
    QVERIFY(recorder().boxes.empty());
}

void TestTreeCommands::f2NarrowsAndWidensTheTree_data() {
    QTest::addColumn<QByteArray>("mounts");
    QTest::addColumn<bool>("longNames");
    QTest::newRow("short names: 200 pixels") << QByteArray("/dev/sda1 / ext4 rw 0 0\n") << false;
    // The tree stays wide enough for its names.
    QTest::newRow("a long name")
        << QByteArray("/dev/sda1 / ext4 rw 0 0\nserver:/x /mnt/documents_share nfs rw 0 0\n")
        << true;
}

void TestTreeCommands::f2NarrowsAndWidensTheTree() {
    QFETCH(QByteArray, mounts);
    QFETCH(bool, longNames);
    const QString table = m_folder.filePath(QStringLiteral("mounts"));
    QVERIFY(WriteFile(table, mounts));
    qputenv("VEKDC_MOUNT_TABLE", QFile::encodeName(table));
    m_session = std::make_unique<AppSession>();
    qunsetenv("VEKDC_MOUNT_TABLE");
    QVERIFY(m_session->expose());
    QSplitter* splitter = m_session->frame()->m_wndSplitter;
    const int full = splitter->width() - splitter->handleWidth();
    QCOMPARE(splitter->sizes(), (QList<int>{full, 0}));

    QTest::keyClick(tree(), Qt::Key_F2);
    const int narrow = splitter->sizes()[0];
    if (longNames) {
        QTreeWidgetItem* longest = tree()->topLevelItem(1);
        const int needed = tree()->GetItemTextRect(longest).right() + 2 * tree()->frameWidth();
        QVERIFY2(narrow >= needed && narrow <= full / 2 + 10,
                 qPrintable(QStringLiteral("%1 for %2").arg(narrow).arg(needed)));
    } else {
        QVERIFY2(narrow >= 191 && narrow <= 200, qPrintable(QString::number(narrow)));
    }
    QCOMPARE(splitter->sizes()[1], full - narrow);
    QVERIFY(panel()->isVisible() && panel()->width() > 0);

    QTest::keyClick(tree(), Qt::Key_F2);
    QCOMPARE(splitter->sizes(), (QList<int>{full, 0}));
    QVERIFY(recorder().boxes.empty());
}

void TestTreeCommands::f5StartsLikeTheButton() {
    QTest::keyClick(tree(), Qt::Key_F5);  // with the panel still hidden
    QCOMPARE(Texts(recorder()), QStringList{kEmptyList});
    panel()->AddFileToList(QStringLiteral("/x/y.vek"));
    QTest::keyClick(tree(), Qt::Key_F5);
    QCOMPARE(Texts(recorder()), (QStringList{kEmptyList, kNoOutDir}));
    QCOMPARE(recorder().boxes.back().caption, std::string(platform::kDecoderCaption));
}

void TestTreeCommands::rightDoubleClickNeedsTheSelectedLabel() {
    const QString folder = m_folder.filePath(QStringLiteral("rdbl"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/other")));
    QVERIFY(Touch(folder + QStringLiteral("/z.vek")));
    QTreeWidgetItem* item = Select(folder);
    QTreeWidgetItem* other = ChildNamed(tree(), item, QStringLiteral("other"));
    const QRect label = tree()->GetItemTextRect(item);
    QVERIFY(!label.isEmpty());

    const QPoint offLabel[] = {QPoint(label.right() + 30, label.center().y()),
                               QPoint(label.left() - 20, label.center().y()),
                               QPoint(label.center().x(), tree()->viewport()->height() - 3),
                               tree()->GetItemTextRect(other).center()};
    for (const QPoint& point : offLabel) {
        QTest::mouseDClick(tree()->viewport(), Qt::RightButton, {}, point);
    }
    QVERIFY(recorder().boxes.empty());
    QCOMPARE(tree()->GetSelectedItem(), item);  // a right click does not select
    QVERIFY(panel()->GetFileListEntries().isEmpty());

    // The label's edge counts as inside.
    recorder().setNextAnswer(platform::Answer::No);
    QTest::mouseDClick(tree()->viewport(), Qt::RightButton, {}, label.topLeft());
    QCOMPARE(Texts(recorder()),
             QStringList{QStringLiteral("[%1]以下を\nすべてデコードしますか？").arg(folder)});
}

void TestTreeCommands::rightDoubleClickAnsweredNoChangesNothing() {
    const QString folder = m_folder.filePath(QStringLiteral("answer"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(Touch(folder + QStringLiteral("/q.vek")));
    QTreeWidgetItem* item = Select(folder);
    panel()->AddFileToList(QStringLiteral("/earlier/entry.vek"));
    recorder().setNextAnswer(platform::Answer::No);
    QTest::mouseDClick(tree()->viewport(), Qt::RightButton, {},
                       tree()->GetItemTextRect(item).center());
    QCOMPARE(recorder().boxes.size(), std::size_t{1});
    QCOMPARE(recorder().boxes.front().buttons, platform::Buttons::YesNo);
    QCOMPARE(panel()->GetFileListEntries(), QStringList{QStringLiteral("/earlier/entry.vek")});

    // Yes collects the folder's files and starts, keeping the earlier entry.
    recorder().setNextAnswer(platform::Answer::Yes);
    QTest::mouseDClick(tree()->viewport(), Qt::RightButton, {},
                       tree()->GetItemTextRect(item).center());
    QCOMPARE(panel()->GetFileListEntries(), (QStringList{QStringLiteral("/earlier/entry.vek"),
                                                         folder + QStringLiteral("/q.vek")}));
    QCOMPARE(Texts(recorder()).back(), kNoOutDir);
}

void TestTreeCommands::rightDoubleClickOnAFileDoesNotAsk() {
    const QString folder = m_folder.filePath(QStringLiteral("file"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(Touch(folder + QStringLiteral("/f.vek")));
    QTreeWidgetItem* item = Select(folder + QStringLiteral("/f.vek"));
    QTest::mouseDClick(tree()->viewport(), Qt::RightButton, {},
                       tree()->GetItemTextRect(item).center());
    QCOMPARE(Texts(recorder()), QStringList{kNoOutDir});
    QCOMPARE(panel()->GetFileListEntries(), QStringList{folder + QStringLiteral("/f.vek")});
}

void TestTreeCommands::rightDoubleClickWhileDecodingRefuses() {
    QTreeWidgetItem* item = Select(m_folder.path());
    m_session->doc()->m_bDecoding = 1;
    QTest::mouseDClick(tree()->viewport(), Qt::RightButton, {},
                       tree()->GetItemTextRect(item).center());
    m_session->doc()->m_bDecoding = 0;
    QCOMPARE(Texts(recorder()), QStringList{QStringLiteral("現在、デコード実行中です。")});
    QCOMPARE(recorder().boxes.front().caption, std::string(platform::kDecoderCaption));
    QCOMPARE(recorder().boxes.front().icon, platform::Icon::Information);
    QVERIFY(panel()->GetFileListEntries().isEmpty());
}

QTEST_MAIN(TestTreeCommands)
#include "tst_tree_commands.moc"
