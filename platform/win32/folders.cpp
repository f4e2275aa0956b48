// The user's known folders from the shell, folder listings from
// FindFirstFileExW, names in UTF-8.
#include <windows.h>
// After windows.h:
#include <knownfolders.h>
#include <shlobj.h>

#include <memory>

#include "platform/environment.h"
#include "platform/folders.h"
#include "platform/win32/text.h"

namespace vekdc::platform {

namespace {

std::optional<std::string> known_folder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path);
    const std::unique_ptr<wchar_t, void (*)(void*)> owned(path, ::CoTaskMemFree);
    if (FAILED(result) || path == nullptr) {
        return std::nullopt;
    }
    return win32::narrow(path);
}

}  // namespace

std::optional<std::string> desktop_folder() {
    return known_folder(FOLDERID_Desktop);
}

std::optional<std::string> home_folder() {
    if (auto profile = known_folder(FOLDERID_Profile)) {
        return profile;
    }
    return environment_variable("USERPROFILE");
}

std::optional<std::vector<FolderEntry>> list_folder(const std::string& path) {
    std::string pattern = path;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') {
        pattern += '\\';
    }
    pattern += '*';
    WIN32_FIND_DATAW found{};
    const HANDLE search =
        ::FindFirstFileExW(win32::wide_path(pattern).c_str(), FindExInfoBasic, &found,
                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        // An empty folder still has "." and ".."; only a drive's root can be
        // found empty, which FindFirstFile reports as no file found.
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) {
            return std::vector<FolderEntry>{};
        }
        return std::nullopt;
    }
    std::vector<FolderEntry> entries;
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool device = (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0;
        entries.push_back(FolderEntry{win32::narrow(name), folder   ? FolderEntry::Kind::Folder
                                                           : device ? FolderEntry::Kind::Other
                                                                    : FolderEntry::Kind::File});
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return entries;
}

}  // namespace vekdc::platform
