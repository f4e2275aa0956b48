#include "platform/win32/ui_thread_services.h"

#include <cstdlib>
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
    : inner_(inner), thread_(::GetCurrentThreadId()), receiver_(make_receiver()) {}

UiThreadServices::~UiThreadServices() {
    ::DestroyWindow(receiver_);
}

bool UiThreadServices::on_ui_thread(const std::function<void()>& call) {
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

Answer UiThreadServices::message_box(const std::string& text, const std::string& caption,
                                     Buttons buttons, Icon icon) {
    Answer answer = Answer::Failed;
    on_ui_thread([&] { answer = inner_.message_box(text, caption, buttons, icon); });
    return answer;
}

std::optional<std::string> UiThreadServices::open_file(const FileDialogRequest& request) {
    std::optional<std::string> chosen;
    on_ui_thread([&] { chosen = inner_.open_file(request); });
    return chosen;
}

void UiThreadServices::run_program(const std::string& command_line) {
    on_ui_thread([&] { inner_.run_program(command_line); });
}

void UiThreadServices::shell_open(const std::string& path, const std::string& working_dir) {
    on_ui_thread([&] { inner_.shell_open(path, working_dir); });
}

void UiThreadServices::exit_program(int status) {
    // The window's thread ends the process while the worker waits here. With
    // that thread gone, the process ends from here: nobody touches the window.
    if (!on_ui_thread([&] { inner_.exit_program(status); })) {
        inner_.exit_program(status);
    }
    std::abort();
}

void pump_messages_until(HANDLE event) {
    std::optional<WPARAM> quit;
    while (::MsgWaitForMultipleObjectsEx(1, &event, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
            if (message.message == WM_QUIT) {
                quit = message.wParam;  // for the message loop that waits for it
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
