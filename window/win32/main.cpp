// vekdc.exe: the desktop decoder on Windows.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "desktop/command_line.h"
#include "desktop/file_names.h"
#include "platform/services.h"
#include "platform/win32/gui_services.h"
#include "platform/win32/resources.h"
#include "platform/win32/text.h"
#include "window/win32/application.h"
#include "window/win32/instance.h"
#include "window/win32/main_window.h"

namespace {

using vekdc::platform::win32::narrow;
using vekdc::platform::win32::widen;

std::vector<std::string> CommandLineArguments() {
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(narrow(words[i]));
    }
    ::LocalFree(words);
    return arguments;
}

// Help and version: on the console the program was started from, into the
// file or pipe its output goes to, or else in a box.
void Answer(const vekdc::desktop::start_request& request) {
    const DWORD stream = request.to_standard_error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    HANDLE output = ::GetStdHandle(stream);
    if ((output == nullptr || output == INVALID_HANDLE_VALUE) &&
        ::AttachConsole(ATTACH_PARENT_PROCESS) != 0) {
        output = ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               0, nullptr);
    }
    const std::wstring text = widen(request.text);
    DWORD mode = 0;
    DWORD written = 0;
    if (output != nullptr && output != INVALID_HANDLE_VALUE) {
        if (::GetConsoleMode(output, &mode) != 0) {
            ::WriteConsoleW(output, text.c_str(), static_cast<DWORD>(text.size()), &written,
                            nullptr);
        } else {
            ::WriteFile(output, request.text.data(), static_cast<DWORD>(request.text.size()),
                        &written, nullptr);
        }
        return;
    }
    ::MessageBoxW(nullptr, text.c_str(), widen(vekdc::platform::kAppTitle).c_str(),
                  MB_OK | (request.exit_code != 0 ? MB_ICONEXCLAMATION : MB_ICONINFORMATION));
}

int RunWindow(const vekdc::desktop::start_request& request, vekdc::win32::StartLock& lock) {
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES |
                                                             ICC_PROGRESS_CLASS |
                                                             ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    // COM on the window's thread: the file dialog and the live region's setting use it.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    vekdc::platform::win32::GuiServices services;
    vekdc::platform::Services* previous = vekdc::platform::install(&services);
    int status = 0;
    {
        vekdc::win32::CVekDCApp app;
        app.OnFrameCreated([&lock] { lock.Release(); });
        const bool started = app.InitInstance(request.arguments);
        lock.Release();
        if (started) {
            services.set_owner(app.GetMainWnd()->GetSafeHwnd());
            if (request.add) {
                app.AddToInputList(request.add_paths);
            }
            status = app.Run();
        } else {
            status = app.GetExitCode();
        }
    }
    vekdc::platform::install(previous);
    if (SUCCEEDED(com)) {
        ::CoUninitialize();
    }
    return status;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
    // Windows users set no locale variables: the display language decides.
    vekdc::platform::set_default_ui_language(vekdc::platform::win32::user_ui_language());
    const vekdc::desktop::start_request request = vekdc::desktop::parse_command_line(
        CommandLineArguments(), vekdc::desktop::current_folder());
    if (request.what == vekdc::desktop::start_request::action::answer) {
        Answer(request);
        return request.exit_code;
    }
    vekdc::win32::StartLock lock;
    if (request.add && vekdc::win32::ForwardToRunningWindow(request.add_paths)) {
        return 0;
    }
    try {
        return RunWindow(request, lock);
    } catch (const std::exception& error) {
        ::MessageBoxW(nullptr, widen(error.what()).c_str(),
                      widen(vekdc::platform::kAppTitle).c_str(), MB_OK | MB_ICONEXCLAMATION);
        return 1;
    }
}
