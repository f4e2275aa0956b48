// The window's texts: the language the locale asks for, and every text whole
// in its control with each Japanese font the system offers. The screen's
// resolution comes from the environment (QT_FONT_DPI); the test is run once
// per resolution.
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTest>

#include "app/Language.h"
#include "app/UiMetrics.h"
#include "app/VekDC.h"
#include "app/VekDCView.h"
#include "app/VersionDlg.h"
#include "browser/LeftView.h"
#include "browser/MainFrm.h"
#include "browser/StatusPanes.h"
#include "gui_test_support.h"
#include "vekdc/version.h"

using namespace vekdc;
using namespace vekdc::test;

namespace {

// Chooses the language as the program does at start, from LANGUAGE.
class ScopedLanguage {
public:
    explicit ScopedLanguage(const QByteArray& language) : m_saved(qgetenv("LANGUAGE")) {
        qputenv("LANGUAGE", language);
        m_installed = InstallTranslations(platform::ui_language());
    }
    ~ScopedLanguage() {
        qputenv("LANGUAGE", m_saved);
        InstallTranslations(platform::ui_language());
        SetDialogFontFamily(QString());
    }
    bool installed() const { return m_installed; }

private:
    QByteArray m_saved;
    bool m_installed = false;
};

QString WithoutMnemonic(QString text) {
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

// Why `control`'s text does not fit its place, or empty when it does.
QString Misfit(const QWidget* control) {
    const QFontMetrics metrics = control->fontMetrics();
    QRect room;
    QSize text;
    if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        text = QSize(metrics.horizontalAdvance(WithoutMnemonic(button->text())), metrics.height());
    } else if (const auto* label = qobject_cast<const QLabel*>(control)) {
        room = label->contentsRect();
        text = label->pixmap().isNull() ? metrics.size(Qt::TextSingleLine, label->text())
                                        : label->pixmap().deviceIndependentSize().toSize();
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
        // The text runs on sideways; its line must show whole in height.
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
        room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
        text = QSize(0, metrics.height());
    } else {
        return QString();
    }
    if (text.width() <= room.width() && text.height() <= room.height()) {
        return QString();
    }
    return QStringLiteral("%1 \"%2\": text %3x%4 in %5x%6")
        .arg(control->objectName(), control->property("text").toString())
        .arg(text.width())
        .arg(text.height())
        .arg(room.width())
        .arg(room.height());
}

// Every misfit among the controls on `surface`, and every control that
// leaves the surface or runs into another one.
QStringList Misfits(const QWidget* surface) {
    QStringList problems;
    const QList<QWidget*> controls =
        surface->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (const QWidget* control : controls) {
        if (control->isHidden()) {
            continue;
        }
        const QString misfit = Misfit(control);
        if (!misfit.isEmpty()) {
            problems << misfit;
        }
        if (!surface->rect().contains(control->geometry())) {
            problems << control->objectName() + QStringLiteral(" leaves its surface");
        }
        for (const QWidget* other : controls) {
            if (other != control && !other->isHidden() &&
                other->objectName() < control->objectName() &&
                other->geometry().intersects(control->geometry())) {
                problems << control->objectName() + QStringLiteral(" runs into ") +
                                other->objectName();
            }
        }
    }
    return problems;
}

}  // namespace

class TestTexts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { ClearSettings(); }

    void windowSpeaksTheLocaleLanguage_data();
    void windowSpeaksTheLocaleLanguage();
    void everyTextFitsItsControl_data();
    void everyTextFitsItsControl();
    void statusTextEndsWhereTheBarBegins_data();
    void statusTextEndsWhereTheBarBegins();
    void indicatorsShowTheirTextOnlyWhenLit();
    void dialogUnitsComeFromTheFont_data();
    void dialogUnitsComeFromTheFont();
    void controlsGrowWithTheFont();
};

void TestTexts::initTestCase() {
    // The resolution this run was started for really reaches the screen.
    const QByteArray dpi = qgetenv("QT_FONT_DPI");
    const qreal expected = dpi.isEmpty() ? 1.0 : dpi.toDouble() / 96.0;
    QCOMPARE(qApp->devicePixelRatio(), expected);
}

void TestTexts::windowSpeaksTheLocaleLanguage_data() {
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QString>("decodeButton");
    QTest::addColumn<QString>("listLabel");
    QTest::addColumn<QString>("helpMenu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("emptyListNotice");
    QTest::addColumn<QString>("noticeCaption");
    QTest::addColumn<QString>("versionTitle");

    QTest::newRow("Japanese") << QByteArray("ja_JP") << QStringLiteral("！デコード実行")
                              << QStringLiteral("入力ファイルリスト") << QStringLiteral("ﾍﾙﾌﾟ(&H)")
                              << QStringLiteral("無題 - VekDC")
                              << QStringLiteral(
                                     "入力ファイルリストが空です。"
                                     "デコードするファイルをリストに追加して下さい。")
                              << QStringLiteral("Orvinta VEK デコーダ")
                              << QStringLiteral("VekDCのﾊﾞｰｼﾞｮﾝ情報");
    QTest::newRow("English") << QByteArray("en_GB:en") << QStringLiteral("! Decode")
                             << QStringLiteral("Input file list") << QStringLiteral("&Help")
                             << QStringLiteral("Untitled - VekDC")
                             << QStringLiteral(
                                    "The input file list is empty. Add the files to decode to "
                                    "the list.")
                             << QStringLiteral("Orvinta VEK Decoder")
                             << QStringLiteral("About VekDC");
    QTest::newRow("C locale is English")
        << QByteArray("C") << QStringLiteral("! Decode") << QStringLiteral("Input file list")
        << QStringLiteral("&Help") << QStringLiteral("Untitled - VekDC")
        << QStringLiteral("The input file list is empty. Add the files to decode to the list.")
        << QStringLiteral("Orvinta VEK Decoder") << QStringLiteral("About VekDC");
}

void TestTexts::windowSpeaksTheLocaleLanguage() {
    QFETCH(QByteArray, language);
    QFETCH(QString, decodeButton);
    QFETCH(QString, listLabel);
    QFETCH(QString, helpMenu);
    QFETCH(QString, title);
    QFETCH(QString, emptyListNotice);
    QFETCH(QString, noticeCaption);
    QFETCH(QString, versionTitle);

    const ScopedLanguage chosen(language);
    QVERIFY(chosen.installed());
    AppSession session;
    QVERIFY(session.expose());
    CVekDCView* panel = session.panel();
    QCOMPARE(qobject_cast<QPushButton*>(panel->GetDlgItem(CVekDCView::IDC_DECODE))->text(),
             decodeButton);
    QCOMPARE(panel->findChild<QLabel*>(QStringLiteral("ListLabel"))->text(), listLabel);
    QCOMPARE(session.frame()->menuBar()->actions().value(0)->text(), helpMenu);
    QCOMPARE(session.frame()->windowTitle(), title);

    // A notice of the panel, with the core's caption, in the same language.
    session.recorder().boxes.clear();
    QTest::mouseClick(panel->GetDlgItem(CVekDCView::IDC_DECODE), Qt::LeftButton);
    QCOMPARE(session.recorder().boxes.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(session.recorder().boxes.front().text), emptyListNotice);
    QCOMPARE(QString::fromStdString(session.recorder().boxes.front().caption), noticeCaption);

    CVersionDlg dialog;
    QCOMPARE(dialog.windowTitle(), versionTitle);
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("VersionText"))->text(),
             QStringLiteral("VEK DECODER Version " VEKDC_VERSION));
}

void TestTexts::everyTextFitsItsControl_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<QByteArray>("language");
    for (const char* family : {"IPAPGothic", "IPAGothic", "Noto Sans CJK JP"}) {
        for (const char* language : {"ja", "en"}) {
            QTest::addRow("%s, %s", family, language)
                << QString::fromLatin1(family) << QByteArray(language);
        }
    }
}

void TestTexts::everyTextFitsItsControl() {
    QFETCH(QString, family);
    QFETCH(QByteArray, language);
    QVERIFY2(QFontDatabase::families().contains(family),
             qPrintable(family + QStringLiteral(" is not installed (see README's test command)")));

    const ScopedLanguage chosen(language);
    SetDialogFontFamily(family);
    AppSession session;
    QVERIFY(session.expose());
    CMainFrame* frame = session.frame();
    frame->m_wndSplitter->setSizes({200, 800});
    QWidget* form = session.panel()->widget();
    QCOMPARE(QFontInfo(form->font()).family(), family);

    // The progress bar of a decode joins the status bar.
    session.tree()->ShowStatusProgress();
    QStringList problems = Misfits(form);
    // The status bar's indicators keep room for their lit texts.
    for (int i = 1; i < CMainFrame::kStatusPaneCount; ++i) {
        auto* pane =
            frame->m_wndStatusBar->findChild<IndicatorPane*>(QStringLiteral("StatusPane%1").arg(i));
        const int needed = pane->fontMetrics().horizontalAdvance(pane->LitText());
        if (needed > pane->contentsRect().width() ||
            pane->fontMetrics().height() > pane->height()) {
            problems << QStringLiteral("indicator %1").arg(pane->LitText());
        }
    }
    // The menu's title.
    QAction* help = frame->menuBar()->actions().value(0);
    if (frame->fontMetrics().horizontalAdvance(WithoutMnemonic(help->text())) >
        frame->menuBar()->actionGeometry(help).width()) {
        problems << QStringLiteral("menu ") + help->text();
    }

    CVersionDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(QFontInfo(dialog.font()).family(), family);
    problems << Misfits(&dialog);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));

    // The template's place grows with the font: never smaller than its units.
    const QRect whole = MapDialogRect(QRect(0, 0, 233, 331), BaseUnitsOf(form->font(), form));
    QVERIFY(form->width() >= whole.width() && form->height() >= whole.height());
}

void TestTexts::statusTextEndsWhereTheBarBegins_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("elided");
    QTest::newRow("short") << QStringLiteral("ﾚﾃﾞｨ") << false;
    QTest::newRow("key message")
        << QStringLiteral(
               "キー「/home/user/some/rather/long/folder/name/of/keys/master.key」"
               "が設定されました。")
        << true;
    QTest::newRow("longer than the window") << QString(400, QChar(0x3042)) << true;
}

void TestTexts::statusTextEndsWhereTheBarBegins() {
    QFETCH(QString, text);
    QFETCH(bool, elided);
    AppSession session;
    QVERIFY(session.expose());
    CMainFrame* frame = session.frame();
    session.tree()->ShowStatusProgress();
    QProgressBar* bar = session.tree()->m_statusProgress;
    QVERIFY(bar != nullptr && bar->isVisible());
    frame->SetPaneText(0, text);
    auto* pane = frame->m_wndStatusBar->findChild<MessagePane*>(QStringLiteral("StatusPane0"));

    const QString shown = pane->ShownText();
    QCOMPARE(shown.contains(QChar(0x2026)), elided);
    if (!elided) {
        QCOMPARE(shown, text);
    }
    // What is shown ends before the bar, in the status bar's coordinates.
    const int end = pane->geometry().left() + pane->contentsRect().left() +
                    pane->fontMetrics().horizontalAdvance(shown);
    QVERIFY2(end <= bar->geometry().left(),
             qPrintable(QStringLiteral("%1 > %2").arg(end).arg(bar->geometry().left())));
    // The whole text stays the pane's text.
    QCOMPARE(frame->GetPaneText(0), text);

    // Nothing is painted under the bar: the pane drawn alone has no ink there.
    const QImage picture = pane->grab().toImage();
    const int barStart = static_cast<int>((bar->geometry().left() - pane->geometry().left()) *
                                          picture.devicePixelRatio());
    const QColor background = picture.pixelColor(picture.width() - 1, picture.height() / 2);
    for (int x = std::max(0, barStart); x < picture.width(); ++x) {
        for (int y = 0; y < picture.height(); ++y) {
            QVERIFY2(picture.pixelColor(x, y) == background,
                     qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
        }
    }
}

void TestTexts::indicatorsShowTheirTextOnlyWhenLit() {
    IndicatorPane pane(QStringLiteral("CAP"));
    const QSize dark = pane.sizeHint();
    QCOMPARE(pane.text(), QString());
    pane.SetLit(true);
    QCOMPARE(pane.text(), QStringLiteral("CAP"));
    QCOMPARE(pane.sizeHint(), dark);  // lighting up moves nothing
    pane.SetLit(false);
    QCOMPARE(pane.text(), QString());
}

void TestTexts::dialogUnitsComeFromTheFont_data() {
    QTest::addColumn<int>("baseWidth");
    QTest::addColumn<int>("baseHeight");
    QTest::addColumn<QRect>("units");
    QTest::addColumn<QRect>("pixels");
    // x = units * width / 4 and y = units * height / 8, each edge rounded half
    // away from zero on its own.
    QTest::newRow("exact") << 8 << 16 << QRect(4, 8, 40, 16) << QRect(8, 16, 80, 32);
    // left 10.5 -> 11, top 24.375 -> 24, right 109.5 -> 110, bottom 47.125 -> 47
    QTest::newRow("rounded edges") << 6 << 13 << QRect(7, 15, 66, 14) << QRect(11, 24, 99, 23);
    // 235 * 7 / 4 = 411.25, 55 * 17 / 8 = 116.875
    QTest::newRow("version dialog") << 7 << 17 << QRect(0, 0, 235, 55) << QRect(0, 0, 411, 117);
    // Adjacent controls stay adjacent: 10.5 -> 11 is where both meet.
    QTest::newRow("left of a neighbour") << 6 << 13 << QRect(0, 0, 7, 8) << QRect(0, 0, 11, 13);
    QTest::newRow("right of it") << 6 << 13 << QRect(7, 0, 7, 8) << QRect(11, 0, 10, 13);
}

void TestTexts::dialogUnitsComeFromTheFont() {
    QFETCH(int, baseWidth);
    QFETCH(int, baseHeight);
    QFETCH(QRect, units);
    QFETCH(QRect, pixels);
    QCOMPARE(MapDialogRect(units, DialogBaseUnits{baseWidth, baseHeight}), pixels);
}

void TestTexts::controlsGrowWithTheFont() {
    CVersionDlg dialog;
    const QSize small = dialog.size();
    const QRect text = dialog.findChild<QLabel*>(QStringLiteral("VersionText"))->geometry();
    const DialogBaseUnits smallUnits = BaseUnitsOf(dialog.font(), &dialog);
    QCOMPARE(smallUnits.height, dialog.fontMetrics().height());

    QFont large = dialog.font();
    large.setPointSize(large.pointSize() * 2);
    dialog.setFont(large);
    const DialogBaseUnits largeUnits = BaseUnitsOf(dialog.font(), &dialog);
    QVERIFY(largeUnits.width > smallUnits.width && largeUnits.height > smallUnits.height);
    // The dialog and its controls are placed again in the larger units.
    QCOMPARE(dialog.size().width(), MapDialogRect(QRect(0, 0, 235, 55), largeUnits).width());
    QVERIFY(dialog.size().height() > small.height());
    const QRect grown = dialog.findChild<QLabel*>(QStringLiteral("VersionText"))->geometry();
    QVERIFY(grown.left() > text.left() && grown.width() > text.width());
    QVERIFY(Misfits(&dialog).isEmpty());
}

QTEST_MAIN(TestTexts)
#include "tst_texts.moc"
