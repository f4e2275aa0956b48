// The desktop's ways in: the vekdc command line (--help, --version, --add)
// and files or folders dropped on the window.
#include <sys/stat.h>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <fstream>

#include "desktop/document.h"
#include "gui_test_support.h"
#include "vekdc/version.h"
#include "window/qt/application.h"
#include "window/qt/decode_panel.h"
#include "window/qt/main_window.h"

using namespace vekdc;
using namespace vekdc::test;

namespace {

// Delivers a drop as the window system does: to the first widget from
// `target` upwards that accepts drops.
bool DropOn(QWidget* target, const QList<QUrl>& urls) {
    QWidget* receiver = target;
    while (receiver != nullptr && !receiver->acceptDrops()) {
        receiver = receiver->parentWidget();
    }
    if (receiver == nullptr) {
        return false;
    }
    QMimeData data;
    data.setUrls(urls);
    const QPoint centre = receiver->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(receiver, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(centre), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(receiver, &drop);
    return drop.isAccepted();
}

bool PanelShown(CMainFrame* frame) {
    return frame->m_wndSplitter->sizes().value(1) > 0;
}

}  // namespace

class TestDesktop : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { ClearSettings(); }

    void answersOnTheTerminalWithoutADisplay_data();
    void answersOnTheTerminalWithoutADisplay();
    void addPutsFilesIntoTheListAfterTheKeyDialog();
    void dropsJoinTheList_data();
    void dropsJoinTheList();
    void dropsWaitWhileADecodeRuns();
    void dropsKeepNamesThatAreNotUtf8();

private:
    QString Path(const QString& name) const { return m_folder.filePath(name); }

    ScratchDir m_folder;
};

void TestDesktop::initTestCase() {
    QVERIFY(m_folder.isValid());
    // drop/: two encrypted files, a plain one, a subfolder and a hidden file.
    QVERIFY(QDir().mkpath(Path(QStringLiteral("drop/sub"))));
    for (const char* name : {"drop/b.vek", "drop/A.vek", "drop/plain.txt", "drop/sub/deep.vek",
                             "drop/.hidden.vek", "single.vek", "other.txt"}) {
        QVERIFY(WriteFile(Path(QString::fromUtf8(name)), SampleBytes(40, 1)));
    }
    QVERIFY(mkfifo(QFile::encodeName(Path(QStringLiteral("pipe.vek"))).constData(), 0600) == 0);
}

void TestDesktop::answersOnTheTerminalWithoutADisplay_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("errors");
    QTest::newRow("help") << QStringLiteral("--help") << 0 << QStringLiteral("--add FILE")
                          << QString();
    QTest::newRow("version") << QStringLiteral("--version") << 0
                             << QStringLiteral("vekdc " VEKDC_VERSION "\n") << QString();
    QTest::newRow("unknown") << QStringLiteral("--nonsense") << 1 << QString()
                             << QStringLiteral("nonsense");
}

void TestDesktop::answersOnTheTerminalWithoutADisplay() {
    QFETCH(QString, option);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, errors);

    // With no display a window could not even be created.
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process.setProcessEnvironment(environment);
    QStringList arguments{option};
    if (option == QStringLiteral("--nonsense")) {
        arguments.prepend(QStringLiteral("--add"));
    }
    process.start(QStringLiteral(VEKDC_PROGRAM), arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    if (output.isEmpty()) {
        QVERIFY2(out.isEmpty(), qPrintable(out));
    } else if (option == QStringLiteral("--help")) {
        QVERIFY2(out.contains(QStringLiteral("--add")) && out.contains(QStringLiteral("FILE")),
                 qPrintable(out));
    } else {
        QCOMPARE(out, output);
    }
    QVERIFY2(errors.isEmpty() ? err.isEmpty() : err.contains(errors), qPrintable(err));
}

void TestDesktop::addPutsFilesIntoTheListAfterTheKeyDialog() {
    const QString key = WriteKey(Path(QStringLiteral("add.key")), 1);
    AppSession session(key);
    QVERIFY(session.started());
    // The key dialog came first, as at every start.
    QCOMPARE(session.recorder().dialogs.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(session.doc()->m_strKeyPath), key);
    QVERIFY(session.expose());
    QVERIFY(!PanelShown(session.frame()));

    session.app().AddToInputList({QFile::encodeName(Path(QStringLiteral("single.vek"))),
                                  QFile::encodeName(Path(QStringLiteral("drop/b.vek"))),
                                  QFile::encodeName(Path(QStringLiteral("single.vek")))});
    QCOMPARE(session.panel()->GetFileListEntries(),
             (QStringList{Path(QStringLiteral("drop/b.vek")), Path(QStringLiteral("single.vek"))}));
    QVERIFY(PanelShown(session.frame()));
    QVERIFY(session.recorder().boxes.empty());
}

void TestDesktop::dropsJoinTheList_data() {
    QTest::addColumn<bool>("onTheList");
    QTest::addColumn<QStringList>("dropped");  // names under the folder; "http:" a web address
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("status");

    const QString ignored1 =
        QStringLiteral("ファイルでもフォルダでもないもの 1 個を無視しました。");
    for (bool list : {false, true}) {
        const char* where = list ? " on the list" : " on the window";
        QTest::addRow("file%s", where) << list << QStringList{QStringLiteral("single.vek")}
                                       << QStringList{QStringLiteral("single.vek")} << QString();
        QTest::addRow("any file%s", where) << list << QStringList{QStringLiteral("other.txt")}
                                           << QStringList{QStringLiteral("other.txt")} << QString();
        QTest::addRow("folder%s", where)
            << list << QStringList{QStringLiteral("drop")}
            << QStringList{QStringLiteral("drop/A.vek"), QStringLiteral("drop/b.vek")} << QString();
        QTest::addRow("twice%s", where)
            << list << QStringList{QStringLiteral("drop"), QStringLiteral("DROP/b.vek")}
            << QStringList{QStringLiteral("drop/A.vek"), QStringLiteral("drop/b.vek")} << ignored1;
        QTest::addRow("missing%s", where)
            << list << QStringList{QStringLiteral("gone.vek"), QStringLiteral("single.vek")}
            << QStringList{QStringLiteral("single.vek")} << ignored1;
        QTest::addRow("pipe%s", where)
            << list << QStringList{QStringLiteral("pipe.vek")} << QStringList{} << ignored1;
        QTest::addRow("web address%s", where)
            << list << QStringList{QStringLiteral("http:"), QStringLiteral("http:")}
            << QStringList{}
            << QStringLiteral("ファイルでもフォルダでもないもの 2 個を無視しました。");
    }
}

void TestDesktop::dropsJoinTheList() {
    QFETCH(bool, onTheList);
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, listed);
    QFETCH(QString, status);

    AppSession session;
    QVERIFY(session.expose());
    session.frame()->SetPaneText(0, QString());
    QList<QUrl> urls;
    for (const QString& name : dropped) {
        urls << (name == QStringLiteral("http:") ? QUrl(QStringLiteral("http://example.org/a.vek"))
                                                 : QUrl::fromLocalFile(Path(name)));
    }
    QWidget* target = onTheList ? session.panel()->GetDlgItem(CVekDCView::IDC_FILE_LIST)
                                : static_cast<QWidget*>(session.frame());
    QVERIFY(DropOn(target, urls));

    QStringList expected;
    for (const QString& name : listed) {
        expected << Path(name);
    }
    QCOMPARE(session.panel()->GetFileListEntries(), expected);
    QCOMPARE(session.frame()->GetPaneText(0), status);
    QVERIFY(PanelShown(session.frame()));
}

void TestDesktop::dropsWaitWhileADecodeRuns() {
    AppSession session;
    session.doc()->m_bDecoding = 1;
    QVERIFY(DropOn(session.frame(), {QUrl::fromLocalFile(Path(QStringLiteral("single.vek")))}));
    QVERIFY(session.panel()->GetFileListEntries().isEmpty());
    QCOMPARE(session.frame()->GetPaneText(0), QStringLiteral("現在、デコード実行中です。"));
    session.doc()->m_bDecoding = 0;
}

void TestDesktop::dropsKeepNamesThatAreNotUtf8() {
    const QByteArray folder = QFile::encodeName(Path(QStringLiteral("raw")));
    QVERIFY(QDir().mkpath(Path(QStringLiteral("raw"))));
    const QByteArray file = folder + "/bad\xff.vek";
    {
        std::ofstream out(file.toStdString(), std::ios::binary);
        out << "not checked until the decode";
    }
    // As a file manager sends it: the byte percent-encoded in the address.
    const QUrl url = QUrl::fromEncoded("file://" + folder.toPercentEncoding("/") + "/bad%FF.vek");
    AppSession session;
    QVERIFY(DropOn(session.frame(), {url}));
    QCOMPARE(session.panel()->GetFileListPaths(), QList<QByteArray>{file});
    QCOMPARE(session.panel()->GetFileListEntries(),
             QStringList{Path(QStringLiteral("raw/bad\\xff.vek"))});
    // A dropped folder gives it too.
    session.panel()->ClearFileList();
    QVERIFY(DropOn(session.frame(), {QUrl::fromLocalFile(Path(QStringLiteral("raw")))}));
    QCOMPARE(session.panel()->GetFileListPaths(), QList<QByteArray>{file});
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
