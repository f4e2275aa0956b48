// Start-up, the settings, the command line, new and open.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QSettings>
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

QSettings Settings() {
    return QSettings(QStringLiteral("Orvinta"), QStringLiteral("VekDC"));
}

QString Setting(const QString& key) {
    return Settings().value(key).toString();
}

QStringList RecentFiles() {
    QStringList files;
    for (int i = 1; i <= 8; ++i) {
        const QString file = Setting(QStringLiteral("Recent File List/File%1").arg(i));
        if (!file.isEmpty()) {
            files << file;
        }
    }
    return files;
}

// Notes whether the main window was already showing when a file dialog opened.
class WatchingRecorder : public platform::RecordingServices {
public:
    std::optional<std::string> open_file(const platform::FileDialogRequest& request) override {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<CMainFrame*>(widget) != nullptr && widget->isVisible()) {
                windowShownAtDialog = true;
            }
        }
        return RecordingServices::open_file(request);
    }
    bool windowShownAtDialog = false;
};

// Installs services for a scope, also when a check leaves the test early.
class Installed {
public:
    explicit Installed(platform::Services* services) : previous_(platform::install(services)) {}
    ~Installed() { platform::install(previous_); }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;

private:
    platform::Services* previous_;
};

QString OutDirText(CVekDCView* panel) {
    return qobject_cast<QLineEdit*>(panel->GetDlgItem(CVekDCView::IDC_OUT_DIR))->text();
}
QString KeyBoxText(CVekDCView* panel) {
    return qobject_cast<QLineEdit*>(panel->GetDlgItem(CVekDCView::IDC_KEY_PATH))->text();
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void init() { ClearSettings(); }

    void keyDialogComesBeforeTheWindow();
    void cancelledKeyDialogStillShowsTheWindow();
    void newStartWritesItsSettingsAtOnce();
    void ctrlNAsksForTheKeyAgain();
    void ctrlOOpensAFileAsTheDocument();
    void recentFileListKeepsSixEntries();
    void fileOnTheCommandLineBecomesTheDocument();
    void missingFileOnTheCommandLineEndsTheStart();
    void automationOptionsStartNothing_data();
    void automationOptionsStartNothing();

private:
    QTemporaryDir m_folder;
};

void TestStartup::keyDialogComesBeforeTheWindow() {
    const QString key = WriteKey(m_folder.filePath(QStringLiteral("start.key")), 1);
    WatchingRecorder recorder;
    const Installed installed(&recorder);  // put back whatever the checks below decide
    recorder.setNextFile(key.toStdString());
    {
        CVekDCApp app;
        QVERIFY(app.InitInstance(QStringList{}));
        QVERIFY(app.GetMainWnd()->isVisible());
        QCOMPARE(recorder.dialogs.size(), std::size_t{1});
        QVERIFY(!recorder.windowShownAtDialog);
        const platform::FileDialogRequest& dialog = recorder.dialogs.front();
        QCOMPARE(dialog.filter, std::string("Vekキーファイル|*.key|すべて|*.*||"));
        QCOMPARE(dialog.default_ext, std::string("key"));
        QVERIFY(dialog.initial_name.empty());
        QCOMPARE(QString::fromStdString(app.GetDocument()->m_strKeyPath), key);
        QCOMPARE(KeyBoxText(app.GetMainWnd()->GetDecodeView()), key);
        QCOMPARE(app.GetMainWnd()->GetPaneText(0),
                 QStringLiteral("キー「%1」が設定されました。").arg(key));
        QCOMPARE(app.GetMainWnd()->windowTitle(), QStringLiteral("無題 - VekDC"));
    }
}

void TestStartup::cancelledKeyDialogStillShowsTheWindow() {
    AppSession session;
    QVERIFY(session.started());
    QVERIFY(session.frame()->isVisible());
    QCOMPARE(session.frame()->GetPaneText(0), QStringLiteral("キーは設定されませんでした。"));
    QVERIFY(KeyBoxText(session.panel()).isEmpty());
    QVERIFY(session.doc()->m_strKeyPath.empty());
    QCOMPARE(session.doc()->m_pLeftView, &session.tree()->Core());
    QCOMPARE(session.doc()->m_pDecodeView, &session.panel()->Core());
}

void TestStartup::newStartWritesItsSettingsAtOnce() {
    QVERIFY(Settings().allKeys().isEmpty());
    AppSession session;
    // The settings live under the test's own configuration folder.
    const QString file =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Orvinta/VekDC.conf");
    QCOMPARE(Settings().fileName(), file);
    const QByteArray onDisk = ReadFile(file);
    QVERIFY2(onDisk.contains("[VekDCDoc]\nHomeDir=xxx"), onDisk.constData());
    QVERIFY2(onDisk.contains("PaneColorLBack=00ffffff"), onDisk.constData());
    QVERIFY2(onDisk.contains("PaneColorLText=00000000"), onDisk.constData());
}

void TestStartup::ctrlNAsksForTheKeyAgain() {
    const QString first = WriteKey(m_folder.filePath(QStringLiteral("first.key")), 1);
    const QString second = WriteKey(m_folder.filePath(QStringLiteral("second.key")), 2);
    AppSession session(first);
    QVERIFY(session.expose());
    QVERIFY(QTest::qWaitForWindowActive(session.frame()));
    CVekDCView* panel = session.panel();
    panel->AddFileToList(QStringLiteral("/kept/entry.vek"));
    qobject_cast<QLineEdit*>(panel->GetDlgItem(CVekDCView::IDC_OUT_DIR))
        ->setText(QStringLiteral("/elsewhere"));
    {
        QSettings settings = Settings();
        settings.setValue(QStringLiteral("VekDCDoc/HomeDir"), QStringLiteral("changed"));
    }

    session.recorder().setNextFile(second.toStdString());
    QTest::keyClick(session.frame(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(session.recorder().dialogs.size(), std::size_t{2});
    QCOMPARE(Setting(QStringLiteral("VekDCDoc/HomeDir")), QStringLiteral("xxx"));
    QCOMPARE(KeyBoxText(panel), second);
    QCOMPARE(QString::fromStdString(session.doc()->m_strKeyPath), second);
    QCOMPARE(OutDirText(panel), QDir::homePath());  // no desktop folder in the test's home
    QCOMPARE(panel->GetFileListEntries(), QStringList{QStringLiteral("/kept/entry.vek")});
    QCOMPARE(panel->PanelColor(), QColor(220, 200, 180));

    // Cancelled this time: the key stays, and the status says so.
    QTest::keyClick(session.frame(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(session.recorder().dialogs.size(), std::size_t{3});
    QCOMPARE(KeyBoxText(panel), second);
    QCOMPARE(
        session.frame()->GetPaneText(0),
        QStringLiteral("キーは変更されませんでした。以前のキー「%1」のままです。").arg(second));
}

void TestStartup::ctrlOOpensAFileAsTheDocument() {
    const QString file = m_folder.filePath(QStringLiteral("paper.doc"));
    QVERIFY(WriteFile(file, "contents that must stay"));
    AppSession session;
    QVERIFY(session.expose());
    QVERIFY(QTest::qWaitForWindowActive(session.frame()));
    qobject_cast<QLineEdit*>(session.panel()->GetDlgItem(CVekDCView::IDC_OUT_DIR))
        ->setText(QStringLiteral("/elsewhere"));
    session.recorder().dialogs.clear();

    session.recorder().setNextFile(file.toStdString());
    QTest::keyClick(session.frame(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(session.recorder().dialogs.size(), std::size_t{1});  // no key dialog
    QCOMPARE(session.frame()->windowTitle(), QStringLiteral("paper.doc - VekDC"));
    QCOMPARE(RecentFiles(), QStringList{file});
    QCOMPARE(session.app().GetRecentFileList(), QStringList{file});
    QCOMPARE(OutDirText(session.panel()), QDir::homePath());
    QCOMPARE(ReadFile(file), QByteArray("contents that must stay"));

    // A file that cannot be opened changes nothing.
    session.recorder().setNextFile(m_folder.filePath(QStringLiteral("absent.doc")).toStdString());
    QTest::keyClick(session.frame(), Qt::Key_O, Qt::ControlModifier);
    QVERIFY(QString::fromStdString(session.recorder().boxes.back().text)
                .contains(QStringLiteral("absent.doc")));
    QCOMPARE(session.frame()->windowTitle(), QStringLiteral("paper.doc - VekDC"));
    QCOMPARE(RecentFiles(), QStringList{file});
}

void TestStartup::recentFileListKeepsSixEntries() {
    {
        QSettings settings = Settings();
        for (int i = 1; i <= 7; ++i) {
            settings.setValue(QStringLiteral("Recent File List/File%1").arg(i),
                              QStringLiteral("/old/%1").arg(i));
        }
    }
    AppSession session;
    QCOMPARE(session.app().GetRecentFileList().size(), 6);
    QCOMPARE(session.app().GetRecentFileList().front(), QStringLiteral("/old/1"));

    QStringList opened;
    for (int i = 0; i < 3; ++i) {
        opened << m_folder.filePath(QStringLiteral("f%1.txt").arg(i));
        QVERIFY(WriteFile(opened.back(), "x"));
        QVERIFY(session.app().OpenDocumentFile(opened.back()));
    }
    QVERIFY(session.app().OpenDocumentFile(opened[0]));  // moves to the front
    QCOMPARE(RecentFiles(), (QStringList{opened[0], opened[2], opened[1], QStringLiteral("/old/1"),
                                         QStringLiteral("/old/2"), QStringLiteral("/old/3")}));
}

void TestStartup::fileOnTheCommandLineBecomesTheDocument() {
    const QString file = m_folder.filePath(QStringLiteral("given.txt"));
    QVERIFY(WriteFile(file, "given"));
    AppSession session(QString(), {file});
    QVERIFY(session.started());
    QVERIFY(session.recorder().dialogs.empty());
    QCOMPARE(session.frame()->windowTitle(), QStringLiteral("given.txt - VekDC"));
    QCOMPARE(RecentFiles(), QStringList{file});
    QVERIFY(session.frame()->isVisible());
    // The tree's commands reach the panel: F5 runs the panel's checks.
    QCOMPARE(session.doc()->m_pDecodeView, &session.panel()->Core());
    QTest::keyClick(session.tree(), Qt::Key_F5);
    QCOMPARE(session.recorder().boxes.size(), std::size_t{1});
    QCOMPARE(session.recorder().boxes.front().caption, std::string(platform::kDecoderCaption));
}

void TestStartup::missingFileOnTheCommandLineEndsTheStart() {
    const QString file = m_folder.filePath(QStringLiteral("nothing-here.txt"));
    AppSession session(QString(), {file});
    QVERIFY(!session.started());
    QCOMPARE(session.app().GetExitCode(), 1);
    QCOMPARE(session.recorder().boxes.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(session.recorder().boxes.front().text).contains(file));
    QVERIFY(!session.frame()->isVisible());
    QVERIFY(RecentFiles().isEmpty());
}

void TestStartup::automationOptionsStartNothing_data() {
    QTest::addColumn<QString>("option");
    for (const char* option :
         {"/Embedding", "-Embedding", "/Automation", "-Automation", "/embedding"}) {
        QTest::newRow(option) << QString::fromLatin1(option);
    }
}

void TestStartup::automationOptionsStartNothing() {
    QFETCH(QString, option);
    AppSession session(QString(), {option});
    QVERIFY(!session.started());
    QCOMPARE(session.app().GetExitCode(), 0);
    QCOMPARE(session.app().GetMainWnd(), nullptr);
    QCOMPARE(session.app().GetDocument(), nullptr);
    QVERIFY(session.recorder().dialogs.empty());
    QVERIFY(session.recorder().boxes.empty());
    QVERIFY(Settings().allKeys().isEmpty());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
