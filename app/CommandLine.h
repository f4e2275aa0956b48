// The vekdc command line: --help and --version answer on the terminal,
// --add FILE... (the form the desktop entry uses) puts files into the input
// list after the usual start; every other command line keeps the program's
// own reading (one document file, automation options).
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace vekdc {

struct StartRequest {
    enum class Action { Start, Answer };
    Action action = Action::Start;
    // Start: the arguments for CVekDCApp::InitInstance (program name excluded).
    QStringList arguments;
    // Start with --add: files and folders for the input list, absolute, as
    // the bytes the command line gave (a name need not be UTF-8).
    bool add = false;
    QList<QByteArray> addPaths;
    // Answer: what to print, where, and the exit status.
    QString text;
    bool toStandardError = false;
    int exitCode = 0;
};

// `arguments` as QCoreApplication::arguments() gives them (program name
// first); `bytes`, when given, the same arguments as the bytes of argv, from
// which the files of --add are taken. Needs a QCoreApplication for the help
// text.
StartRequest ParseCommandLine(const QStringList& arguments, const QList<QByteArray>& bytes = {});

// True when the command line asks for something the conventional parser
// handles (help, version or --add); otherwise it is read the old way.
bool UsesOptionParser(const QStringList& arguments);

}  // namespace vekdc
