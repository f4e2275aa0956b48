// vekdc: the desktop decoder.
#include <QApplication>

#include "app/Language.h"
#include "app/VekDC.h"
#include "platform/qt/qt_services.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    vekdc::InstallTranslations(vekdc::platform::ui_language());
    vekdc::platform::QtServices services;
    vekdc::platform::Services* previous = vekdc::platform::install(&services);

    int status = 0;
    {
        vekdc::CVekDCApp app;
        status = app.InitInstance(QCoreApplication::arguments().mid(1)) ? QApplication::exec()
                                                                        : app.GetExitCode();
    }
    vekdc::platform::install(previous);
    return status;
}
