// Usable without a mouse and with a screen reader: what an assistive tool
// reads of each control, what it is told as things happen, what the keyboard
// alone reaches, and the focus in sight.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "desktop/contrast.h"
#include "desktop/document.h"
#include "gui_test_support.h"
#include "window/qt/application.h"
#include "window/qt/decode_panel.h"
#include "window/qt/drive_tree.h"
#include "window/qt/main_window.h"
#include "window/qt/version_dialog.h"

using namespace vekdc;
using namespace vekdc::test;

namespace {

// The accessibility events sent while an object lives.
class EventLog {
public:
    EventLog() {
        s_log = this;
        QAccessible::setActive(true);
        QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
            if (s_log != nullptr && event->type() == QAccessible::Alert) {
                if (QAccessibleInterface* object = event->accessibleInterface()) {
                    s_log->alerts << object->text(QAccessible::Description);
                }
            }
        });
    }
    ~EventLog() {
        QAccessible::installUpdateHandler(nullptr);
        QAccessible::setActive(false);
        s_log = nullptr;
    }
    QStringList alerts;

private:
    static EventLog* s_log;
};
EventLog* EventLog::s_log = nullptr;

double Contrast(const QColor& a, const QColor& b) {
    return desktop::contrast_ratio({a.red(), a.green(), a.blue()}, {b.red(), b.green(), b.blue()});
}

}  // namespace

class TestAccess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() {
        ClearSettings();
        desktop::key_cache::reset();
    }

    void everyControlHasAName();
    void screenReaderHearsWhatHappens();
    void keyboardAloneReachesEveryTask_data();
    void keyboardAloneReachesEveryTask();
    void focusIsAlwaysVisible_data();
    void focusIsAlwaysVisible();
    void treeSelectionShowsWhetherItHasTheFocus();
    void textOnThePanelReadsInEveryColour();

private:
    QString Path(const QString& name) const { return m_folder.filePath(name); }
    // A session whose tree holds the test's folder as a drive of its own.
    std::unique_ptr<AppSession> Start(const QString& key);

    QTemporaryDir m_folder;
    QString m_key;
    QString m_encrypted;
};

void TestAccess::initTestCase() {
    QVERIFY(m_folder.isValid());
    m_key = WriteKey(Path(QStringLiteral("a.key")), 4711);
    QDir().mkpath(Path(QStringLiteral("files/plain")));
    QVERIFY(WriteFile(Path(QStringLiteral("files/plain/note.txt")), SampleBytes(64, 1)));
    m_encrypted = EncodeFiles({Path(QStringLiteral("files/plain/note.txt"))},
                              Path(QStringLiteral("files")), MakeKey(4711).get())
                      .first();
    QDir().mkpath(Path(QStringLiteral("out")));
    // The folder shows as a network drive: a tree the keyboard can walk.
    QVERIFY(WriteFile(Path(QStringLiteral("mounts")), "/dev/sda1 / ext4 rw 0 0\nserver:/x " +
                                                          QFile::encodeName(m_folder.path()) +
                                                          " nfs rw 0 0\n"));
}

std::unique_ptr<AppSession> TestAccess::Start(const QString& key) {
    qputenv("VEKDC_MOUNT_TABLE", QFile::encodeName(Path(QStringLiteral("mounts"))));
    auto session = std::make_unique<AppSession>(key);
    qunsetenv("VEKDC_MOUNT_TABLE");
    return session;
}

void TestAccess::everyControlHasAName() {
    // That every control has a name is read through AT-SPI (gui.atspi_names);
    // here, what the names are.
    const auto session = Start(m_key);
    auto nameOf = [](QWidget* widget) {
        return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    };
    CVekDCView* panel = session->panel();
    QCOMPARE(nameOf(panel->GetDlgItem(CVekDCView::IDC_FILE_LIST)),
             QStringLiteral("入力ファイルリスト"));
    QCOMPARE(nameOf(panel->GetDlgItem(CVekDCView::IDC_OUT_DIR)), QStringLiteral("出力先フォルダ"));
    QCOMPARE(nameOf(panel->GetDlgItem(CVekDCView::IDC_KEY_PATH)), QStringLiteral("キーファイル"));
    QCOMPARE(nameOf(session->tree()), QStringLiteral("ドライブとフォルダ"));
    // The lock-key panes are named, and tell whether they are on.
    auto* caps =
        session->frame()->m_wndStatusBar->findChild<QWidget*>(QStringLiteral("StatusPane2"));
    QCOMPARE(nameOf(caps), QStringLiteral("Caps Lock"));
    QCOMPARE(QAccessible::queryAccessibleInterface(caps)->text(QAccessible::Description),
             QStringLiteral("オフ"));
    // The key box takes no typing: the key is chosen with キーの設定.
    QVERIFY(qobject_cast<QLineEdit*>(panel->GetDlgItem(CVekDCView::IDC_KEY_PATH))->isReadOnly());
}

void TestAccess::screenReaderHearsWhatHappens() {
    if (!QAccessible::isActive()) {
        QSKIP("no assistive technology listens (gui.access_atspi runs this with one)");
    }
    const auto session = Start(m_key);
    QVERIFY(session->expose());
    CVekDCView* panel = session->panel();
    qobject_cast<QLineEdit*>(panel->GetDlgItem(CVekDCView::IDC_OUT_DIR))
        ->setText(Path(QStringLiteral("out")));
    EventLog log;
    panel->AddLocalPaths(
        {QFile::encodeName(m_encrypted), QFile::encodeName(Path(QStringLiteral("gone")))});
    QCOMPARE(log.alerts,
             QStringList{QStringLiteral(
                 "1 個のファイルをリストに追加しました。 ファイルでもフォルダでもないもの 1 "
                 "個を無視しました。")});
    log.alerts.clear();
    QCOMPARE(panel->StartDecode(), 0);
    QCOMPARE(log.alerts, QStringList{QStringLiteral("デコード完了: 1 個をデコード、0 個を拒否")});
    // What is said is heard, not seen: the status bar shows its own text.
    QCOMPARE(session->frame()->GetPaneText(0),
             QStringLiteral("デコード完了: 1 個をデコード、0 個を拒否"));
}

void TestAccess::keyboardAloneReachesEveryTask_data() {
    // Each row: keys typed from start-up (after the key dialog); "Dialog"
    // answers the next file dialog with the test's key. What the user must
    // then have, and where the focus must be.
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("expect");  // nothing, key, decoded, cancelled, version
    QTest::addColumn<QString>("focus");   // the object name of the focused widget

    // Start: the tree has the focus, its two drives shown. Down Down reaches
    // the folder's drive; Right opens it; Down Down reaches files/. (A decode
    // row also proves that the keys listed the file and set the output folder.)
    QTest::newRow("F6 and Space at start change nothing")
        << QStringList{"F6", "Space", "F6", "Space"} << "nothing"
        << "CLeftView";
    QTest::newRow("key set") << QStringList{"F2",  "F6",  "Tab", "Tab",    "Tab",  "Tab",
                                            "Tab", "Tab", "Tab", "Dialog", "Space"}
                             << "key"
                             << "IDC_1009";
    QTest::newRow("files listed, then one deleted")
        << QStringList{"Down", "Right", "Down", "Right", "Down",  "Space",
                       "F2",   "F6",    "Tab",  "Tab",   "Space", "Delete"}
        << "nothing"
        << "IDC_1003";
    QTest::newRow("decode done") << QStringList{"Down", "Right", "Down", "Down", "F2",
                                                "F6",   "Space", "F6",   "Up",   "Right",
                                                "Down", "Space", "F5"}
                                 << "decoded"
                                 << "CLeftView";
    QTest::newRow("decode done with Return in the panel")
        << QStringList{"Down",  "Right", "Down",  "Down", "F2",  "F6",  "Space", "F6",    "Up",
                       "Right", "Down",  "Space", "F6",   "Tab", "Tab", "Tab",   "Return"}
        << "decoded"
        << "IDC_1008";
    QTest::newRow("run cancelled") << QStringList{"Down",
                                                  "Right",
                                                  "Down",
                                                  "Down",
                                                  "F2",
                                                  "F6",
                                                  "Space",
                                                  "F6",
                                                  "Up",
                                                  "Right",
                                                  "Down",
                                                  "Space",
                                                  "EscAtTheFirstNotice",
                                                  "F5"}
                                   << "cancelled"
                                   << "CLeftView";
    QTest::newRow("version dialog opened and closed")
        << QStringList{"Alt+H", "A", "ReturnInTheDialog"} << "version"
        << "CLeftView";
}

void TestAccess::keyboardAloneReachesEveryTask() {
    QFETCH(QStringList, keys);
    QFETCH(QString, expect);
    QFETCH(QString, focus);
    // The key dialog at start is answered, except where the row sets the key.
    const bool keyRow = keys.contains(QStringLiteral("Dialog"));
    const auto session = Start(keyRow ? QString() : m_key);
    QVERIFY(session->expose());
    QVERIFY(QTest::qWaitForWindowActive(session->frame()));
    CLeftView* tree = session->tree();
    tree->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), tree);
    const QString out = Path(QStringLiteral("out"));
    for (const QString& name : QDir(out).entryList(QDir::Files)) {
        QFile::remove(QDir(out).filePath(name));
    }
    auto* outBox = qobject_cast<QLineEdit*>(session->panel()->GetDlgItem(CVekDCView::IDC_OUT_DIR));
    const QString outBefore = outBox->text();

    bool versionSeen = false;
    for (const QString& key : keys) {
        QWidget* target =
            QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : session->frame();
        if (key == QStringLiteral("Dialog")) {
            session->recorder().setNextFile(QFile::encodeName(m_key).toStdString());
        } else if (key == QStringLiteral("EscAtTheFirstNotice")) {
            session->recorder().on_box = [&](const platform::RecordingServices::Box& box) {
                if (QString::fromStdString(box.text).startsWith(QStringLiteral("出力は"))) {
                    QTest::keyClick(session->frame(), Qt::Key_Escape);
                }
            };
        } else if (key == QStringLiteral("ReturnInTheDialog")) {
            // Handled when the dialog shows (below).
        } else if (key == QStringLiteral("Alt+H")) {
            QTest::keyClick(session->frame(), Qt::Key_H, Qt::AltModifier);
            QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
        } else if (key == QStringLiteral("A")) {
            QTimer::singleShot(0, [&] {
                if (auto* dialog = qobject_cast<CVersionDlg*>(QApplication::activeModalWidget())) {
                    versionSeen = true;
                    QTest::keyClick(dialog, Qt::Key_Return);
                }
            });
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_A);
            QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
        } else {
            const QKeySequence sequence(key);
            QTest::keyClick(target, Qt::Key(sequence[0].key()), sequence[0].keyboardModifiers());
        }
    }
    session->recorder().on_box = nullptr;

    CVekDCView* panel = session->panel();
    const QStringList listed = panel->GetFileListEntries();
    const bool decoded = QFileInfo::exists(Path(QStringLiteral("out/note.txt")));
    if (expect == QStringLiteral("nothing")) {
        QVERIFY(listed.isEmpty());
        QCOMPARE(outBox->text(), outBefore);
        QCOMPARE(QString::fromStdString(session->doc()->m_strKeyPath), m_key);
    } else if (expect == QStringLiteral("key")) {
        QCOMPARE(QString::fromStdString(session->doc()->m_strKeyPath), m_key);
    } else if (expect == QStringLiteral("decoded")) {
        QVERIFY(decoded);
        QVERIFY(listed.isEmpty());
    } else if (expect == QStringLiteral("cancelled")) {
        QVERIFY(!decoded);
        QCOMPARE(listed, QStringList{m_encrypted});
        QCOMPARE(session->frame()->GetPaneText(0),
                 QStringLiteral("デコード中止: 0 個をデコード、0 個を拒否"));
    } else if (expect == QStringLiteral("version")) {
        QVERIFY(versionSeen);
    }
    QTRY_VERIFY(QApplication::focusWidget() != nullptr);
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
}

void TestAccess::focusIsAlwaysVisible_data() {
    QTest::addColumn<int>("control");  // 0: the tree; else a control of the panel
    QTest::newRow("a button") << int(CVekDCView::IDC_SET_OUT_DIR);
    QTest::newRow("an edit box") << int(CVekDCView::IDC_OUT_DIR);
    QTest::newRow("the list") << int(CVekDCView::IDC_FILE_LIST);
    QTest::newRow("the tree") << 0;
}

void TestAccess::focusIsAlwaysVisible() {
    QFETCH(int, control);
    const auto session = Start(m_key);
    QVERIFY(session->expose());
    QVERIFY(QTest::qWaitForWindowActive(session->frame()));
    session->frame()->RevealDecodePanel();
    QTRY_VERIFY(session->panel()->width() > 0);
    session->panel()->AddFileToList(m_encrypted);
    QWidget* widget = control == 0 ? static_cast<QWidget*>(session->tree())
                                   : session->panel()->GetDlgItem(control);
    // Without focus, then with the first focus (no key typed before).
    QWidget* elsewhere = session->panel()->GetDlgItem(CVekDCView::IDC_KEY_PATH);
    elsewhere->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(elsewhere->hasFocus());
    const QImage without = widget->grab().toImage();
    widget->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(widget->hasFocus());
    const QImage with = widget->grab().toImage();
    // A ring along the widget's edge appears, standing out from what was
    // there before by at least 3 : 1.
    const int y = with.height() / 2;
    double best = 0;
    for (int x = 0; x < 3 * with.devicePixelRatio(); ++x) {
        best = std::max(best, Contrast(with.pixelColor(x, y), without.pixelColor(x, y)));
    }
    QVERIFY2(best >= desktop::kOutlineContrast, qPrintable(QString::number(best)));
}

void TestAccess::treeSelectionShowsWhetherItHasTheFocus() {
    const auto session = Start(m_key);
    QVERIFY(session->expose());
    QVERIFY(QTest::qWaitForWindowActive(session->frame()));
    CLeftView* tree = session->tree();
    tree->setCurrentItem(tree->topLevelItem(0));
    tree->setFocus();
    QTRY_VERIFY(tree->hasFocus());
    const QColor focused = tree->palette().color(QPalette::Highlight);
    session->frame()->RevealDecodePanel();
    QTRY_VERIFY(session->panel()->width() > 0);
    session->panel()->GetDlgItem(CVekDCView::IDC_OUT_DIR)->setFocus();
    QTRY_VERIFY(!tree->hasFocus());
    const QColor unfocused = tree->palette().color(QPalette::Highlight);
    QVERIFY(focused != unfocused);
    // Its text still reads on the grey.
    QVERIFY(Contrast(unfocused, tree->palette().color(QPalette::HighlightedText)) >=
            desktop::kTextContrast);
}

void TestAccess::textOnThePanelReadsInEveryColour() {
    // A high-contrast palette: light text on dark ground.
    QPalette dark = QApplication::palette();
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Window, Qt::black);
    const QPalette saved = QApplication::palette();
    QApplication::setPalette(dark);
    const auto session = Start(m_key);
    auto* label = session->panel()->findChild<QWidget*>(QStringLiteral("ListLabel"));
    for (const desktop::rgb colour :
         {desktop::decode_panel::kIdleColour, desktop::decode_panel::kBusyColour}) {
        session->panel()->Core().SetPanelColor(colour.red, colour.green, colour.blue);
        const QColor text = label->palette().color(QPalette::WindowText);
        QVERIFY2(desktop::contrast_ratio({text.red(), text.green(), text.blue()}, colour) >=
                     desktop::kTextContrast,
                 qPrintable(text.name()));
    }
    QApplication::setPalette(saved);
}

QTEST_MAIN(TestAccess)
#include "tst_access.moc"
