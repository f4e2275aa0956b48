// The decode road from the window: files chosen in the tree or listed on the
// panel, decoded into the output folder with the key read once per run.
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

#include "app/VekDC.h"
#include "app/VekDCDoc.h"
#include "app/VekDCView.h"
#include "browser/LeftView.h"
#include "browser/MainFrm.h"
#include "gui_test_support.h"
#include "platform/launch.h"

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

// Counts the paints of a widget and the value it showed at each.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QProgressBar* bar) : bar_(bar) { bar->installEventFilter(this); }
    QList<int> values;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == bar_ && event->type() == QEvent::Paint) {
            values << bar_->value();
        }
        return false;
    }

private:
    QProgressBar* bar_;
};

}  // namespace

class TestDecode : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { ClearSettings(); }

    void refusesAnEmptyList();
    void refusesAnEmptyOutputFolder();
    void decodesFilesChosenInTheTree();
    void advancesTheBarsAsEachFileIsDone();
    void reportsAndSkipsAFileTheKeyDoesNotOpen();
    void decodesMoreFilesThanTheOldLimits();
    void endsWhenNoKeyWasChosen();
    void endsWhenTheKeyFileIsGoneOrShort();
    void keepsTheFirstKeyForTheWholeRun();

private:
    QString Folder(const QString& name) {
        const QString path = m_deep + QLatin1Char('/') + name;
        QDir().mkpath(path);
        return path;
    }

    QTemporaryDir m_root;
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
    const QColor idle = panel->m_crBack;

    QTest::mouseClick(panel->GetDlgItem(CVekDCView::IDC_DECODE), Qt::LeftButton);
    QCOMPARE(Texts(session.recorder()).size(), 1);
    const auto& box = session.recorder().boxes.back();
    QVERIFY(QString::fromStdString(box.text).contains(QStringLiteral("入力ファイルリスト")));
    QCOMPARE(box.caption, std::string(platform::kDecoderCaption));
    QCOMPARE(box.icon, platform::Icon::Information);
    QCOMPARE(panel->m_crBack, idle);
    QCOMPARE(PanelBar(panel)->value(), 0);
    QCOMPARE(g_keyLoaded, static_cast<unsigned char>(0));

    // The status-bar bar comes with the first request, once; "Start!" stays.
    QCOMPARE(session.frame()->GetPaneText(0), QStringLiteral("Start!"));
    QVERIFY(session.tree()->m_statusProgress != nullptr);
    const QRect pane = session.frame()->GetItemRect(0);
    QCOMPARE(session.tree()->m_statusProgress->geometry(),
             QRect(pane.left() + 300, pane.top(), 300, pane.height()));
    QCOMPARE(session.tree()->m_statusProgress->parentWidget(), session.frame()->m_wndStatusBar);
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
    QCOMPARE(session.doc()->m_fileList, QStringList{QStringLiteral("/nowhere/a.vek")});
    QCOMPARE(panel->m_crBack, QColor(220, 200, 180));
    QCOMPARE(g_keyLoaded, static_cast<unsigned char>(0));
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
    QCOMPARE(g_keyLoaded, static_cast<unsigned char>(1));
    QCOMPARE(ReadFile(out1 + QStringLiteral("/a.txt")), top[0].bytes);
    QCOMPARE(Texts(session.recorder()),
             (QStringList{kStartText,
                          QStringLiteral("出力は ") + out1 + QStringLiteral(" にされます。")}));
    // The panel is back at rest.
    QVERIFY(panel->GetFileListEntries().isEmpty());
    QVERIFY(session.doc()->m_fileList.isEmpty());
    QCOMPARE(session.frame()->GetPaneText(0), QString());
    QCOMPARE(panel->m_crBack, QColor(220, 200, 180));
    QCOMPARE(PanelBar(panel)->value(), 0);
    QCOMPARE(tree->m_statusProgress->value(), 0);
    QCOMPARE(session.doc()->m_bDecoding, 0);
    QCOMPARE(OutDirBox(panel)->text(), out1);
    QCOMPARE(session.doc()->m_strOutDir, out1);

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

void TestDecode::advancesTheBarsAsEachFileIsDone() {
    const QString folder = Folder(QStringLiteral("progress"));
    const QList<Sample> samples = MakeSamples(
        folder, {QStringLiteral("p1.txt"), QStringLiteral("p2.txt"), QStringLiteral("p3.txt")},
        m_keyMatrix.get(), 20);
    const QString out = Folder(QStringLiteral("progress_out"));

    AppSession session(m_key);
    QVERIFY(session.expose());
    CVekDCView* panel = session.panel();
    session.frame()->m_wndSplitter->setSizes({250, 600});
    QTest::qWait(50);
    for (const Sample& sample : samples) {
        panel->AddFileToList(sample.encrypted);
    }
    OutDirBox(panel)->setText(out);
    session.tree()->ShowStatusProgress();
    PaintWatch panelPaints(PanelBar(panel));
    PaintWatch statusPaints(session.tree()->m_statusProgress);

    QList<int> values;
    QList<qsizetype> filesDone;
    connect(panel, &CVekDCView::progressChanged, this, [&](int percent) {
        values << percent;
        filesDone << Contents(out).size();
    });
    QCOMPARE(panel->StartDecode(), 0);

    QCOMPARE(values, (QList<int>{33, 66, 100, 0}));
    QCOMPARE(filesDone, (QList<qsizetype>{1, 2, 3, 3}));
    for (int percent : {33, 66, 100}) {
        QVERIFY2(panelPaints.values.contains(percent), qPrintable(QString::number(percent)));
        QVERIFY2(statusPaints.values.contains(percent), qPrintable(QString::number(percent)));
    }
    QCOMPARE(PanelBar(panel)->value(), 0);
    QCOMPARE(session.tree()->m_statusProgress->value(), 0);
}

void TestDecode::reportsAndSkipsAFileTheKeyDoesNotOpen() {
    const QString folder = Folder(QStringLiteral("wrong"));
    const QList<Sample> good = MakeSamples(
        folder, {QStringLiteral("x1.txt"), QStringLiteral("x3.txt")}, m_keyMatrix.get(), 30);
    const QList<Sample> bad = MakeSamples(folder, {QStringLiteral("x2.txt")}, m_otherKey.get(), 40);
    const QString out = Folder(QStringLiteral("wrong_out"));

    AppSession session(m_key);
    CVekDCView* panel = session.panel();
    for (const QString& path : {good[0].encrypted, bad[0].encrypted, good[1].encrypted}) {
        panel->AddFileToList(path);
    }
    OutDirBox(panel)->setText(out);
    QCOMPARE(panel->StartDecode(), 0);

    QVERIFY(Texts(session.recorder())
                .contains(QStringLiteral("与えられた鍵ではファイル%1の暗号を解除できません。")
                              .arg(bad[0].encrypted)));
    QCOMPARE(Contents(out), (QStringList{QStringLiteral("x1.txt"), QStringLiteral("x3.txt")}));
    QCOMPARE(ReadFile(out + QStringLiteral("/x1.txt")), good[0].bytes);
    QCOMPARE(ReadFile(out + QStringLiteral("/x3.txt")), good[1].bytes);
    QVERIFY(panel->GetFileListEntries().isEmpty());
}

void TestDecode::decodesMoreFilesThanTheOldLimits() {
    const QString folder = Folder(QStringLiteral("many"));
    QStringList names;
    for (int i = 0; i < 120; ++i) {
        names << QStringLiteral("file_%1.txt").arg(i, 3, 10, QLatin1Char('0'));
    }
    const QList<Sample> samples = MakeSamples(folder, names, m_keyMatrix.get(), 50);
    QVERIFY(samples.front().encrypted.toUtf8().size() > 256);
    const QString out = Folder(QStringLiteral("many_out"));

    AppSession session(m_key);
    CVekDCView* panel = session.panel();
    for (const Sample& sample : samples) {
        panel->AddFileToList(sample.encrypted);
    }
    QCOMPARE(panel->GetFileListEntries().size(), 120);
    OutDirBox(panel)->setText(out);
    QCOMPARE(panel->StartDecode(), 0);
    QCOMPARE(Contents(out).size(), 120);
    for (const Sample& sample : samples) {
        QCOMPARE(ReadFile(out + QLatin1Char('/') + sample.name), sample.bytes);
    }
}

void TestDecode::endsWhenNoKeyWasChosen() {
    const QString folder = Folder(QStringLiteral("nokey"));
    MakeSamples(folder, {QStringLiteral("n.txt")}, m_keyMatrix.get(), 60);
    const QString out = Folder(QStringLiteral("nokey/out"));

    const ChildResult result =
        RunScenario(QStringLiteral("decode"),
                    {QStringLiteral("VEKDC_TEST_INPUT=") + folder + QStringLiteral("/n.vek"),
                     QStringLiteral("VEKDC_TEST_OUT=") + out, QStringLiteral("VEKDC_TEST_KEY=")});
    QVERIFY(!result.crashed);
    QCOMPARE(result.exitCode, 1);
    const qsizetype start = result.errors.indexOf(kStartText);
    const qsizetype output = result.errors.indexOf(QStringLiteral("出力は ") + out);
    const qsizetype restart = result.errors.indexOf(kRestartText);
    QVERIFY2(start >= 0 && start < output && output < restart, qPrintable(result.errors));
    QVERIFY(Contents(out).isEmpty());
}

void TestDecode::endsWhenTheKeyFileIsGoneOrShort() {
    const QString folder = Folder(QStringLiteral("badkey"));
    MakeSamples(folder, {QStringLiteral("k.txt")}, m_keyMatrix.get(), 70);
    const QString out = Folder(QStringLiteral("badkey/out"));
    const QString shortKey = folder + QStringLiteral("/short.key");
    QVERIFY(WriteFile(shortKey, QByteArray(100, 'k')));

    struct Case {
        QString key;
        QString expected;
    };
    const Case cases[] = {
        {folder + QStringLiteral("/gone.key"), QStringLiteral("cannot be opened")},
        {shortKey, QStringLiteral("too short")}};
    for (const Case& c : cases) {
        const ChildResult result = RunScenario(
            QStringLiteral("decode"),
            {QStringLiteral("VEKDC_TEST_INPUT=") + folder + QStringLiteral("/k.vek"),
             QStringLiteral("VEKDC_TEST_OUT=") + out, QStringLiteral("VEKDC_TEST_KEY=") + c.key});
        QVERIFY(!result.crashed);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.errors.contains(c.key) && result.errors.contains(c.expected),
                 qPrintable(result.errors));
        QVERIFY(Contents(out).isEmpty());
    }
}

void TestDecode::keepsTheFirstKeyForTheWholeRun() {
    QCOMPARE(g_keyLoaded, static_cast<unsigned char>(1));  // read by an earlier decode
    const QString folder = Folder(QStringLiteral("keep"));
    const QList<Sample> first =
        MakeSamples(folder, {QStringLiteral("f.txt")}, m_keyMatrix.get(), 80);
    const QList<Sample> other =
        MakeSamples(folder, {QStringLiteral("o.txt")}, m_otherKey.get(), 90);
    const QString otherKeyFile = WriteKey(folder + QStringLiteral("/other.key"), kOtherKeySeed);
    const QString out = Folder(QStringLiteral("keep_out"));

    AppSession session(m_key);
    CVekDCView* panel = session.panel();
    // Another key is chosen, and the first key file disappears.
    session.recorder().setNextFile(otherKeyFile.toStdString());
    QTest::mouseClick(panel->GetDlgItem(CVekDCView::IDC_SET_KEY), Qt::LeftButton);
    QCOMPARE(session.doc()->m_strKeyPath, otherKeyFile);
    QVERIFY(QFile::remove(m_key));

    panel->AddFileToList(first[0].encrypted);
    panel->AddFileToList(other[0].encrypted);
    OutDirBox(panel)->setText(out);
    QCOMPARE(panel->StartDecode(), 0);
    QCOMPARE(Contents(out), QStringList{QStringLiteral("f.txt")});
    QCOMPARE(ReadFile(out + QStringLiteral("/f.txt")), first[0].bytes);
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
