// vekdc: the desktop decoder.
#include <QApplication>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/Language.h"
#include "app/VekDC.h"
#include "platform/qt/qt_services.h"

namespace {

// Help and version are answered without a window (and without a display).
vekdc::StartRequest ReadCommandLine(int& argc, char** argv) {
    QList<QByteArray> bytes;
    for (int i = 0; i < argc; ++i) {
        bytes << QByteArray(argv[i]);
    }
    QCoreApplication terminal(argc, argv);
    vekdc::InstallTranslations(vekdc::platform::ui_language());
    return vekdc::ParseCommandLine(QCoreApplication::arguments(), bytes);
}

}  // namespace

int main(int argc, char** argv) {
    const vekdc::StartRequest request = ReadCommandLine(argc, argv);
    if (request.action == vekdc::StartRequest::Action::Answer) {
        const QByteArray text = request.text.toLocal8Bit();
        std::fputs(text.constData(), request.toStandardError ? stderr : stdout);
        return request.exitCode;
    }

    QApplication application(argc, argv);
    vekdc::InstallTranslations(vekdc::platform::ui_language());
    vekdc::platform::QtServices services;
    vekdc::platform::Services* previous = vekdc::platform::install(&services);

    int status = 0;
    {
        vekdc::CVekDCApp app;
        const bool started = app.InitInstance(request.arguments);
        if (started && request.add) {
            app.AddToInputList(request.addPaths);
        }
        status = started ? QApplication::exec() : app.GetExitCode();
    }
    vekdc::platform::install(previous);
    return status;
}
