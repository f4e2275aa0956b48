// The Qt implementation of the platform services: real message boxes and
// file dialogs (answered by the test), program starts, the end of the process.
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <functional>
#include <map>
#include <thread>

#include "gui_test_support.h"
#include "platform/launch.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/ui_thread_services.h"
#include "testing/recording_services.h"
#include "window/qt/language.h"

using namespace vekdc;
using namespace vekdc::platform;

Q_DECLARE_METATYPE(vekdc::platform::Buttons)
Q_DECLARE_METATYPE(vekdc::platform::Icon)
Q_DECLARE_METATYPE(vekdc::platform::Answer)

namespace {

// Runs `act` on the first modal dialog of type T once it shows. A dialog
// that has not shown (or not closed) within the limit is rejected, so that a
// test fails with a message instead of waiting for ever in the dialog's loop.
template <typename T>
void WhenModalShows(std::function<void(T*)> act) {
    constexpr qint64 kLimitMs = 30000;
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, act] {
        QWidget* modal = QApplication::activeModalWidget();
        T* dialog = qobject_cast<T*>(modal);
        if (dialog == nullptr && !clock->hasExpired(kLimitMs)) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (dialog == nullptr) {
            qWarning("no %s showed within %lld ms", T::staticMetaObject.className(), kLimitMs);
            if (auto* other = qobject_cast<QDialog*>(modal)) {
                other->reject();
            }
            return;
        }
        act(dialog);
        // An answer that did not close the dialog must not leave the test in
        // its loop for ever either.
        QTimer::singleShot(kLimitMs, dialog, [dialog] {
            if (dialog->isVisible()) {
                qWarning("%s stayed open after its answer", T::staticMetaObject.className());
                static_cast<QDialog*>(dialog)->reject();
            }
        });
    });
    timer->start();
}

// Runs `work` on a thread of its own while this thread's event loop carries
// out what it asks for; returns when the thread is done.
void OnWorker(const std::function<void()>& work) {
    QEventLoop loop;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}

// Receives what QDesktopServices is asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    UrlCatcher() {
        for (const char* scheme : {"http", "https", "file"}) {
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
        }
    }
    ~UrlCatcher() override {
        for (const char* scheme : {"http", "https", "file"}) {
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        }
    }
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls << url; }
};

}  // namespace

class TestQtServices : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void convertsFilters_data();
    void convertsFilters();
    void messageBoxShowsWhatItIsAsked_data();
    void messageBoxShowsWhatItIsAsked();
    void messageBoxIsAsWideAsItsCaption();
    void standardButtonsAreJapanese();
    void fileDialogUsesTheRequest();
    void fileDialogWithACheckStaysOpenForARefusedFile();
    void fileDialogCancelled();
    void startsProgramsThroughTheDesktop();
    void exitWritesTheSettingsFirst();
    void workerCallsRunOnTheWindowThread_data();
    void workerCallsRunOnTheWindowThread();
    void workerQuestionIsAModalBox();
    void workerEndsTheProgramFromTheWindowThread();

private:
    QtServices m_services;
};

void TestQtServices::initTestCase() {
    QVERIFY(InstallTranslations(Language::Japanese));
}

void TestQtServices::convertsFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("key dialog") << "Vekキーファイル|*.key|すべて|*.*||"
                                << QStringList{"Vekキーファイル (*.key)", "すべて (*)"};
    QTest::newRow("labels with patterns")
        << "vek file (*.vek)|*.vek| encrypted file (*.encrypted)|*.encrypted | all files "
           "(*.*)|*.*||"
        << QStringList{"vek file (*.vek)", "encrypted file (*.encrypted)", "all files (*)"};
    QTest::newRow("one label") << "key file (*.key)" << QStringList{"key file (*.key)"};
    QTest::newRow("label without patterns") << "keys" << QStringList{"keys (*)"};
    QTest::newRow("several patterns") << "text|*.txt;*.doc||" << QStringList{"text (*.txt *.doc)"};
    QTest::newRow("no end marker") << "a|*.a|b|*.b" << QStringList{"a (*.a)", "b (*.b)"};
    QTest::newRow("empty") << "" << QStringList{};
}

void TestQtServices::convertsFilters() {
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(qt_name_filters(filter.toStdString()), expected);
}

void TestQtServices::messageBoxShowsWhatItIsAsked_data() {
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<Icon>("icon");
    QTest::addColumn<int>("click");  // a QMessageBox::StandardButton, or 0 for Esc
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<int>("qtIcon");
    QTest::newRow("yes/no, no") << Buttons::YesNo << Icon::Question << int(QMessageBox::No)
                                << Answer::No << int(QMessageBox::Question);
    QTest::newRow("yes/no, yes") << Buttons::YesNo << Icon::Question << int(QMessageBox::Yes)
                                 << Answer::Yes << int(QMessageBox::Question);
    QTest::newRow("yes/no, Esc") << Buttons::YesNo << Icon::Question << 0 << Answer::No
                                 << int(QMessageBox::Question);
    QTest::newRow("ok") << Buttons::Ok << Icon::Information << int(QMessageBox::Ok) << Answer::Ok
                        << int(QMessageBox::Information);
    QTest::newRow("ok/cancel, cancel")
        << Buttons::OkCancel << Icon::None << int(QMessageBox::Cancel) << Answer::Cancel
        << int(QMessageBox::NoIcon);
    QTest::newRow("exclamation") << Buttons::Ok << Icon::Exclamation << int(QMessageBox::Ok)
                                 << Answer::Ok << int(QMessageBox::Warning);
}

void TestQtServices::messageBoxShowsWhatItIsAsked() {
    QFETCH(Buttons, buttons);
    QFETCH(Icon, icon);
    QFETCH(int, click);
    QFETCH(Answer, answer);
    QFETCH(int, qtIcon);
    QString caption;
    QString text;
    int shownIcon = -1;
    Qt::TextFormat format = Qt::AutoText;
    WhenModalShows<QMessageBox>([&](QMessageBox* box) {
        caption = box->windowTitle();
        text = box->text();
        shownIcon = box->icon();
        format = box->textFormat();
        if (click == 0) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            box->button(static_cast<QMessageBox::StandardButton>(click))->click();
        }
    });
    const Answer result = m_services.message_box("[/a/<b>]以下を\nすべてデコードしますか？",
                                                 kDecoderCaption, buttons, icon);
    QCOMPARE(result, answer);
    QCOMPARE(caption, QStringLiteral("Orvinta VEK デコーダ"));
    QCOMPARE(text, QStringLiteral("[/a/<b>]以下を\nすべてデコードしますか？"));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(shownIcon, qtIcon);
}

void TestQtServices::messageBoxIsAsWideAsItsCaption() {
    // A box with a short text: the window manager would cut its caption.
    int width = 0;
    int needed = 0;
    WhenModalShows<QMessageBox>([&](QMessageBox* box) {
        QFont bold = box->font();
        bold.setBold(true);
        needed = QFontMetrics(bold).horizontalAdvance(box->windowTitle());
        width = box->width();
        box->button(QMessageBox::Ok)->click();
    });
    m_services.message_box("!", kDecoderCaption, Buttons::Ok, Icon::None);
    QVERIFY2(width > needed + 100, qPrintable(QStringLiteral("%1 for %2").arg(width).arg(needed)));
}

void TestQtServices::standardButtonsAreJapanese() {
    QStringList texts;
    WhenModalShows<QMessageBox>([&](QMessageBox* box) {
        texts << box->button(QMessageBox::Yes)->text() << box->button(QMessageBox::No)->text();
        box->button(QMessageBox::Yes)->click();
    });
    m_services.message_box("?", kAppTitle, Buttons::YesNo, Icon::Question);
    QVERIFY2(texts.value(0).contains(QStringLiteral("はい")), qPrintable(texts.join(',')));
    QVERIFY2(texts.value(1).contains(QStringLiteral("いいえ")), qPrintable(texts.join(',')));
}

void TestQtServices::fileDialogUsesTheRequest() {
    QTemporaryDir folder;
    FileDialogRequest request;
    request.title = "鍵を選ぶ";
    request.filter = "Vekキーファイル|*.key|すべて|*.*||";
    request.default_ext = "key";
    request.initial_dir = folder.path().toStdString();
    QString title;
    QStringList filters;
    QString suffix;
    QString directory;
    WhenModalShows<QFileDialog>([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        directory = dialog->directory().absolutePath();
        // Typed without extension, not existing. Typed into the name box
        // itself: selectFile() leaves the box alone while it has the focus,
        // and the focus arrives whenever the window system activates the
        // dialog, so the name would sometimes be lost and accept() would
        // only open the folder.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name != nullptr);
        name->setText(QStringLiteral("mykey"));
        static_cast<QDialog*>(dialog)->accept();
    });
    const auto chosen = m_services.open_file(request);
    QCOMPARE(title, QStringLiteral("鍵を選ぶ"));
    QCOMPARE(filters, (QStringList{QStringLiteral("Vekキーファイル (*.key)"),
                                   QStringLiteral("すべて (*)")}));
    QCOMPARE(suffix, QStringLiteral("key"));
    QCOMPARE(directory, folder.path());
    QVERIFY(chosen.has_value());
    QCOMPARE(QString::fromStdString(*chosen), folder.filePath(QStringLiteral("mykey.key")));
}

void TestQtServices::fileDialogWithACheckStaysOpenForARefusedFile() {
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("keys")));
    QFile good(folder.filePath(QStringLiteral("keys/good.key")));
    QVERIFY(good.open(QIODevice::WriteOnly));
    good.close();
    FileDialogRequest request;
    request.initial_dir = folder.path().toStdString();
    std::vector<std::string> checked;
    request.check = [&](const std::string& path) {
        checked.push_back(path);
        return path.ends_with("good.key") ? std::string() : std::string("no key: ") + path;
    };
    QStringList refusals;
    bool openAfterRefusal = false;
    WhenModalShows<QFileDialog>([&](QFileDialog* dialog) {
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name != nullptr);
        // An existing file the check refuses: its box, then the dialog again.
        QTimer::singleShot(0, dialog, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                refusals << box->text();
                box->accept();
            }
        });
        name->setText(QStringLiteral("keys/other.key"));
        QFile other(folder.filePath(QStringLiteral("keys/other.key")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        static_cast<QDialog*>(dialog)->accept();
        openAfterRefusal = dialog->isVisible();
        name->setText(QStringLiteral("keys/good.key"));
        static_cast<QDialog*>(dialog)->accept();
    });
    const auto chosen = m_services.open_file(request);
    QVERIFY(openAfterRefusal);
    QCOMPARE(refusals.size(), 1);
    QVERIFY2(refusals[0].startsWith(QStringLiteral("no key: ")), qPrintable(refusals.join(',')));
    QCOMPARE(checked.size(), std::size_t{2});
    QVERIFY(chosen.has_value());
    QCOMPARE(QString::fromStdString(*chosen), folder.filePath(QStringLiteral("keys/good.key")));
}

void TestQtServices::fileDialogCancelled() {
    FileDialogRequest request;
    request.filter = "vek file (*.vek)|*.vek| all files (*.*)|*.*||";
    request.initial_name = "*.vek";
    QString selected;
    WhenModalShows<QFileDialog>([&](QFileDialog* dialog) {
        selected = dialog->selectedNameFilter();
        dialog->reject();
    });
    QVERIFY(!m_services.open_file(request).has_value());
    QCOMPARE(selected, QStringLiteral("vek file (*.vek)"));
}

void TestQtServices::startsProgramsThroughTheDesktop() {
    QTemporaryDir drive;
    UrlCatcher catcher;
    m_services.run_program(std::string(kBrowserProgram) + " orvinta.example");
    m_services.run_program(std::string(kBrowserProgram) + " /tmp/pic ture.gif");
    m_services.run_program(std::string(kExternalViewerProgram) + " /tmp/drawing.wmf");
    m_services.run_program("c:\\Program Files\\Other\\other.exe /tmp/x");
    m_services.shell_open("/tmp/font.ttf", "c:\\Windows\\temp");
    // A decoded file in a relative output folder opens as that file, not as a web address.
    QTemporaryDir work;
    QFile picture(work.filePath(QStringLiteral("out.gif")));
    QVERIFY(picture.open(QIODevice::WriteOnly));
    picture.close();
    const QString previous = QDir::currentPath();
    QDir::setCurrent(work.path());
    m_services.run_program(std::string(kBrowserProgram) + " out.gif");
    QDir::setCurrent(previous);
    qunsetenv("VEKDC_DRIVE_D");
    m_services.shell_open("d:\\log_boot.txt", "c:\\windows\\temp\\");  // no such drive here
    qputenv("VEKDC_DRIVE_D", drive.path().toUtf8());
    m_services.shell_open("d:\\log_boot.txt", "c:\\windows\\temp\\");
    qunsetenv("VEKDC_DRIVE_D");
    QCOMPARE(catcher.urls,
             (QList<QUrl>{QUrl(QStringLiteral("http://orvinta.example")),
                          QUrl::fromLocalFile(QStringLiteral("/tmp/pic ture.gif")),
                          QUrl::fromLocalFile(QStringLiteral("/tmp/drawing.wmf")),
                          QUrl::fromLocalFile(QStringLiteral("/tmp/font.ttf")),
                          QUrl::fromLocalFile(work.filePath(QStringLiteral("out.gif"))),
                          QUrl::fromLocalFile(drive.path() + QStringLiteral("/log_boot.txt"))}));
}

void TestQtServices::exitWritesTheSettingsFirst() {
    QTemporaryDir config;
    const test::ChildResult result = test::RunScenario(
        QStringLiteral("exit"), {QStringLiteral("XDG_CONFIG_HOME=") + config.path()});
    QVERIFY(!result.crashed);
    QCOMPARE(result.exitCode, 3);
    const QByteArray written =
        test::ReadFile(config.filePath(QStringLiteral("Orvinta/VekDC.conf")));
    QVERIFY2(written.contains("written=before the end"), written.constData());
}

void TestQtServices::workerCallsRunOnTheWindowThread_data() {
    QTest::addColumn<QString>("call");
    QTest::newRow("question") << QStringLiteral("question");
    QTest::newRow("notice") << QStringLiteral("notice");
    QTest::newRow("file dialog") << QStringLiteral("file dialog");
    QTest::newRow("program") << QStringLiteral("program");
    QTest::newRow("shell open") << QStringLiteral("shell open");
}

void TestQtServices::workerCallsRunOnTheWindowThread() {
    QFETCH(QString, call);
    // Notes the thread of every call that reaches the wrapped services.
    class ThreadRecorder : public RecordingServices {
    public:
        std::optional<std::string> open_file(const FileDialogRequest& request) override {
            threads.push_back(std::this_thread::get_id());
            return RecordingServices::open_file(request);
        }
        void run_program(const std::string& line) override {
            threads.push_back(std::this_thread::get_id());
            RecordingServices::run_program(line);
        }
        void shell_open(const std::string& path, const std::string& folder) override {
            threads.push_back(std::this_thread::get_id());
            RecordingServices::shell_open(path, folder);
        }
        std::vector<std::thread::id> threads;
    } recorder;
    recorder.setNextAnswer(Answer::No);
    recorder.setNextFile("/chosen/key.key");
    UiThreadServices marshalled(recorder);

    std::thread::id workerThread;
    std::string result;
    OnWorker([&] {
        workerThread = std::this_thread::get_id();
        if (call == QStringLiteral("question")) {
            result = marshalled.message_box("?", kDecoderCaption, Buttons::YesNo, Icon::Question) ==
                             Answer::No
                         ? "no"
                         : "other";
        } else if (call == QStringLiteral("notice")) {
            result = marshalled.message_box("!", kDecoderCaption, Buttons::Ok, Icon::Information) ==
                             Answer::Ok
                         ? "ok"
                         : "other";
        } else if (call == QStringLiteral("file dialog")) {
            result = marshalled.open_file(FileDialogRequest{}).value_or("none");
        } else if (call == QStringLiteral("program")) {
            marshalled.run_program("viewer /x.gif");
            result = recorder.programs.empty() ? "lost" : recorder.programs.front();
        } else {
            marshalled.shell_open("/x.ttf", "/tmp");
            result = recorder.shell_opens.empty() ? "lost" : recorder.shell_opens.front().first;
        }
    });

    const std::map<QString, std::string> expected = {
        {QStringLiteral("question"), "no"},
        {QStringLiteral("notice"), "ok"},
        {QStringLiteral("file dialog"), "/chosen/key.key"},
        {QStringLiteral("program"), "viewer /x.gif"},
        {QStringLiteral("shell open"), "/x.ttf"}};
    QCOMPARE(result, expected.at(call));
    QVERIFY(workerThread != std::this_thread::get_id());
    for (const auto& box : recorder.boxes) {
        QVERIFY(box.thread == std::this_thread::get_id());
    }
    for (const auto& thread : recorder.threads) {
        QVERIFY(thread == std::this_thread::get_id());
    }
    QCOMPARE(recorder.boxes.size() + recorder.threads.size(), std::size_t{1});
}

void TestQtServices::workerQuestionIsAModalBox() {
    // The Qt services behind the wrapper: a real box, modal, on this thread.
    UiThreadServices marshalled(m_services);
    bool modal = false;
    bool onThisThread = false;
    WhenModalShows<QMessageBox>([&](QMessageBox* box) {
        modal = box->isModal() && QApplication::activeModalWidget() == box;
        onThisThread = box->thread() == QThread::currentThread();
        box->button(QMessageBox::No)->click();
    });
    Answer answer = Answer::Failed;
    OnWorker([&] {
        answer =
            marshalled.message_box("開きますか？", kDecoderCaption, Buttons::YesNo, Icon::Question);
    });
    QCOMPARE(answer, Answer::No);
    QVERIFY(modal);
    QVERIFY(onThisThread);
}

void TestQtServices::workerEndsTheProgramFromTheWindowThread() {
    const test::ChildResult result = test::RunScenario(QStringLiteral("worker exit"));
    QVERIFY(!result.crashed);
    QCOMPARE(result.exitCode, 4);
    QVERIFY2(result.errors.contains(QStringLiteral("exit on the window thread")),
             qPrintable(result.errors));
}

// A worker thread ends the process; the window's thread carries it out.
static int RunWorkerExitScenario() {
    class Reporting : public RecordingServices {
    public:
        explicit Reporting(QThread* window) : window_(window) {}
        [[noreturn]] void exit_program(int status) override {
            std::fprintf(stderr, "%s\n",
                         QThread::currentThread() == window_ ? "exit on the window thread"
                                                             : "exit on another thread");
            Services::exit_program(status);
        }

    private:
        QThread* window_;
    } recorder(QThread::currentThread());
    UiThreadServices marshalled(recorder);
    install(&marshalled);
    OnWorker([&] { exit_program(4); });
    return 90;  // not reached
}

// Leaves a setting unsaved and ends the process through the services.
static int RunExitScenario() {
    QCoreApplication::setOrganizationName(QStringLiteral("Orvinta"));
    QCoreApplication::setApplicationName(QStringLiteral("VekDC"));
    QSettings settings;
    settings.setValue(QStringLiteral("written"), QStringLiteral("before the end"));
    QtServices services;
    install(&services);
    exit_program(3);
}

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (qEnvironmentVariable("VEKDC_TEST_SCENARIO") == QStringLiteral("exit")) {
        return RunExitScenario();
    }
    if (qEnvironmentVariable("VEKDC_TEST_SCENARIO") == QStringLiteral("worker exit")) {
        return RunWorkerExitScenario();
    }
    TestQtServices test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_qt_services.moc"
