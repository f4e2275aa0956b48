// vekdc: the desktop decoder.
#include <QApplication>
#include <cstdio>

#include "desktop/command_line.h"
#include "desktop/file_names.h"
#include "platform/qt/qt_services.h"
#include "window/qt/application.h"
#include "window/qt/language.h"

int main(int argc, char** argv) {
    // Help and version are answered without a window (and without a display).
    const vekdc::desktop::start_request request = vekdc::desktop::parse_command_line(
        std::vector<std::string>(argv, argv + argc), vekdc::desktop::current_folder());
    if (request.what == vekdc::desktop::start_request::action::answer) {
        std::fputs(request.text.c_str(), request.to_standard_error ? stderr : stdout);
        return request.exit_code;
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
            QList<QByteArray> paths;
            for (const std::string& path : request.add_paths) {
                paths << QByteArray::fromStdString(path);
            }
            app.AddToInputList(paths);
        }
        status = started ? QApplication::exec() : app.GetExitCode();
    }
    vekdc::platform::install(previous);
    return status;
}
