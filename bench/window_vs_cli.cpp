// The desktop window against vekdc-cli, measured pair by pair in one run,
// offscreen:
//
//   vekdc-window-bench [--workdir DIR] [--files N] [--size-mib N] [--rounds N]
//
// 1. List fill: Enter on a folder of N encrypted files (default 20,000) in the
//    tree, until the input list holds them all (seconds; target <= 1 s).
// 2. Window decode of those N files of 4 KiB versus one `vekdc-cli decode`
//    call on the same files (time ratio; target <= 1.5).
// 3. Window decode of one large file (default 1 GiB) versus `vekdc-cli
//    decode` of it (time ratio; target <= 1.5).
// Each decode pair runs --rounds times (default 1) in alternating order; the
// median ratio is printed. The exit status is 0 when the targets are met.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTreeWidgetItem>
#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "testing/recording_services.h"
#include "window/qt/application.h"
#include "window/qt/decode_panel.h"
#include "window/qt/drive_tree.h"
#include "window/qt/main_window.h"

using namespace vekdc;

namespace {

struct Settings {
    QString workdir = QDir::tempPath() + QStringLiteral("/vekdc-window-bench");
    int files = 20000;
    qint64 sizeMib = 1024;
    int rounds = 1;
};

QString g_cli;

void Fail(const QString& what) {
    std::fprintf(stderr, "vekdc-window-bench: %s\n", qPrintable(what));
    std::exit(2);
}

// Runs vekdc-cli with standard output discarded; returns the wall time.
double RunCli(const QStringList& arguments) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(g_cli, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        Fail(QStringLiteral("vekdc-cli %1 failed: %2")
                 .arg(arguments.value(0), QString::fromLocal8Bit(process.readAllStandardError())));
    }
    return timer.nsecsElapsed() / 1e9;
}

void WritePattern(const QString& path, qint64 bytes, quint32 seed) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        Fail(QStringLiteral("cannot write ") + path);
    }
    QByteArray chunk(std::min<qint64>(bytes, 1 << 20), '\0');
    quint32 state = seed;
    for (char& c : chunk) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    while (bytes > 0) {
        const qint64 n = std::min<qint64>(bytes, chunk.size());
        chunk[0] = static_cast<char>(bytes);
        file.write(chunk.constData(), n);
        bytes -= n;
    }
}

void ClearFolder(const QString& folder) {
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The tree item of an absolute folder path, listing the folders on the way.
QTreeWidgetItem* TreeItem(CLeftView* tree, const QString& path) {
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->Core().node(tree->NodeOf(tree->topLevelItem(i))).name == "/") {
            item = tree->topLevelItem(i);
        }
    }
    for (const QString& name : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (item == nullptr) {
            return nullptr;
        }
        tree->FillChildren(item);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && next == nullptr; ++i) {
            if (item->child(i)->text(0) == name) {
                next = item->child(i);
            }
        }
        item = next;
    }
    return item;
}

struct Pair {
    double window = 0;
    double cli = 0;
    double ratio = 0;
};

// Decodes `files` in the window and with vekdc-cli, alternately.
Pair Compare(CVekDCView* panel, const QString& key, const QStringList& files, const QString& out,
             int rounds) {
    auto* outBox = qobject_cast<QLineEdit*>(panel->GetDlgItem(CVekDCView::IDC_OUT_DIR));
    std::vector<double> window;
    std::vector<double> cli;
    std::vector<double> ratios;
    for (int r = 0; r < rounds; ++r) {
        double w = 0;
        double c = 0;
        for (int step = 0; step < 2; ++step) {
            ClearFolder(out);
            if ((step == 0) == (r % 2 == 0)) {
                for (const QString& file : files) {
                    panel->AddFileToList(file);
                }
                outBox->setText(out);
                QElapsedTimer timer;
                timer.start();
                panel->StartDecode();
                w = timer.nsecsElapsed() / 1e9;
                if (QDir(out).entryList(QDir::Files).size() != files.size()) {
                    Fail(QStringLiteral("the window did not decode every file"));
                }
            } else {
                c = RunCli(QStringList{QStringLiteral("decode"), QStringLiteral("-k"), key,
                                       QStringLiteral("-o"), out} +
                           files);
            }
        }
        window.push_back(w);
        cli.push_back(c);
        ratios.push_back(w / c);
    }
    ClearFolder(out);
    return {Median(window), Median(cli), Median(ratios)};
}

Settings Parse(const QStringList& arguments) {
    Settings s;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString arg = arguments[i];
        const QString value = arguments.value(i + 1);
        if (arg == QStringLiteral("--workdir")) {
            s.workdir = value;
        } else if (arg == QStringLiteral("--files")) {
            s.files = value.toInt();
        } else if (arg == QStringLiteral("--size-mib")) {
            s.sizeMib = value.toLongLong();
        } else if (arg == QStringLiteral("--rounds")) {
            s.rounds = std::max(1, value.toInt());
        } else {
            std::fprintf(stderr,
                         "usage: vekdc-window-bench [--workdir DIR] [--files N] [--size-mib N] "
                         "[--rounds N]\n");
            std::exit(arg == QStringLiteral("--help") ? 0 : 64);
        }
        ++i;
    }
    if (s.files < 1 || s.sizeMib < 1) {
        Fail(QStringLiteral("--files and --size-mib need a positive number"));
    }
    return s;
}

QString MakeKey(const QString& root) {
    const QString keys = root + QStringLiteral("/keys");
    QDir().mkpath(keys);
    RunCli({QStringLiteral("keygen"), QStringLiteral("--create-b"), QStringLiteral("--random"),
            QStringLiteral("-d"), keys});
    const QStringList found = QDir(keys).entryList({QStringLiteral("B_*")}, QDir::Files);
    if (found.isEmpty()) {
        Fail(QStringLiteral("keygen wrote no key"));
    }
    return keys + QLatin1Char('/') + found.first();
}

// Plain files written and encrypted into `folder`; returns the .vek paths.
QStringList MakeEncrypted(const QString& root, const QString& folder, const QString& key, int count,
                          qint64 bytes, const QString& suffix) {
    const QString plain = root + QStringLiteral("/plain");
    ClearFolder(plain);
    QDir().mkpath(folder);
    QStringList encode{QStringLiteral("encode"), QStringLiteral("-k"), key, QStringLiteral("-o"),
                       folder};
    QStringList encrypted;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("f%1").arg(i);
        WritePattern(plain + QLatin1Char('/') + name + suffix, bytes, static_cast<quint32>(i));
        encode << plain + QLatin1Char('/') + name + suffix;
        encrypted << folder + QLatin1Char('/') + name + QStringLiteral(".vek");
    }
    RunCli(encode);
    QDir(plain).removeRecursively();
    return encrypted;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const Settings s = Parse(QCoreApplication::arguments());
    g_cli = QCoreApplication::applicationDirPath() + QStringLiteral("/vekdc-cli");
    const QString root = s.workdir;
    ClearFolder(root);
    std::printf("vekdc-window-bench: %u cores, work folder %s\n\n",
                std::thread::hardware_concurrency(), qPrintable(root));

    const QString key = MakeKey(root);
    const QString small = root + QStringLiteral("/small");
    const QStringList smallFiles =
        MakeEncrypted(root, small, key, s.files, 4096, QStringLiteral(".txt"));
    const QString out = root + QStringLiteral("/out");

    platform::RecordingServices recorder;  // answers the key dialog; notices go to stderr
    platform::Services* previous = platform::install(&recorder);
    recorder.setNextFile(QFile::encodeName(key).toStdString());
    int status = 0;
    {
        CVekDCApp app;
        if (!app.InitInstance(QStringList{})) {
            Fail(QStringLiteral("the window did not start"));
        }
        CLeftView* tree = app.GetMainWnd()->GetLeftView();
        CVekDCView* panel = app.GetMainWnd()->GetDecodeView();
        QCoreApplication::processEvents();

        // 1. Enter on the folder; an empty output folder stops the run there.
        QTreeWidgetItem* folder = TreeItem(tree, small);
        if (folder == nullptr) {
            Fail(QStringLiteral("the folder is not in the tree"));
        }
        tree->setCurrentItem(folder);
        qobject_cast<QLineEdit*>(panel->GetDlgItem(CVekDCView::IDC_OUT_DIR))->clear();
        QElapsedTimer fill;
        fill.start();
        tree->DecodeSelection();
        const double fillSeconds = fill.nsecsElapsed() / 1e9;
        if (panel->GetFileListEntries().size() != smallFiles.size()) {
            Fail(QStringLiteral("the list does not hold every file"));
        }
        panel->ClearFileList();

        // 2. Many small files.
        const Pair many = Compare(panel, key, smallFiles, out, s.rounds);
        QDir(small).removeRecursively();

        // 3. One large file.
        const QStringList large = MakeEncrypted(root, root + QStringLiteral("/large"), key, 1,
                                                s.sizeMib << 20, QStringLiteral(".bmp"));
        const Pair one = Compare(panel, key, large, out, s.rounds);

        const bool fillOk = fillSeconds <= 1.0;
        const bool manyOk = many.ratio <= 1.5;
        const bool oneOk = one.ratio <= 1.5;
        std::printf("%-40s %10s %10s %8s\n", "pair (median of rounds)", "window s", "cli s",
                    "ratio");
        std::printf("%-40s %10.3f %10s %8s   %s (<= 1 s)\n",
                    qPrintable(QStringLiteral("list fill, %1 files (Enter)").arg(s.files)),
                    fillSeconds, "-", "-", fillOk ? "ok" : "MISSED");
        std::printf("%-40s %10.3f %10.3f %8.3f   %s (ratio <= 1.5)\n",
                    qPrintable(QStringLiteral("decode %1 files of 4 KiB").arg(s.files)),
                    many.window, many.cli, many.ratio, manyOk ? "ok" : "MISSED");
        std::printf("%-40s %10.3f %10.3f %8.3f   %s (ratio <= 1.5)\n",
                    qPrintable(QStringLiteral("decode one %1 MiB file").arg(s.sizeMib)), one.window,
                    one.cli, one.ratio, oneOk ? "ok" : "MISSED");
        status = fillOk && manyOk && oneOk ? 0 : 1;
    }
    platform::install(previous);
    QDir(root).removeRecursively();
    return status;
}
