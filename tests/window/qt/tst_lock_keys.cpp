// The lock-key panes of the status bar: lit only while their lock is on,
// where the window system tells it. Run offscreen (nothing is told: the panes
// stay dark) and, where an X server can be started, on X11, where the test
// locks and unlocks the keys through XKB and waits for the panes to follow.
#include <QGuiApplication>
#include <QTest>

#include "gui_test_support.h"
#include "platform/qt/lock_keys.h"
#include "window/qt/main_window.h"

#ifdef VEKDC_HAVE_XKB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
// xkb.h names a member "explicit", a keyword of C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#endif

using namespace vekdc;
using namespace vekdc::test;

namespace {

bool OnX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

#ifdef VEKDC_HAVE_XKB
// Locks (or unlocks) the modifiers `mask` of the core keyboard, as pressing
// the lock keys does.
void LockModifiers(std::uint8_t mask, bool locked) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11->connection();
    xcb_xkb_latch_lock_state(connection, XCB_XKB_ID_USE_CORE_KBD, mask,
                             locked ? mask : std::uint8_t{0}, 0, 0, 0, 0, 0);
    xcb_flush(connection);
}
#endif

}  // namespace

class TestLockKeys : public QObject {
    Q_OBJECT

private slots:
    void init() { ClearSettings(); }
    void panesAreDarkWhereNothingIsTold();
    void panesFollowTheLocks_data();
    void panesFollowTheLocks();
};

void TestLockKeys::panesAreDarkWhereNothingIsTold() {
    if (OnX11()) {
        QSKIP("the window system tells the lights here");
    }
    platform::LockKeyWatcher watcher(nullptr);
    QVERIFY(!watcher.available());
    QCOMPARE(watcher.lights(), platform::LockKeyLights{});
    AppSession session;
    QVERIFY(session.expose());
    for (int i = 1; i < CMainFrame::kStatusPaneCount; ++i) {
        QCOMPARE(session.frame()->GetPaneText(i), QString());
    }
}

void TestLockKeys::panesFollowTheLocks_data() {
    QTest::addColumn<int>("modifier");
    QTest::addColumn<int>("pane");
    QTest::addColumn<QString>("text");
    // The X11 modifier masks: Lock, and Mod2, which the usual key maps give Num Lock.
    QTest::newRow("Caps Lock") << (1 << 1) << 2 << QStringLiteral("CAP");
    QTest::newRow("Num Lock") << (1 << 4) << 3 << QStringLiteral("NUM");
}

void TestLockKeys::panesFollowTheLocks() {
    if (!OnX11()) {
        QSKIP("needs an X server");
    }
#ifdef VEKDC_HAVE_XKB
    QFETCH(int, modifier);
    QFETCH(int, pane);
    QFETCH(QString, text);
    const auto mask = static_cast<std::uint8_t>(modifier);
    LockModifiers(mask, false);
    AppSession session;
    QVERIFY(session.expose());
    CMainFrame* frame = session.frame();
    QTRY_COMPARE(frame->GetPaneText(pane), QString());

    LockModifiers(mask, true);
    QTRY_COMPARE(frame->GetPaneText(pane), text);
    for (int other = 1; other < CMainFrame::kStatusPaneCount; ++other) {
        if (other != pane) {
            QCOMPARE(frame->GetPaneText(other), QString());
        }
    }
    LockModifiers(mask, false);
    QTRY_COMPARE(frame->GetPaneText(pane), QString());
#else
    QSKIP("built without XKB");
#endif
}

QTEST_MAIN(TestLockKeys)
#include "tst_lock_keys.moc"
