#include "platform/qt/ui_thread_services.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <cstdlib>
#include <utility>

namespace vekdc::platform {

namespace {

// Runs `call` on the application's thread and waits for it there.
template <typename Call>
void OnUiThread(Call&& call) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || QThread::currentThread() == application->thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(application, std::forward<Call>(call), Qt::BlockingQueuedConnection);
}

}  // namespace

Answer UiThreadServices::message_box(const std::string& text, const std::string& caption,
                                     Buttons buttons, Icon icon) {
    Answer answer = Answer::Failed;
    OnUiThread([&] { answer = inner_.message_box(text, caption, buttons, icon); });
    return answer;
}

std::optional<std::string> UiThreadServices::open_file(const FileDialogRequest& request) {
    std::optional<std::string> chosen;
    OnUiThread([&] { chosen = inner_.open_file(request); });
    return chosen;
}

void UiThreadServices::run_program(const std::string& command_line) {
    OnUiThread([&] { inner_.run_program(command_line); });
}

void UiThreadServices::shell_open(const std::string& path, const std::string& working_dir) {
    OnUiThread([&] { inner_.shell_open(path, working_dir); });
}

void UiThreadServices::exit_program(int status) {
    // The window's thread ends the process; the worker waits here until it does.
    OnUiThread([&] { inner_.exit_program(status); });
    std::abort();
}

}  // namespace vekdc::platform
