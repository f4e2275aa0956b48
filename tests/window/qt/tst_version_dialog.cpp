// The version dialog of the Help menu.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui_test_support.h"
#include "platform/launch.h"
#include "vekdc/version.h"
#include "window/qt/application.h"
#include "window/qt/main_window.h"
#include "window/qt/version_dialog.h"

using namespace vekdc;
using namespace vekdc::test;

class TestVersionDialog : public QObject {
    Q_OBJECT

private slots:
    void showsTheProgramAndHidesOk();
    void webButtonStartsTheBrowserAndStaysOpen();
    void helpMenuOpensItAndEscClosesIt_data();
    void helpMenuOpensItAndEscClosesIt();
};

void TestVersionDialog::showsTheProgramAndHidesOk() {
    CVersionDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("VekDCのﾊﾞｰｼﾞｮﾝ情報"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("VersionText"))->text(),
             QStringLiteral("VEK DECODER Version " VEKDC_VERSION));
    QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("MakerNotice"))->text().isEmpty());
    const QLabel* icon = dialog.findChild<QLabel*>(QStringLiteral("ProgramIcon"));
    QVERIFY(!icon->pixmap().isNull());
    QVERIFY(!dialog.GetOkButton()->isVisible());
    QVERIFY(!dialog.GetOkButton()->isEnabled());
    QVERIFY(dialog.GetWebButton()->isVisible());
    QCOMPARE(dialog.GetWebButton()->text(), QString::fromLatin1(desktop::kMakerAddress));
    QVERIFY(QString::fromLatin1(desktop::kMakerAddress).endsWith(QStringLiteral(".example")));
    // The address fits on its button.
    QVERIFY(dialog.GetWebButton()->fontMetrics().horizontalAdvance(dialog.GetWebButton()->text()) <
            dialog.GetWebButton()->width());
}

void TestVersionDialog::webButtonStartsTheBrowserAndStaysOpen() {
    platform::ScopedRecorder recorder;
    CVersionDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(dialog.GetWebButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.GetWebButton(), Qt::LeftButton);
    const std::string expected =
        std::string(platform::kBrowserProgram) + " " + desktop::kMakerAddress;
    QCOMPARE(recorder->programs, (std::vector<std::string>{expected, expected}));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
}

void TestVersionDialog::helpMenuOpensItAndEscClosesIt_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    // Return does what the hidden default button, OK, would do.
    QTest::newRow("Return") << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("Esc") << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void TestVersionDialog::helpMenuOpensItAndEscClosesIt() {
    QFETCH(int, key);
    QFETCH(int, result);
    ClearSettings();
    AppSession session;
    QVERIFY(session.expose());
    bool seen = false;
    int closed = -1;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CVersionDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        seen = true;
        QObject::connect(dialog, &QDialog::finished, [&](int code) { closed = code; });
        QTest::keyClick(dialog, Qt::Key(key));
    });
    session.frame()->GetCommand(CMainFrame::ID_APP_ABOUT)->trigger();
    QVERIFY(seen);
    QCOMPARE(closed, result);
    QVERIFY(session.recorder().programs.empty());  // the web button was not pressed
}

QTEST_MAIN(TestVersionDialog)
#include "tst_version_dialog.moc"
