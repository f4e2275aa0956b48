// The Windows side of the run-time services: tick count, environment, console.
#include <windows.h>

#include <cstdlib>
#include <iostream>

#include "platform/console.h"
#include "platform/environment.h"
#include "platform/runtime.h"
#include "platform/win32/text.h"

namespace vekdc::platform {

std::int32_t tick_count() {
    return static_cast<std::int32_t>(::GetTickCount());
}

std::optional<std::string> environment_variable(const std::string& name) {
    const std::wstring wide_name = win32::widen(name);
    std::wstring value(64, L'\0');
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD length = ::GetEnvironmentVariableW(wide_name.c_str(), value.data(),
                                                       static_cast<DWORD>(value.size()));
        if (length == 0) {
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
                return std::nullopt;
            }
            return std::string();
        }
        if (length < value.size()) {
            value.resize(length);
            return win32::narrow(value);
        }
        value.resize(length);  // the size needed, terminating zero included
    }
}

void set_environment_variable(const std::string& name, const std::optional<std::string>& value) {
    ::SetEnvironmentVariableW(win32::widen(name).c_str(),
                              value ? win32::widen(*value).c_str() : nullptr);
}

namespace {

UINT g_output_code_page = 0;
UINT g_input_code_page = 0;

bool is_console(DWORD which) {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0;
}

}  // namespace

void prepare_console() {
    static const bool prepared = [] {
        g_output_code_page = ::GetConsoleOutputCP();
        g_input_code_page = ::GetConsoleCP();
        if (g_output_code_page == 0) {
            return false;  // no console: output goes to files and pipes byte for byte
        }
        ::SetConsoleOutputCP(CP_UTF8);
        ::SetConsoleCP(CP_UTF8);
        // The console outlives this process: give it back as it was.
        std::atexit([] {
            ::SetConsoleOutputCP(g_output_code_page);
            ::SetConsoleCP(g_input_code_page);
        });
        return true;
    }();
    (void)prepared;
}

bool console_is_interactive() {
    return is_console(STD_INPUT_HANDLE) && is_console(STD_ERROR_HANDLE);
}

std::optional<std::string> read_console_line() {
    if (!is_console(STD_INPUT_HANDLE)) {
        std::string line;
        if (!std::getline(std::cin, line)) {
            return std::nullopt;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return line;
    }
    // Read as UTF-16, which the console delivers whatever its code page.
    std::wstring line;
    for (;;) {
        wchar_t c = 0;
        DWORD read = 0;
        if (::ReadConsoleW(::GetStdHandle(STD_INPUT_HANDLE), &c, 1, &read, nullptr) == 0 ||
            read == 0) {
            if (line.empty()) {
                return std::nullopt;
            }
            break;
        }
        if (c == L'\n') {
            break;
        }
        if (c != L'\r') {
            line += c;
        }
    }
    return win32::narrow(line);
}

}  // namespace vekdc::platform
