// Making folders on Windows through the wide functions (any name, long paths).
#include <windows.h>

#include <cerrno>

#include "platform/file.h"
#include "platform/paths.h"
#include "platform/win32/text.h"

namespace vekdc::platform {

namespace {

// The folder above `path`, or "" when there is none to make ("C:\", "\\?\C:\").
std::wstring parent_of(std::wstring path) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) {
        path.pop_back();
    }
    const auto slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos || path.back() == L':') {
        return std::wstring();
    }
    return path.substr(0, slash + 1);
}

int make_wide_folders(const std::wstring& path) {
    if (::CreateDirectoryW(path.c_str(), nullptr) != 0) {
        return 0;
    }
    DWORD error = ::GetLastError();
    const std::wstring parent = parent_of(path);
    if (error == ERROR_PATH_NOT_FOUND && !parent.empty() && parent != path) {
        if (const int parent_error = make_wide_folders(parent)) {
            return parent_error;
        }
        if (::CreateDirectoryW(path.c_str(), nullptr) != 0) {
            return 0;
        }
        error = ::GetLastError();
    }
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ENOTDIR;
    }
    ::SetLastError(error);
    win32::set_errno_from_last_error();
    return errno;
}

}  // namespace

int make_folders(const std::string& path) {
    const auto host = host_path(path);
    if (!host) {
        return ENOENT;
    }
    return make_wide_folders(win32::wide_path(*host));
}

}  // namespace vekdc::platform
