#include "platform/win32/ui_thread_services.h"

#include <exception>
#include <optional>
#include <stdexcept>

namespace vekdc::platform::win32 {

namespace {

constexpr const wchar_t* kReceiverClass = L"VekDC.UiThreadCall";
constexpr UINT kCallMessage = WM_APP;

// A call on its way to the window's thread.
struct Call {
    const std::function<void()>& work;
    std::exception_ptr error;
    bool done = false;
};

LRESULT CALLBACK receive(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != kCallMessage) {
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
    auto* call = reinterpret_cast<Call*>(lparam);
    // Nothing may unwind through the system's frames of the message dispatch.
    try {
        call->work();
    } catch (...) {
        call->error = std::current_exception();
    }
    call->done = true;
    return 0;
}

HWND make_receiver() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW receiver_class{};
    receiver_class.cbSize = sizeof receiver_class;
    receiver_class.lpfnWndProc = receive;
    receiver_class.hInstance = instance;
    receiver_class.lpszClassName = kReceiverClass;
    // A second registration fails harmlessly: the class is the same.
    ::RegisterClassExW(&receiver_class);
    const HWND receiver = ::CreateWindowExW(0, kReceiverClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                            nullptr, instance, nullptr);
    if (receiver == nullptr) {
        throw std::runtime_error("cannot create the window thread's call receiver");
    }
    return receiver;
}

}  // namespace

UiThreadServices::UiThreadServices(Services& inner)
    : ForwardingServices(inner), thread_(::GetCurrentThreadId()), receiver_(make_receiver()) {}

UiThreadServices::~UiThreadServices() {
    ::DestroyWindow(receiver_);
}

bool UiThreadServices::carry_out(const std::function<void()>& call) {
    if (::GetCurrentThreadId() == thread_) {
        call();
        return true;
    }
    Call sent{call, nullptr, false};
    ::SendMessageW(receiver_, kCallMessage, 0, reinterpret_cast<LPARAM>(&sent));
    if (sent.error) {
        std::rethrow_exception(sent.error);
    }
    return sent.done;
}

void pump_messages_until(HANDLE event, const std::function<bool(MSG&)>& filter) {
    std::optional<WPARAM> quit;
    while (::MsgWaitForMultipleObjectsEx(1, &event, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
            if (message.message == WM_QUIT) {
                quit = message.wParam;  // for the message loop that waits for it
                continue;
            }
            if (filter && filter(message)) {
                continue;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    if (quit) {
        ::PostQuitMessage(static_cast<int>(*quit));
    }
}

}  // namespace vekdc::platform::win32
