// The decode panel: its buttons, list, output folder, colours and form.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>

#include "desktop/document.h"
#include "gui_test_support.h"
#include "window/qt/application.h"
#include "window/qt/decode_panel.h"
#include "window/qt/dialog_controls.h"
#include "window/qt/drive_tree.h"
#include "window/qt/fonts.h"
#include "window/qt/main_window.h"

using namespace vekdc;
using namespace vekdc::test;

class TestPanel : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_session.reset(); }

    void addsEachPathOnceIgnoringCase();
    void deletesExactlyTheSelectedEntries();
    void deletesAnyNumberOfSelectedEntries();
    void clearEmptiesTheList();
    void outputFolderComesFromTheSelection();
    void outputFolderStartsAtTheDesktop();
    void keyButtonKeepsTheKeyWhenCancelled();
    void coloursOfThePanel();
    void formKeepsItsLayoutAndScrolls();

private:
    CVekDCView* panel() const { return m_session->panel(); }
    QListView* list() const {
        return qobject_cast<QListView*>(panel()->GetDlgItem(CVekDCView::IDC_FILE_LIST));
    }
    QLineEdit* outDir() const {
        return qobject_cast<QLineEdit*>(panel()->GetDlgItem(CVekDCView::IDC_OUT_DIR));
    }
    void Click(int id) { QTest::mouseClick(panel()->GetDlgItem(id), Qt::LeftButton); }
    void ClickEntry(int row) {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                          list()->visualRect(list()->model()->index(row, 0)).center());
    }

    std::unique_ptr<AppSession> m_session;
};

void TestPanel::init() {
    ClearSettings();
    m_session = std::make_unique<AppSession>();
    QVERIFY(m_session->expose());
    m_session->frame()->m_wndSplitter->setSizes({200, 800});
    QTRY_VERIFY(panel()->width() > 0);
}

void TestPanel::addsEachPathOnceIgnoringCase() {
    desktop::CVekDCDoc* doc = m_session->doc();
    doc->m_strSelectedPath = "/data/Report.vek";
    Click(CVekDCView::IDC_ADD_TO_LIST);
    Click(CVekDCView::IDC_ADD_TO_LIST);
    doc->m_strSelectedPath = "/DATA/report.VEK";
    Click(CVekDCView::IDC_ADD_TO_LIST);
    QCOMPARE(panel()->GetFileListEntries(), QStringList{QStringLiteral("/data/Report.vek")});

    // Whatever the selection names is taken, and the list stays sorted.
    for (const char* path : {"/b/file.vek", "/A/file.vek", "/c", ""}) {
        doc->m_strSelectedPath = path;
        Click(CVekDCView::IDC_ADD_TO_LIST);
    }
    QCOMPARE(panel()->GetFileListEntries(),
             (QStringList{QString(), QStringLiteral("/A/file.vek"), QStringLiteral("/b/file.vek"),
                          QStringLiteral("/c"), QStringLiteral("/data/Report.vek")}));
}

void TestPanel::deletesExactlyTheSelectedEntries() {
    QStringList all;
    for (int i = 0; i < 10; ++i) {
        all << QStringLiteral("/f/%1.vek").arg(i);
        panel()->AddFileToList(all.back());
    }
    for (int row : {2, 5, 7}) {
        ClickEntry(row);  // each click toggles an entry
    }
    ClickEntry(4);
    ClickEntry(4);
    Click(CVekDCView::IDC_DELETE_ITEMS);
    all.removeAt(7);
    all.removeAt(5);
    all.removeAt(2);
    QCOMPARE(panel()->GetFileListEntries(), all);
}

void TestPanel::deletesAnyNumberOfSelectedEntries() {
    for (int i = 0; i < 300; ++i) {
        panel()->AddFileToList(QStringLiteral("/many/%1.vek").arg(i, 3, 10, QLatin1Char('0')));
    }
    list()->selectAll();
    list()->selectionModel()->select(list()->model()->index(299, 0), QItemSelectionModel::Deselect);
    Click(CVekDCView::IDC_DELETE_ITEMS);
    QCOMPARE(panel()->GetFileListEntries(), QStringList{QStringLiteral("/many/299.vek")});
}

void TestPanel::clearEmptiesTheList() {
    Click(CVekDCView::IDC_CLEAR_LIST);  // on an empty list: nothing happens
    QVERIFY(panel()->GetFileListEntries().isEmpty());
    panel()->AddFileToList(QStringLiteral("/x.vek"));
    panel()->AddFileToList(QStringLiteral("/y.vek"));
    Click(CVekDCView::IDC_CLEAR_LIST);
    QVERIFY(panel()->GetFileListEntries().isEmpty());
    QCOMPARE(list()->model()->rowCount(), 0);
    QVERIFY(m_session->recorder().boxes.empty());
}

void TestPanel::outputFolderComesFromTheSelection() {
    QTemporaryDir folder;
    QVERIFY(WriteFile(folder.filePath(QStringLiteral("a.vek")), "x"));
    CLeftView* tree = m_session->tree();
    tree->setCurrentItem(ExpandTo(tree, folder.path()));
    Click(CVekDCView::IDC_SET_OUT_DIR);
    QCOMPARE(outDir()->text(), folder.path());
    tree->setCurrentItem(ExpandTo(tree, folder.filePath(QStringLiteral("a.vek"))));
    Click(CVekDCView::IDC_SET_OUT_DIR);  // a file is taken as it is
    QCOMPARE(outDir()->text(), folder.filePath(QStringLiteral("a.vek")));
}

void TestPanel::outputFolderStartsAtTheDesktop() {
    // The test's home folder has no desktop folder: the home folder is used.
    QCOMPARE(outDir()->text(), QDir::homePath());
    const QString desktop = QDir::home().filePath(QStringLiteral("Desktop"));
    QVERIFY(QDir().mkpath(desktop));
    m_session->app().OnFileNew();
    QCOMPARE(outDir()->text(), desktop);
    QString path;
    QCOMPARE(panel()->GetDesktopFolder(path), 0);
    QCOMPARE(path, desktop);
    QVERIFY(QDir(desktop).removeRecursively());
    QVERIFY(m_session->recorder().boxes.empty());

    // Without a home folder there is no folder to offer: the box is emptied.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QDir::home().filePath(QStringLiteral("no-such-folder")).toUtf8());
    path = QStringLiteral("unchanged");
    const int result = panel()->GetDesktopFolder(path);
    m_session->panel()->OnInitialUpdate();
    qputenv("HOME", home);
    QCOMPARE(result, -2);
    QCOMPARE(path, QStringLiteral("unchanged"));
    QCOMPARE(outDir()->text(), QString());
    QCOMPARE(m_session->recorder().boxes.size(), std::size_t{2});
    QCOMPARE(m_session->recorder().boxes.front().text, std::string("err : 2"));
    QCOMPARE(m_session->recorder().boxes.front().caption, std::string(platform::kAppTitle));
}

void TestPanel::keyButtonKeepsTheKeyWhenCancelled() {
    QTemporaryDir folder;
    const QString key = WriteKey(folder.filePath(QStringLiteral("k.key")), 1);
    m_session->recorder().setNextFile(key.toStdString());
    Click(CVekDCView::IDC_SET_KEY);
    QCOMPARE(m_session->frame()->GetPaneText(0),
             QStringLiteral("キー「%1」が設定されました。").arg(key));
    Click(CVekDCView::IDC_SET_KEY);  // cancelled
    QCOMPARE(m_session->frame()->GetPaneText(0),
             QStringLiteral("キーは変更されませんでした。以前のキー「%1」のままです。").arg(key));
    QCOMPARE(qobject_cast<QLineEdit*>(panel()->GetDlgItem(CVekDCView::IDC_KEY_PATH))->text(), key);
    QCOMPARE(QString::fromStdString(m_session->doc()->m_strKeyPath), key);
}

void TestPanel::coloursOfThePanel() {
    const QColor idle(220, 200, 180);
    QCOMPARE(panel()->PanelColor(), idle);
    QWidget* form = panel()->widget();
    QCOMPARE(form->palette().color(QPalette::Window), idle);
    QCOMPARE(panel()->viewport()->palette().color(QPalette::Window), idle);
    // Edit boxes and the list keep the system colours.
    const QColor base = QApplication::palette().color(QPalette::Base);
    QCOMPARE(outDir()->palette().color(QPalette::Base), base);
    QCOMPARE(list()->palette().color(QPalette::Base), base);

    panel()->Core().SetPanelColor(100, 0, 255);
    QCOMPARE(form->palette().color(QPalette::Window), QColor(100, 0, 255));
    QCOMPARE(form->grab().toImage().pixelColor(2, 2), QColor(100, 0, 255));
}

void TestPanel::formKeepsItsLayoutAndScrolls() {
    QWidget* form = panel()->widget();
    const QSize size = form->size();
    // At least the template's 233 x 331 units of the form's own font.
    const QRect whole =
        ToQRect(desktop::map_dialog_rect({0, 0, 233, 331}, BaseUnitsOf(form->font(), form)));
    QVERIFY2(size.width() >= whole.width() && size.height() >= whole.height(),
             qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
    QCOMPARE(form->font().pointSize(), 9);
    QCOMPARE(form->font().family(), JapaneseUiFont().family());

    // A small pane scrolls; the controls keep their places.
    const QRect listPlace = list()->geometry();
    m_session->frame()->m_wndSplitter->setSizes({700, 150});
    QTRY_VERIFY(panel()->horizontalScrollBar()->isVisible());
    QCOMPARE(form->size(), size);
    QCOMPARE(list()->geometry(), listPlace);
}

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
