#include "tests/support/win32_gui.h"

#include <commdlg.h>
#include <dlgs.h>

#include <exception>
#include <stdexcept>
#include <thread>

#include "platform/win32/ui_thread_services.h"

namespace vekdc::test {

namespace {

thread_local DialogAnswerer* t_answerer = nullptr;

constexpr const wchar_t* kTestWindowClass = L"VekDC.TestWindow";

// The note a box is sent when it becomes active.
UINT answer_note() {
    static const UINT note = ::RegisterWindowMessageW(L"VekDC.AnswerDialog");
    return note;
}

bool is_dialog_box(HWND window) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    return std::wstring(name) == L"#32770";
}

}  // namespace

DialogAnswerer::DialogAnswerer(std::function<void(HWND)> answer)
    : answer_(std::move(answer)),
      activation_hook_(::SetWindowsHookExW(WH_CBT, on_activation, nullptr, ::GetCurrentThreadId())),
      message_hook_(
          ::SetWindowsHookExW(WH_GETMESSAGE, on_message, nullptr, ::GetCurrentThreadId())),
      previous_(t_answerer) {
    if (activation_hook_ == nullptr || message_hook_ == nullptr) {
        throw std::runtime_error("cannot watch for dialog boxes");
    }
    t_answerer = this;
}

DialogAnswerer::~DialogAnswerer() {
    ::UnhookWindowsHookEx(activation_hook_);
    ::UnhookWindowsHookEx(message_hook_);
    t_answerer = previous_;
}

LRESULT CALLBACK DialogAnswerer::on_activation(int code, WPARAM wparam, LPARAM lparam) {
    DialogAnswerer* self = t_answerer;
    const auto box = reinterpret_cast<HWND>(wparam);
    if (code == HCBT_ACTIVATE && self != nullptr && is_dialog_box(box) &&
        self->noted_.insert(box).second) {
        ::PostMessageW(box, answer_note(), 0, 0);
    }
    return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK DialogAnswerer::on_message(int code, WPARAM wparam, LPARAM lparam) {
    DialogAnswerer* self = t_answerer;
    auto* message = reinterpret_cast<MSG*>(lparam);
    if (code == HC_ACTION && wparam == PM_REMOVE && self != nullptr &&
        message->message == answer_note()) {
        message->message = WM_NULL;
        self->answer_(message->hwnd);
    }
    return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

void press(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

std::wstring window_text(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

MessageBoxContent read_message_box(HWND box) {
    MessageBoxContent content;
    content.caption = window_text(box);
    // The text is the static control 0xFFFF; the icon a static control with
    // an icon, whatever its number.
    content.text = window_text(::GetDlgItem(box, 0xFFFF));
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16] = {};
        ::GetClassNameW(child, name, 16);
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        if (std::wstring(name) == L"Button" && (style & WS_VISIBLE) != 0) {
            content.buttons.push_back(::GetDlgCtrlID(child));
        } else if (std::wstring(name) == L"Static" && (style & SS_TYPEMASK) == SS_ICON) {
            content.icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        }
    }
    return content;
}

namespace {

// A text that a file dialog gives on a message of its own.
std::wstring dialog_text(HWND dialog, UINT message) {
    const auto length = ::SendMessageW(dialog, message, 0, 0);  // with its null
    std::wstring text(length > 0 ? static_cast<std::size_t>(length) : 1, L'\0');
    ::SendMessageW(dialog, message, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.size() - 1);
    return text;
}

}  // namespace

FileDialogContent read_file_dialog(HWND dialog) {
    FileDialogContent content;
    content.title = window_text(dialog);
    content.folder = dialog_text(dialog, CDM_GETFOLDERPATH);
    content.name = dialog_text(dialog, CDM_GETSPEC);
    const HWND types = ::GetDlgItem(dialog, cmb1);
    for (LRESULT i = 0; i < ::SendMessageW(types, CB_GETCOUNT, 0, 0); ++i) {
        std::wstring label(static_cast<std::size_t>(::SendMessageW(types, CB_GETLBTEXTLEN, i, 0)),
                           L'\0');
        ::SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(label.data()));
        content.filters.push_back(label);
    }
    content.selected_filter = static_cast<int>(::SendMessageW(types, CB_GETCURSEL, 0, 0));
    return content;
}

void type_file_name(HWND dialog, const std::wstring& name) {
    ::SendMessageW(dialog, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(name.c_str()));
}

TestWindow::TestWindow() {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = ::DefWindowProcW;
    window_class.hInstance = ::GetModuleHandleW(nullptr);
    window_class.lpszClassName = kTestWindowClass;
    ::RegisterClassExW(&window_class);
    window_ = ::CreateWindowExW(0, kTestWindowClass, L"VekDC test",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, 320,
                                200, nullptr, nullptr, window_class.hInstance, nullptr);
    if (window_ == nullptr) {
        throw std::runtime_error("cannot create a window: is there a display?");
    }
}

TestWindow::~TestWindow() {
    ::DestroyWindow(window_);
}

void on_worker(const std::function<void()>& work) {
    const HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::exception_ptr error;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        ::SetEvent(done);
    });
    platform::win32::pump_messages_until(done);
    worker.join();
    ::CloseHandle(done);
    if (error) {
        std::rethrow_exception(error);
    }
}

bool under_wine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace vekdc::test
