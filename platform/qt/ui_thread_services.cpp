#include "platform/qt/ui_thread_services.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <exception>

namespace vekdc::platform {

bool UiThreadServices::carry_out(const std::function<void()>& call) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || QThread::currentThread() == application->thread()) {
        call();
        return true;
    }
    // Nothing may unwind through Qt's event loop: what the call throws is
    // thrown again here.
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        application,
        [&] {
            try {
                call();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (error) {
        std::rethrow_exception(error);
    }
    return true;
}

}  // namespace vekdc::platform
