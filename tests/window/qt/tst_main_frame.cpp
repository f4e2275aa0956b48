// The main window: the splitter at start, the status bar, the menu, the
// accelerators and the diagnostic box of the frame itself.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
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

class TestMainFrame : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_session.reset(); }

    void treeFillsTheWindowAtStart();
    void statusBarShowsItsPanes();
    void helpMenuShowsItsPrompt();
    void keyOnTheFrameItselfShowsItsCode();
    void f6MovesTheFocusBetweenThePanes();
    void saveAndEditKeysDoNothing();

private:
    CMainFrame* frame() const { return m_session->frame(); }
    std::unique_ptr<AppSession> m_session;
};

void TestMainFrame::init() {
    ClearSettings();
    m_session = std::make_unique<AppSession>();
    QVERIFY(m_session->expose());
    QVERIFY(QTest::qWaitForWindowActive(frame()));
    m_session->recorder().boxes.clear();
    m_session->recorder().dialogs.clear();
}

void TestMainFrame::treeFillsTheWindowAtStart() {
    QSplitter* splitter = frame()->m_wndSplitter;
    QCOMPARE(frame()->centralWidget(), splitter);
    QCOMPARE(splitter->widget(0), frame()->GetLeftView());
    QCOMPARE(splitter->widget(1), frame()->GetDecodeView());
    const int full = splitter->width() - splitter->handleWidth();
    QCOMPARE(splitter->sizes(), (QList<int>{full, 0}));

    // A larger window keeps the panel hidden until it is revealed...
    frame()->resize(frame()->width() + 80, frame()->height());
    QTRY_COMPARE(splitter->sizes()[1], 0);
    // ...after which the tree keeps its width and the panel takes the rest.
    QTest::keyClick(frame()->GetLeftView(), Qt::Key_F2);
    const QList<int> revealed = splitter->sizes();
    frame()->resize(frame()->width() + 120, frame()->height());
    QTRY_COMPARE(splitter->sizes(), (QList<int>{revealed[0], revealed[1] + 120}));
}

void TestMainFrame::statusBarShowsItsPanes() {
    QCOMPARE(frame()->statusBar(), frame()->m_wndStatusBar);
    QCOMPARE(frame()->GetPaneText(0), QStringLiteral("キーは設定されませんでした。"));
    // Offscreen nothing tells the lock keys' state: the indicators stay dark,
    // but keep the room their texts need.
    const QStringList indicators{QStringLiteral("ｶﾅ"), QStringLiteral("CAP"), QStringLiteral("NUM"),
                                 QStringLiteral("SCRL")};
    for (int i = 1; i <= 4; ++i) {
        QCOMPARE(frame()->GetPaneText(i), QString());
        const QRect pane = frame()->GetItemRect(i);
        QVERIFY(pane.left() > frame()->GetItemRect(i - 1).left());
        const int needed =
            frame()->m_wndStatusBar->fontMetrics().horizontalAdvance(indicators[i - 1]);
        QVERIFY2(pane.width() >= needed, qPrintable(indicators[i - 1]));
        // A dark pane still shows where it is: its frame differs from its inside.
        const QImage picture =
            frame()
                ->m_wndStatusBar->findChild<QWidget*>(QStringLiteral("StatusPane%1").arg(i))
                ->grab()
                .toImage();
        QVERIFY2(picture.pixelColor(0, picture.height() / 2) !=
                     picture.pixelColor(picture.width() / 2, picture.height() / 2),
                 qPrintable(indicators[i - 1]));
    }
    // A long text in pane 0 does not widen the window.
    const int width = frame()->width();
    frame()->SetPaneText(0, QString(2000, QLatin1Char('x')));
    QApplication::processEvents();
    QCOMPARE(frame()->width(), width);
    // No progress bar before the first decode request.
    QCOMPARE(frame()->GetLeftView()->m_statusProgress, nullptr);
}

void TestMainFrame::helpMenuShowsItsPrompt() {
    const QList<QAction*> menus = frame()->menuBar()->actions();
    QCOMPARE(menus.size(), 1);
    QCOMPARE(menus[0]->text(), QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    QMenu* help = menus[0]->menu();
    QCOMPARE(help->actions().size(), 2);
    // The window's keys, then the version.
    QAction* keys = help->actions()[0];
    QCOMPARE(keys->text(), QStringLiteral("キー操作(&K)..."));
    keys->trigger();
    QCOMPARE(m_session->recorder().boxes.size(), std::size_t{1});
    for (const char* key : {"F2", "F5", "F6", "Space", "Enter", "Esc", "Delete"}) {
        QVERIFY2(m_session->recorder().boxes.front().text.find(key) != std::string::npos, key);
    }
    QAction* about = help->actions()[1];
    QCOMPARE(about->text(), QStringLiteral("VekDC のﾊﾞｰｼﾞｮﾝ情報(&A)..."));
    QCOMPARE(about, frame()->GetCommand(CMainFrame::ID_APP_ABOUT));

    help->popup(frame()->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(help->isVisible());
    about->hover();
    QCOMPARE(frame()->GetPaneText(0), QStringLiteral("ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示"));
    help->hide();
    QCOMPARE(frame()->GetPaneText(0), QStringLiteral("ﾚﾃﾞｨ"));
}

void TestMainFrame::keyOnTheFrameItselfShowsItsCode() {
    frame()->setFocus();
    QTest::keyClick(frame(), Qt::Key_F1);
    QCOMPARE(m_session->recorder().boxes.size(), std::size_t{1});
    const auto& box = m_session->recorder().boxes.front();
    QVERIFY2(QString::fromStdString(box.text).startsWith(QStringLiteral("char [70] flg[")),
             box.text.c_str());
    QCOMPARE(QString::fromStdString(box.text).size(),
             QStringLiteral("char [70] flg[00000000]").size());
    QCOMPARE(box.caption, std::string(platform::kAppTitle));
    QCOMPARE(box.buttons, platform::Buttons::Ok);

    // Keys typed in the panes never reach the frame.
    m_session->recorder().boxes.clear();
    frame()->GetLeftView()->setFocus();
    QTest::keyClick(frame()->GetLeftView(), Qt::Key_F1);
    QTest::keyClick(frame()->GetLeftView(), Qt::Key_F3);
    QWidget* outDir = frame()->GetDecodeView()->GetDlgItem(CVekDCView::IDC_OUT_DIR);
    outDir->setFocus();
    QTest::keyClick(outDir, Qt::Key_F1);
    QTest::keyClick(outDir, Qt::Key_Return);
    QVERIFY(m_session->recorder().boxes.empty());
}

void TestMainFrame::f6MovesTheFocusBetweenThePanes() {
    CLeftView* tree = frame()->GetLeftView();
    CVekDCView* panel = frame()->GetDecodeView();
    tree->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), tree);
    // A collapsed panel takes no focus: F6 and Tab stay in the tree.
    for (const Qt::Key key : {Qt::Key_F6, Qt::Key_Tab}) {
        QTest::keyClick(tree, key);
        QCOMPARE(QApplication::focusWidget(), tree);
    }
    frame()->RevealDecodePanel();
    QTRY_VERIFY(panel->width() > 0);
    QTest::keyClick(tree, Qt::Key_F6);
    QCOMPARE(QApplication::focusWidget(), panel->GetDlgItem(CVekDCView::IDC_SET_OUT_DIR));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    QCOMPARE(QApplication::focusWidget(), tree);

    // Back in the panel, the control that had the focus gets it again.
    QWidget* keyBox = panel->GetDlgItem(CVekDCView::IDC_KEY_PATH);
    keyBox->setFocus();
    QTest::keyClick(keyBox, Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), tree);
    QTest::keyClick(tree, Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), keyBox);
}

void TestMainFrame::saveAndEditKeysDoNothing() {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("mine.txt"));
    QVERIFY(WriteFile(file, "the user's own words"));
    QVERIFY(m_session->app().OpenDocumentFile(file));
    CLeftView* tree = frame()->GetLeftView();
    tree->setCurrentItem(RootDrive(tree));
    tree->setFocus();
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    const QString title = frame()->windowTitle();

    const QKeyCombination keys[] = {
        Qt::CTRL | Qt::Key_S,      Qt::CTRL | Qt::Key_Z,       Qt::ALT | Qt::Key_Backspace,
        Qt::CTRL | Qt::Key_X,      Qt::SHIFT | Qt::Key_Delete, Qt::CTRL | Qt::Key_C,
        Qt::CTRL | Qt::Key_Insert, Qt::CTRL | Qt::Key_V,       Qt::SHIFT | Qt::Key_Insert};
    for (const QKeyCombination& key : keys) {
        QTest::keyClick(tree, key.key(), key.keyboardModifiers());
    }
    QCOMPARE(ReadFile(file), QByteArray("the user's own words"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    QCOMPARE(frame()->windowTitle(), title);
    QCOMPARE(RootDrive(tree)->text(0), QStringLiteral("/ (HARD-DISK)"));
    QVERIFY(m_session->recorder().boxes.empty());
    QVERIFY(m_session->recorder().dialogs.empty());
}

QTEST_MAIN(TestMainFrame)
#include "tst_main_frame.moc"
