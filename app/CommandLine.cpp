#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "vekdc/version.h"

namespace vekdc {

namespace {

// The names that switch to the conventional parser.
const char* const kParserOptions[] = {"-h", "--help",    "--help-all", "-?",
                                      "-v", "--version", "--add"};

const char* const kAddOption = "add";

}  // namespace

bool UsesOptionParser(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        for (const char* option : kParserOptions) {
            if (arguments[i] == QLatin1String(option)) {
                return true;
            }
        }
    }
    return false;
}

StartRequest ParseCommandLine(const QStringList& arguments, const QList<QByteArray>& bytes) {
    StartRequest request;
    if (!UsesOptionParser(arguments)) {
        request.arguments = arguments.mid(1);
        return request;
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine", "Vek 暗号化ファイルのデコーダ。鍵を設定し、ファイルをデコードします。"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption add(
        QLatin1String(kAddOption),
        QCoreApplication::translate(
            "CommandLine",
            "通常どおり起動した後、指定したファイルを入力ファイルリストに加えます。"));
    parser.addOption(add);
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QCoreApplication::translate("CommandLine", "デコードする暗号化ファイル (--add と共に)。"),
        QStringLiteral("[FILE...]"));

    request.action = StartRequest::Action::Answer;
    if (!parser.parse(arguments)) {
        request.text = parser.errorText() + QLatin1Char('\n') + parser.helpText();
        request.toStandardError = true;
        request.exitCode = 1;
        return request;
    }
    if (parser.isSet(help)) {
        request.text = parser.helpText();
        return request;
    }
    if (parser.isSet(version)) {
        request.text = QStringLiteral("vekdc " VEKDC_VERSION "\n");
        return request;
    }
    request.action = StartRequest::Action::Start;
    request.add = true;
    // The options are all flags, so every other argument (and all after
    // "--") is a file, in order: its bytes are taken from argv where given.
    const QByteArray folder = QFile::encodeName(QDir::currentPath());
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.size() > 1 && argument.startsWith(QLatin1Char('-'))) {
            continue;
        }
        const QByteArray path =
            bytes.size() == arguments.size() ? bytes[i] : QFile::encodeName(argument);
        request.addPaths << (path.startsWith('/') ? path : folder + '/' + path);
    }
    return request;
}

}  // namespace vekdc
