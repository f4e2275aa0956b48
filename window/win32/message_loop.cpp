#include "window/win32/message_loop.h"

#include "platform/win32/ui_thread_services.h"

namespace vekdc::win32 {

namespace {

thread_local MessageFilter* t_filter = nullptr;

void Deliver(MSG& message) {
    if (t_filter != nullptr && t_filter->PreTranslateMessage(message)) {
        return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

}  // namespace

void SetMessageFilter(MessageFilter* filter) {
    t_filter = filter;
}

int RunMessageLoop() {
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        Deliver(message);
    }
    return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}

void RunMessageLoopUntil(HANDLE event) {
    platform::win32::pump_messages_until(event, [](MSG& message) {
        return t_filter != nullptr && t_filter->PreTranslateMessage(message);
    });
}

}  // namespace vekdc::win32
