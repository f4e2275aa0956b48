// Starting programs on Windows: the fixed programs from their own paths (as
// WinExec found them), documents through the shell's default action.
#include "platform/launch.h"

#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

#include "platform/paths.h"
#include "platform/win32/text.h"

namespace vekdc::platform {

void start_program(const std::string& command_line) {
    std::wstring line;
    if (const auto argument = fixed_program_argument(command_line)) {
        const std::string program =
            command_line.substr(0, command_line.size() - argument->size() - 1);
        // Quoted, so that neither the program's nor the file's blanks split them.
        line = win32::quote_argument(win32::widen(program)) + L" " +
               win32::quote_argument(win32::widen(host_path(*argument).value_or(*argument)));
    } else {
        line = win32::widen(command_line);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION started{};
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &started) != 0) {
        ::CloseHandle(started.hThread);
        ::CloseHandle(started.hProcess);
    }
}

void open_document(const std::string& path, const std::string& working_dir) {
    const auto host = host_path(path);
    if (!host || host->empty()) {
        return;
    }
    // The shell may hand the file to a COM server; it asks for this once per thread.
    static thread_local const HRESULT com =
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    (void)com;
    const std::wstring folder = win32::wide_path(host_path(working_dir).value_or(working_dir));
    ::ShellExecuteW(nullptr, nullptr, win32::wide_path(*host).c_str(), nullptr,
                    folder.empty() ? nullptr : folder.c_str(), SW_SHOW);
}

}  // namespace vekdc::platform
