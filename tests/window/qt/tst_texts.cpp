// The window's texts: the language the locale asks for, and every text whole
// in its control with each Japanese font the system offers. The screen's
// resolution comes from the environment (QT_FONT_DPI); the test is run once
// per resolution.
#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTemporaryDir>
#include <QTest>

#include "desktop/decode_run.h"
#include "desktop/dialogs.h"
#include "gui_test_support.h"
#include "vekdc/version.h"
#include "window/qt/application.h"
#include "window/qt/decode_panel.h"
#include "window/qt/dialog_controls.h"
#include "window/qt/drive_tree.h"
#include "window/qt/fonts.h"
#include "window/qt/language.h"
#include "window/qt/main_window.h"
#include "window/qt/status_panes.h"
#include "window/qt/version_dialog.h"

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
        SetSystemFontSize(0);
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
    session.frame()->RevealDecodePanel();
    QTRY_VERIFY(panel->width() > 0);
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
    QTest::addColumn<int>("systemPoints");  // the system font's size; 0: the system's own
    for (const char* family : {"IPAPGothic", "IPAGothic", "Noto Sans CJK JP"}) {
        for (const char* language : {"ja", "en"}) {
            for (const int points : {0, 18}) {
                QTest::addRow("%s, %s%s", family, language,
                              points != 0 ? ", 18 pt system font" : "")
                    << QString::fromLatin1(family) << QByteArray(language) << points;
            }
        }
    }
}

void TestTexts::everyTextFitsItsControl() {
    QFETCH(QString, family);
    QFETCH(QByteArray, language);
    QFETCH(int, systemPoints);
    QVERIFY2(QFontDatabase::families().contains(family),
             qPrintable(family + QStringLiteral(" is not installed (see README's test command)")));

    const ScopedLanguage chosen(language);
    SetDialogFontFamily(family);
    SetSystemFontSize(systemPoints);
    // The drives of the tree are the same on every machine: "/" only.
    QTemporaryDir scratch;
    const QString mounts = scratch.filePath(QStringLiteral("mounts"));
    QVERIFY(WriteFile(mounts, "/dev/sda1 / ext4 rw 0 0\n"));
    qputenv("VEKDC_MOUNT_TABLE", QFile::encodeName(mounts));
    AppSession session;
    qunsetenv("VEKDC_MOUNT_TABLE");
    QVERIFY(session.expose());
    CMainFrame* frame = session.frame();
    QWidget* form = session.panel()->widget();
    QCOMPARE(QFontInfo(form->font()).family(), family);
    // The panel follows a system font larger than its own 9 points.
    QCOMPARE(form->font().pointSize(), std::max(9, systemPoints));

    // The first window, once F2 has revealed the panel, shows all of it
    // (where the screen has room for it).
    QTest::keyClick(session.tree(), Qt::Key_F2);
    QStringList problems = Misfits(form);
    // So it does while a run shows its bar in the status bar.
    session.tree()->ShowStatusProgress();
    for (const bool running : {false, true}) {
        frame->ShowStatusProgressBar(running);
        QApplication::processEvents();
        const QSize room = session.panel()->viewport()->size();
        const QSize screen = frame->screen()->availableGeometry().size();
        const bool screenFull =
            frame->width() >= screen.width() || frame->height() >= screen.height();
        if (!screenFull && (room.width() < form->width() || room.height() < form->height())) {
            problems << QStringLiteral("the panel needs scrolling: %1x%2 in %3x%4")
                            .arg(form->width())
                            .arg(form->height())
                            .arg(room.width())
                            .arg(room.height());
        }
    }
    frame->ShowStatusProgressBar(false);
    // The summary of the largest run shows whole in the status bar, which has
    // held a decode's progress bar since the first request (with the
    // system's own font: a window can be only so wide).
    for (const bool stopped : {false, true}) {
        desktop::decode_run::snapshot end;
        end.files = end.written = end.refused = 20000;
        end.stopped = stopped;
        const QString summary = QString::fromStdString(desktop::summary_text(end));
        frame->SetPaneText(0, summary);
        const auto* pane =
            frame->m_wndStatusBar->findChild<MessagePane*>(QStringLiteral("StatusPane0"));
        if (systemPoints == 0 && pane->ShownText() != summary) {
            problems
                << QStringLiteral("summary \"%1\" shows as \"%2\"").arg(summary, pane->ShownText());
        }
    }
    // Every list entry shows whole, its name first; the whole path is its tooltip.
    const QString deep = QStringLiteral("/a/folder/deep/enough/to/need/more/room/than/the/list");
    for (const char* name :
         {"f0.vek", "a_file_with_a_long_name_of_its_own.vek", "日本語の名前.vek"}) {
        session.panel()->AddFileToList(deep + QLatin1Char('/') + QString::fromUtf8(name));
    }
    auto* list = qobject_cast<QListView*>(session.panel()->GetDlgItem(CVekDCView::IDC_FILE_LIST));
    QTRY_VERIFY(list->visualRect(list->model()->index(0, 0)).width() > 0);
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        const QModelIndex index = list->model()->index(row, 0);
        const QString label = index.data().toString();
        if (!label.startsWith(QFileInfo(index.data(Qt::ToolTipRole).toString()).fileName()) ||
            index.data(Qt::ToolTipRole).toString() != session.panel()->GetFileListEntries()[row] ||
            list->fontMetrics().horizontalAdvance(label) > list->visualRect(index).width()) {
            problems << QStringLiteral("list entry ") + label;
        }
    }
    QVERIFY(list->horizontalScrollBar()->maximum() > 0);
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
    const QRect whole =
        ToQRect(desktop::map_dialog_rect({0, 0, 233, 331}, BaseUnitsOf(form->font(), form)));
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
    frame->resize(640, frame->height());
    QTRY_COMPARE(frame->m_wndStatusBar->width(), 640);
    session.tree()->ShowStatusProgress();
    frame->ShowStatusProgressBar(true);  // as during a run
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
    IndicatorPane pane(QStringLiteral("CAP"), QStringLiteral("Caps Lock"));
    const QSize dark = pane.sizeHint();
    QCOMPARE(pane.text(), QString());
    pane.SetLit(true);
    QCOMPARE(pane.text(), QStringLiteral("CAP"));
    QCOMPARE(pane.sizeHint(), dark);  // lighting up moves nothing
    pane.SetLit(false);
    QCOMPARE(pane.text(), QString());
}

void TestTexts::controlsGrowWithTheFont() {
    CVersionDlg dialog;
    const QSize small = dialog.size();
    const QRect text = dialog.findChild<QLabel*>(QStringLiteral("VersionText"))->geometry();
    const desktop::base_units smallUnits = BaseUnitsOf(dialog.font(), &dialog);
    QCOMPARE(smallUnits.height, dialog.fontMetrics().height());

    QFont large = dialog.font();
    large.setPointSize(large.pointSize() * 2);
    dialog.setFont(large);
    const desktop::base_units largeUnits = BaseUnitsOf(dialog.font(), &dialog);
    QVERIFY(largeUnits.width > smallUnits.width && largeUnits.height > smallUnits.height);
    // The dialog and its controls are placed again in the larger units.
    QCOMPARE(dialog.size().width(), desktop::map_dialog_rect({0, 0, 235, 55}, largeUnits).width);
    QVERIFY(dialog.size().height() > small.height());
    const QRect grown = dialog.findChild<QLabel*>(QStringLiteral("VersionText"))->geometry();
    QVERIFY(grown.left() > text.left() && grown.width() > text.width());
    QVERIFY(Misfits(&dialog).isEmpty());
}

QTEST_MAIN(TestTexts)
#include "tst_texts.moc"
