// The decode road from the window: files chosen in the tree or listed on the
// panel, decoded into the output folder with the key read once per run.
#include <sys/stat.h>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "desktop/decode_run.h"
#include "desktop/document.h"
#include "desktop/file_names.h"
#include "gui_test_support.h"
#include "platform/launch.h"
#include "window/qt/application.h"
#include "window/qt/decode_panel.h"
#include "window/qt/drive_tree.h"
#include "window/qt/main_window.h"

using namespace vekdc;
using namespace vekdc::test;

namespace {

constexpr std::uint32_t kFirstKeySeed = 4711;
constexpr std::uint32_t kOtherKeySeed = 90210;

const QString kStartText = QStringLiteral("デコードを開始します。");
const QString kRestartText = QStringLiteral(
    "鍵が設定されていないので、操作を続けることが出来ません。VekDC.exeを再起動してください。");

QLineEdit* OutDirBox(CVekDCView* panel) {
    return qobject_cast<QLineEdit*>(panel->GetDlgItem(CVekDCView::IDC_OUT_DIR));
}
QProgressBar* PanelBar(CVekDCView* panel) {
    return qobject_cast<QProgressBar*>(panel->GetDlgItem(CVekDCView::IDC_PROGRESS));
}

QStringList Texts(const platform::RecordingServices& recorder) {
    QStringList texts;
    for (const auto& box : recorder.boxes) {
        texts << QString::fromStdString(box.text);
    }
    return texts;
}

// Every name in a folder, hidden ones included.
QStringList Contents(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Plain files written under folder/plain and encrypted into `folder`.
struct Sample {
    QString encrypted;
    QString name;  // the plain file's name, which decoding gives back
    QByteArray bytes;
};

QList<Sample> MakeSamples(const QString& folder, const QStringList& names, Matrix key, int salt) {
    const QString plain = folder + QStringLiteral("/plain");
    QDir().mkpath(plain);
    QStringList paths;
    QList<Sample> samples;
    for (int i = 0; i < names.size(); ++i) {
        Sample sample;
        sample.name = names[i];
        sample.bytes = SampleBytes(40 + 97 * i, salt + i);
        const QString path = plain + QLatin1Char('/') + names[i];
        WriteFile(path, sample.bytes);
        paths << path;
        samples << sample;
    }
    const QStringList encrypted = EncodeFiles(paths, folder, key);
    for (int i = 0; i < samples.size(); ++i) {
        samples[i].encrypted = encrypted[i];
    }
    return samples;
}

}  // namespace

class TestDecode : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() {
        ClearSettings();
        desktop::key_cache::reset();
    }

    void refusesAnEmptyList();
    void refusesAnEmptyOutputFolder();
    void decodesFilesChosenInTheTree();
    void advancesTheBarsAsEachFileIsDone();
    void givesTheFocusBackWhereTheRunStarted_data();
    void givesTheFocusBackWhereTheRunStarted();
    void cancelsAfterTheCurrentFile_data();
    void cancelsAfterTheCurrentFile();
    void decodesFilesWhoseNamesAreNotUtf8();
    void endsFromTheWorkerWithTheEnginesMessage();

private:
    QString Folder(const QString& name) {
        const QString path = m_deep + QLatin1Char('/') + name;
        QDir().mkpath(path);
        return path;
    }

    ScratchDir m_root;
    QString m_deep;  // a folder whose path is longer than 256 bytes
    QString m_key;   // the run's key, its path longer than 100 bytes
    MatrixPtr m_keyMatrix;
    MatrixPtr m_otherKey;
};

void TestDecode::initTestCase() {
    QVERIFY(m_root.isValid());
    m_deep = m_root.path();
    for (int i = 0; i < 5; ++i) {
        m_deep +=
            QStringLiteral("/folder_with_a_name_long_enough_to_pass_the_old_limits_%1").arg(i);
    }
    QVERIFY(QDir().mkpath(m_deep));
    QVERIFY(m_deep.toUtf8().size() > 256);
    m_key = WriteKey(m_deep + QStringLiteral("/first.key"), kFirstKeySeed);
    QVERIFY(m_key.toUtf8().size() > 100);
    m_keyMatrix = MakeKey(kFirstKeySeed);
    m_otherKey = MakeKey(kOtherKeySeed);
}

void TestDecode::refusesAnEmptyList() {
    AppSession session(m_key);
    QVERIFY(session.started());
    QVERIFY(session.expose());
    CVekDCView* panel = session.panel();
    const QColor idle = panel->PanelColor();
    session.frame()->RevealDecodePanel();
    QTRY_VERIFY(panel->width() > 0);

    QTest::mouseClick(panel->GetDlgItem(CVekDCView::IDC_DECODE), Qt::LeftButton);
    QCOMPARE(Texts(session.recorder()).size(), 1);
    const auto& box = session.recorder().boxes.back();
    QVERIFY(QString::fromStdString(box.text).contains(QStringLiteral("入力ファイルリスト")));
    QCOMPARE(box.caption, std::string(platform::kDecoderCaption));
    QCOMPARE(box.icon, platform::Icon::Information);
    QCOMPARE(panel->PanelColor(), idle);
    QCOMPARE(PanelBar(panel)->value(), 0);
    QVERIFY(desktop::key_cache::key() == nullptr);

    // The status-bar bar comes with the first request, once, and shows only
    // while a run is active; "Start!" stays.
    QCOMPARE(session.frame()->GetPaneText(0), QStringLiteral("Start!"));
    QVERIFY(session.tree()->m_statusProgress != nullptr);
    QCOMPARE(session.tree()->m_statusProgress->parentWidget(), session.frame()->m_wndStatusBar);
    QVERIFY(!session.tree()->m_statusProgress->isVisible());
    QCOMPARE(panel->StartDecode(), -1);
    QCOMPARE(session.frame()->m_wndStatusBar->findChildren<QProgressBar*>().size(), 1);
}

void TestDecode::refusesAnEmptyOutputFolder() {
    AppSession session(m_key);
    CVekDCView* panel = session.panel();
    panel->AddFileToList(QStringLiteral("/nowhere/a.vek"));
    OutDirBox(panel)->clear();
    QCOMPARE(panel->StartDecode(), -1);
    QCOMPARE(Texts(session.recorder()), QStringList{QStringLiteral("出力先を設定して下さい。")});
    QCOMPARE(panel->GetFileListEntries(), QStringList{QStringLiteral("/nowhere/a.vek")});
    QCOMPARE(panel->PanelColor(), QColor(220, 200, 180));
    QVERIFY(desktop::key_cache::key() == nullptr);
}

void TestDecode::decodesFilesChosenInTheTree() {
    const QString road = Folder(QStringLiteral("road"));
    const QString sub = Folder(QStringLiteral("road/sub"));
    const QList<Sample> top = MakeSamples(
        road, {QStringLiteral("a.txt"), QStringLiteral("b.gif"), QStringLiteral("c.bmp")},
        m_keyMatrix.get(), 1);
    const QList<Sample> below = MakeSamples(sub, {QStringLiteral("d.txt")}, m_keyMatrix.get(), 7);

    AppSession session(m_key);
    QVERIFY(session.expose());
    CLeftView* tree = session.tree();
    CVekDCView* panel = session.panel();
    QTest::keyClick(tree, Qt::Key_F2);  // reveal the panel
    QVERIFY(panel->width() > 0);

    // Space on a file adds it once; F5 decodes it.
    QTreeWidgetItem* roadItem = ExpandTo(tree, road);
    QVERIFY(roadItem != nullptr);
    tree->setCurrentItem(ChildNamed(tree, roadItem, QStringLiteral("a.vek")));
    QTest::keyClick(tree, Qt::Key_Space);
    QTest::keyClick(tree, Qt::Key_Space);
    QCOMPARE(panel->GetFileListEntries(), QStringList{top[0].encrypted});
    const QString out1 = Folder(QStringLiteral("out1"));
    OutDirBox(panel)->setText(out1);
    session.recorder().boxes.clear();
    QTest::keyClick(tree, Qt::Key_F5);
    QVERIFY(desktop::key_cache::key() != nullptr);
    QCOMPARE(ReadFile(out1 + QStringLiteral("/a.txt")), top[0].bytes);
    QCOMPARE(Texts(session.recorder()),
             (QStringList{kStartText,
                          QStringLiteral("出力は ") + out1 + QStringLiteral(" にされます。")}));
    // The panel is back at rest; the status bar tells what the run did.
    QVERIFY(panel->GetFileListEntries().isEmpty());
    QVERIFY(session.doc()->m_fileList.empty());
    QCOMPARE(session.frame()->GetPaneText(0),
             QStringLiteral("デコード完了: 1 個をデコード、0 個を拒否"));
    QCOMPARE(panel->PanelColor(), QColor(220, 200, 180));
    QCOMPARE(PanelBar(panel)->value(), 0);
    QCOMPARE(tree->m_statusProgress->value(), 0);
    QCOMPARE(session.doc()->m_bDecoding, 0);
    QCOMPARE(OutDirBox(panel)->text(), out1);
    QCOMPARE(QString::fromStdString(session.doc()->m_strOutDir), out1);

    // Enter on a folder decodes its encrypted files.
    const QString out2 = Folder(QStringLiteral("out2"));
    OutDirBox(panel)->setText(out2);
    tree->setCurrentItem(ChildNamed(tree, roadItem, QStringLiteral("sub")));
    QTest::keyClick(tree, Qt::Key_Return);
    QCOMPARE(Contents(out2), QStringList{QStringLiteral("d.txt")});
    QCOMPARE(ReadFile(out2 + QStringLiteral("/d.txt")), below[0].bytes);

    // A right double-click on the selected folder's label asks, then decodes
    // the folder's own files (not those of its subfolder).
    const QString out3 = Folder(QStringLiteral("out3"));
    OutDirBox(panel)->setText(out3);
    tree->setCurrentItem(roadItem);
    session.recorder().boxes.clear();
    session.recorder().setNextAnswer(platform::Answer::Yes);
    QTest::mouseDClick(tree->viewport(), Qt::RightButton, {},
                       tree->GetItemTextRect(roadItem).center());
    const auto& question = session.recorder().boxes.front();
    QCOMPARE(QString::fromStdString(question.text),
             QStringLiteral("[%1]以下を\nすべてデコードしますか？").arg(road));
    QCOMPARE(question.caption, std::string(platform::kAppTitle));
    QCOMPARE(question.buttons, platform::Buttons::YesNo);
    QCOMPARE(question.icon, platform::Icon::Question);
    QCOMPARE(Contents(out3), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.gif"),
                                          QStringLiteral("c.bmp")}));
    for (const Sample& sample : top) {
        QCOMPARE(ReadFile(out3 + QLatin1Char('/') + sample.name), sample.bytes);
    }
    // A decoded picture is opened in the browser.
    QCOMPARE(session.recorder().programs.back(),
             std::string(platform::kBrowserProgram) + " " + (out3 + "/b.gif").toStdString());
}

void TestDecode::givesTheFocusBackWhereTheRunStarted_data() {
    QTest::addColumn<QString>("start");  // how the run is started
    QTest::addColumn<bool>("panelShown");
    QTest::addColumn<QString>("focusDuring");  // the focus while the run is active
    QTest::newRow("Enter in the tree") << "Enter" << true << "IDC_1011";
    QTest::newRow("F5, the panel collapsed") << "F5" << false << "AFX_IDW_PANE_FIRST_59648";
    QTest::newRow("the decode button") << "button" << true << "IDC_1011";
}

void TestDecode::givesTheFocusBackWhereTheRunStarted() {
    QFETCH(QString, start);
    QFETCH(bool, panelShown);
    QFETCH(QString, focusDuring);
    const QString folder = Folder(QStringLiteral("focus_") + start);
    const QList<Sample> samples =
        MakeSamples(folder, {QStringLiteral("f.txt")}, m_keyMatrix.get(), 5);
    AppSession session(m_key);
    QVERIFY(session.expose());
    QVERIFY(QTest::qWaitForWindowActive(session.frame()));
    CLeftView* tree = session.tree();
    CVekDCView* panel = session.panel();
    if (panelShown) {
        session.frame()->RevealDecodePanel();
    }
    OutDirBox(panel)->setText(Folder(QStringLiteral("focus_out_") + start));
    tree->setCurrentItem(ExpandTo(tree, samples[0].encrypted));
    QWidget* origin = tree;
    if (start == QStringLiteral("button")) {
        panel->AddFileToList(samples[0].encrypted);
        origin = panel->GetDlgItem(CVekDCView::IDC_DECODE);
    } else if (start == QStringLiteral("F5")) {
        panel->AddFileToList(samples[0].encrypted);
    }
    origin->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), origin);

    QString during;
    // The notice that names the output folder comes once the run is active.
    session.recorder().on_box = [&](const platform::RecordingServices::Box& box) {
        if (QString::fromStdString(box.text).startsWith(QStringLiteral("出力は")) &&
            QApplication::focusWidget() != nullptr) {
            during = QApplication::focusWidget()->objectName();
        }
    };
    if (start == QStringLiteral("button")) {
        QTest::keyClick(origin, Qt::Key_Space);
    } else {
        QTest::keyClick(tree, start == QStringLiteral("F5") ? Qt::Key_F5 : Qt::Key_Return);
    }
    session.recorder().on_box = nullptr;
    QCOMPARE(session.frame()->GetPaneText(0),
             QStringLiteral("デコード完了: 1 個をデコード、0 個を拒否"));
    QCOMPARE(during, focusDuring);
    QCOMPARE(QApplication::focusWidget(), origin);
}

void TestDecode::advancesTheBarsAsEachFileIsDone() {
    const QString folder = Folder(QStringLiteral("progress"));
    const QList<Sample> samples = MakeSamples(
        folder, {QStringLiteral("p1.txt"), QStringLiteral("p2.txt"), QStringLiteral("p3.txt")},
        m_keyMatrix.get(), 20);
    const QString out = Folder(QStringLiteral("progress_out"));

    AppSession session(m_key);
    QVERIFY(session.expose());
    CVekDCView* panel = session.panel();
    panel->SetRefreshInterval(0);
    for (const Sample& sample : samples) {
        panel->AddFileToList(sample.encrypted);
    }
    OutDirBox(panel)->setText(out);
    session.tree()->ShowStatusProgress();

    QList<int> values;
    connect(panel, &CVekDCView::progressChanged, this, [&](int percent) { values << percent; });
    QCOMPARE(panel->StartDecode(), 0);

    // The bars only move forward, end full, then return to rest.
    QVERIFY(values.size() >= 2);
    QCOMPARE(values.takeLast(), 0);
    QCOMPARE(values.last(), 100);
    QVERIFY2(std::is_sorted(values.begin(), values.end()),
             qPrintable(QString::number(values.size())));
    QCOMPARE(Contents(out).size(), 3);
    QCOMPARE(PanelBar(panel)->value(), 0);
    QCOMPARE(session.tree()->m_statusProgress->value(), 0);
}

void TestDecode::cancelsAfterTheCurrentFile_data() {
    QTest::addColumn<bool>("byEscape");
    QTest::newRow("中止 button") << false;
    QTest::newRow("Esc") << true;
}

void TestDecode::cancelsAfterTheCurrentFile() {
    QFETCH(bool, byEscape);
    const QString folder = Folder(QStringLiteral("cancel"));
    const QList<Sample> good = MakeSamples(
        folder, {QStringLiteral("c1.txt"), QStringLiteral("c3.txt")}, m_keyMatrix.get(), 33);
    const QList<Sample> bad = MakeSamples(folder, {QStringLiteral("c2.txt")}, m_otherKey.get(), 43);
    const QString out =
        Folder(byEscape ? QStringLiteral("cancel_esc") : QStringLiteral("cancel_button"));

    AppSession session(m_key);
    QVERIFY(session.expose());
    CVekDCView* panel = session.panel();
    session.frame()->RevealDecodePanel();
    for (const QString& path : {good[0].encrypted, bad[0].encrypted, good[1].encrypted}) {
        panel->AddFileToList(path);
    }
    OutDirBox(panel)->setText(out);

    // The wrong-key notice of the second file comes while the run is active:
    // the user cancels there.
    struct During {
        bool seen = false;
        bool onWindowThread = false;
        bool decoding = false;
        bool cancelShown = false;
        bool decodeHidden = false;
        bool newDisabled = false;
        bool barShown = false;
        int second = 0;
    } during;
    auto* cancel = qobject_cast<QPushButton*>(panel->GetDlgItem(CVekDCView::IDC_CANCEL));
    QVERIFY(cancel != nullptr && !cancel->isVisible());
    session.recorder().on_box = [&](const platform::RecordingServices::Box& box) {
        if (during.seen || !QString::fromStdString(box.text).contains(bad[0].encrypted)) {
            return;
        }
        during.seen = true;
        during.onWindowThread = QThread::currentThread() == qApp->thread();
        during.decoding = session.doc()->m_bDecoding == 1;
        during.cancelShown = cancel->isVisible() && cancel->isEnabled();
        during.decodeHidden = !panel->GetDlgItem(CVekDCView::IDC_DECODE)->isVisible();
        during.newDisabled = !session.frame()->GetCommand(CMainFrame::ID_FILE_NEW)->isEnabled() &&
                             !session.frame()->GetCommand(CMainFrame::ID_FILE_OPEN)->isEnabled() &&
                             !session.tree()->isEnabled();
        during.barShown = session.tree()->m_statusProgress->isVisible();
        during.second = panel->StartDecode();  // one run at a time
        if (byEscape) {
            QTest::keyClick(session.frame(), Qt::Key_Escape);
        } else {
            QTest::mouseClick(cancel, Qt::LeftButton);
        }
    };
    QCOMPARE(panel->StartDecode(), 0);
    session.recorder().on_box = nullptr;

    QVERIFY(during.seen);
    QVERIFY(during.onWindowThread);
    QVERIFY(during.decoding);
    QVERIFY(during.cancelShown);
    QVERIFY(during.decodeHidden);
    QVERIFY(during.newDisabled);
    QVERIFY(during.barShown);
    QVERIFY(!session.tree()->m_statusProgress->isVisible());
    QVERIFY(session.frame()->GetCommand(CMainFrame::ID_FILE_NEW)->isEnabled());
    QCOMPARE(during.second, -1);
    QVERIFY(Texts(session.recorder()).contains(QStringLiteral("現在、デコード実行中です。")));
    // The first file stays written, the third was never started.
    QCOMPARE(Contents(out), QStringList{QStringLiteral("c1.txt")});
    QCOMPARE(ReadFile(out + QStringLiteral("/c1.txt")), good[0].bytes);
    QCOMPARE(session.frame()->GetPaneText(0),
             QStringLiteral("デコード中止: 1 個をデコード、1 個を拒否"));
    QCOMPARE(panel->GetFileListEntries(), QStringList{good[1].encrypted});
    QVERIFY(!cancel->isVisible());
    QVERIFY(panel->GetDlgItem(CVekDCView::IDC_DECODE)->isVisible());
    QVERIFY(panel->GetDlgItem(CVekDCView::IDC_DECODE)->isEnabled());
    QVERIFY(session.tree()->isEnabled());
    QCOMPARE(session.doc()->m_bDecoding, 0);
}

void TestDecode::decodesFilesWhoseNamesAreNotUtf8() {
    namespace fs = std::filesystem;
    const QString folder = Folder(QStringLiteral("names"));
    const QList<Sample> samples = MakeSamples(
        folder, {QStringLiteral("sjis.txt"), QStringLiteral("broken.txt")}, m_keyMatrix.get(), 11);
    // Renamed to names an old Windows archive or a broken copy would give.
    const std::string base = QFile::encodeName(folder).toStdString() + "/";
    const std::string sjisStem = "\x83\x65\x83\x58\x83\x67";  // テスト in CP932
    const std::string brokenStem = "bad\xff";
    QCOMPARE(::rename((base + "sjis.vek").c_str(), (base + sjisStem + ".vek").c_str()), 0);
    QCOMPARE(::rename((base + "broken.vek").c_str(), (base + brokenStem + ".vek").c_str()), 0);
    const QString out = Folder(QStringLiteral("names_out"));

    AppSession session(m_key);
    QVERIFY(session.expose());
    CLeftView* tree = session.tree();
    CVekDCView* panel = session.panel();
    QTreeWidgetItem* folderItem = ExpandTo(tree, folder);
    QVERIFY(folderItem != nullptr);
    folderItem->setExpanded(true);
    QVERIFY2(ChildLabels(folderItem).contains(QStringLiteral("テスト.vek")),
             qPrintable(ChildLabels(folderItem).join(QLatin1Char('|'))));
    QVERIFY(ChildLabels(folderItem).contains(QStringLiteral("bad\\xff.vek")));

    // Space adds each by its bytes; the list shows them as text.
    for (const QString& label : {QStringLiteral("テスト.vek"), QStringLiteral("bad\\xff.vek")}) {
        tree->setCurrentItem(ChildNamed(tree, folderItem, label));
        QTest::keyClick(tree, Qt::Key_Space);
    }
    QCOMPARE(panel->GetFileListEntries(), (QStringList{folder + QStringLiteral("/bad\\xff.vek"),
                                                       folder + QStringLiteral("/テスト.vek")}));
    QCOMPARE(panel->GetFileListPaths(),
             (QList<QByteArray>{QByteArray::fromStdString(base + brokenStem + ".vek"),
                                QByteArray::fromStdString(base + sjisStem + ".vek")}));

    OutDirBox(panel)->setText(out);
    QCOMPARE(panel->StartDecode(), 0);
    // The outputs keep the stems' bytes.
    const std::string outBase = QFile::encodeName(out).toStdString() + "/";
    for (const auto& [stem, sample] :
         {std::pair{sjisStem, samples[0]}, std::pair{brokenStem, samples[1]}}) {
        std::ifstream written(outBase + stem + ".txt", std::ios::binary);
        QVERIFY2(written.good(), (stem + ".txt").c_str());
        const std::string bytes((std::istreambuf_iterator<char>(written)),
                                std::istreambuf_iterator<char>());
        QCOMPARE(QByteArray::fromStdString(bytes), sample.bytes);
    }
    QCOMPARE(std::distance(fs::directory_iterator(outBase), fs::directory_iterator()), 2);
}

void TestDecode::endsFromTheWorkerWithTheEnginesMessage() {
    // An output folder that does not exist is fatal inside the job, on the
    // worker: the window's thread ends the program with the engine's message.
    const QString folder = Folder(QStringLiteral("fatal"));
    MakeSamples(folder, {QStringLiteral("z.txt")}, m_keyMatrix.get(), 75);
    const QString out = folder + QStringLiteral("/no/such/folder");
    const ChildResult result = RunScenario(
        QStringLiteral("decode"),
        {QStringLiteral("VEKDC_TEST_INPUT=") + folder + QStringLiteral("/z.vek"),
         QStringLiteral("VEKDC_TEST_OUT=") + out, QStringLiteral("VEKDC_TEST_KEY=") + m_key});
    QVERIFY(!result.crashed);
    QVERIFY2(result.exitCode != 0 && result.exitCode != 91, qPrintable(result.errors));
    QVERIFY2(result.errors.contains(QStringLiteral("dec out file open error")),
             qPrintable(result.errors));
    QVERIFY(!QFileInfo::exists(out));
}

// A decode in a process of its own, for the ways that end the program.
static int RunDecodeScenario() {
    AppSession session(qEnvironmentVariable("VEKDC_TEST_KEY"));
    if (!session.started()) {
        return 90;
    }
    CVekDCView* panel = session.panel();
    panel->AddFileToList(qEnvironmentVariable("VEKDC_TEST_INPUT"));
    OutDirBox(panel)->setText(qEnvironmentVariable("VEKDC_TEST_OUT"));
    panel->StartDecode();
    return 91;  // the decode should have ended the program
}

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (qEnvironmentVariable("VEKDC_TEST_SCENARIO") == QStringLiteral("decode")) {
        return RunDecodeScenario();
    }
    TestDecode test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_decode.moc"
