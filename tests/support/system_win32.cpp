// What the test support does its own way on Windows: processes started and
// stopped, files with holes, and the paths of the build machine as wine shows
// them.
#include <windows.h>
#include <winioctl.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include "platform/environment.h"
#include "platform/win32/text.h"
#include "tests/support/test_support.h"

namespace vekdc::test {

namespace fs = std::filesystem;

namespace {

using platform::win32::narrow;
using platform::win32::quote_argument;
using platform::win32::widen;

std::wstring command_line(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const auto& argument : argv) {
        if (!line.empty()) {
            line += L' ';
        }
        line += quote_argument(widen(argument));
    }
    return line;
}

// An inheritable scratch file that disappears when the last handle closes.
HANDLE scratch_file() {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const fs::path folder = fs::temp_directory_path();
    wchar_t name[MAX_PATH + 1];
    if (::GetTempFileNameW(folder.c_str(), L"vkd", 0, name) == 0) {
        throw std::runtime_error("GetTempFileNameW failed");
    }
    const HANDLE file = ::CreateFileW(
        name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot create a scratch file");
    }
    return file;
}

std::string read_back(HANDLE file) {
    std::string content;
    LARGE_INTEGER start{};
    ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) != 0 && read > 0) {
        content.append(buffer, read);
    }
    // The C run-time library writes text with Windows line ends.
    std::string lines;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (!(content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n')) {
            lines += content[i];
        }
    }
    return lines;
}

// "NAME=value" entries as the assignments of a ScopedEnvironment.
std::vector<ScopedEnvironment::Assignment> assignments(const std::vector<std::string>& entries) {
    std::vector<ScopedEnvironment::Assignment> result;
    for (const auto& entry : entries) {
        const auto equals = entry.find('=');
        result.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
    }
    return result;
}

HANDLE start(const std::vector<std::string>& argv, const std::string& workdir, HANDLE in,
             HANDLE out, HANDLE err) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring line = command_line(argv);
    const std::wstring folder = widen(workdir);
    PROCESS_INFORMATION started{};
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                         folder.empty() ? nullptr : folder.c_str(), &startup, &started) == 0) {
        throw std::runtime_error("cannot start " + argv.at(0));
    }
    ::CloseHandle(started.hThread);
    return started.hProcess;
}

HANDLE null_device() {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherit, OPEN_EXISTING, 0, nullptr);
}

int wait_for(HANDLE process) {
    ::WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    return static_cast<int>(code);
}

}  // namespace

std::string build_path(const std::string& path) {
    // Wine names the Unix file system through a drive of its own; Windows
    // itself has no such function, and its paths need no change.
    using DosName = wchar_t* (*)(const char*);
    const auto to_dos = reinterpret_cast<DosName>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (to_dos == nullptr || path.empty() || path[0] != '/') {
        return path;
    }
    wchar_t* dos = to_dos(path.c_str());
    if (dos == nullptr) {
        return path;
    }
    std::string result = narrow(dos);
    ::HeapFree(::GetProcessHeap(), 0, dos);
    return result;
}

void write_sparse(const std::string& path, std::uint64_t offset, const std::string& bytes) {
    const HANDLE file = ::CreateFileW(platform::win32::wide_path(path).c_str(), GENERIC_WRITE, 0,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot write " + path);
    }
    DWORD ignored = 0;
    // Not every file system has holes; then the gap is written out.
    ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD written = 0;
    const bool ok =
        ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != 0 &&
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
        written == bytes.size();
    ::CloseHandle(file);
    if (!ok) {
        throw std::runtime_error("cannot write " + path);
    }
}

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& workdir,
                          const std::vector<std::string>& extra_env) {
    const HANDLE in = null_device();
    const HANDLE out = scratch_file();
    const HANDLE err = scratch_file();
    HANDLE process = nullptr;
    {
        ScopedEnvironment environment(assignments(extra_env));
        process = start(argv, workdir, in, out, err);
    }
    ProcessResult result;
    result.status = wait_for(process);
    ::CloseHandle(process);
    result.out = read_back(out);
    result.err = read_back(err);
    ::CloseHandle(in);
    ::CloseHandle(out);
    ::CloseHandle(err);
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    const HANDLE null = null_device();
    process_ = start(argv, "", null, null, null);
    ::CloseHandle(null);
}

ChildProcess::~ChildProcess() {
    if (!ended_) {
        kill();
    }
    ::CloseHandle(static_cast<HANDLE>(process_));
}

bool ChildProcess::ended() {
    if (!ended_ && ::WaitForSingleObject(static_cast<HANDLE>(process_), 0) == WAIT_OBJECT_0) {
        status_ = wait_for(static_cast<HANDLE>(process_));
        ended_ = true;
    }
    return ended_;
}

std::optional<bool> ChildProcess::writing_into(const std::string& folder) {
    return !names_in(folder).empty();
}

void ChildProcess::kill() {
    if (!ended()) {
        ::TerminateProcess(static_cast<HANDLE>(process_), kKilledStatus);
    }
    wait();
}

int ChildProcess::wait() {
    if (!ended_) {
        status_ = wait_for(static_cast<HANDLE>(process_));
        ended_ = true;
    }
    return status_;
}

void kill_self() {
    ::TerminateProcess(::GetCurrentProcess(), kKilledStatus);
    std::abort();  // not reached
}

}  // namespace vekdc::test
