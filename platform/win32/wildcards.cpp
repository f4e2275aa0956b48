// Wildcards in file arguments, which neither cmd.exe nor PowerShell expands
// for a program: `vekdc-cli decode -k k.key examples\*.vek` works as it does
// with the C run-time libraries' wildcard option, but with names in any
// script and without the short 8.3 names matching too (a.vekx has a short
// name A~1.VEK that FindFirstFile would take for *.vek).
#include <windows.h>

#include <algorithm>

#include "platform/paths.h"
#include "platform/win32/text.h"

namespace vekdc::platform {

namespace {

bool same_letter(wchar_t a, wchar_t b) {
    return ::CompareStringOrdinal(&a, 1, &b, 1, TRUE) == CSTR_EQUAL;
}

// Whether `name` matches `pattern`, where * stands for any run of characters
// and ? for one. As on Windows, a final ".*" also matches a name without an
// extension ("*.*" matches every name).
bool matches(std::wstring_view name, std::wstring_view pattern) {
    if (pattern.ends_with(L".*") && name.find(L'.') == std::wstring_view::npos) {
        pattern.remove_suffix(2);
    }
    // The classic greedy match: `star` is where the last * was, `retry` the
    // name position that it stands for at most.
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t star = std::wstring_view::npos;
    std::size_t retry = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || same_letter(pattern[p], name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            retry = n;
        } else if (star != std::wstring_view::npos) {
            p = star + 1;
            n = ++retry;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace

std::vector<std::string> expand_file_argument(const std::string& argument) {
    const std::size_t name_at = argument.find_last_of("\\/:") + 1;  // npos + 1 is 0
    const std::string folder = argument.substr(0, name_at);
    const std::wstring pattern = win32::widen(argument.substr(name_at));
    if (pattern.find_first_of(L"*?") == std::wstring::npos ||
        folder.find_first_of("*?") != std::string::npos) {
        return {argument};
    }
    std::vector<std::string> found;
    WIN32_FIND_DATAW entry{};
    const HANDLE search =
        ::FindFirstFileExW(win32::wide_path(folder + "*").c_str(), FindExInfoBasic, &entry,
                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring_view name = entry.cFileName;
            if (name != L"." && name != L".." && matches(name, pattern)) {
                found.push_back(folder + win32::narrow(name));
            }
        } while (::FindNextFileW(search, &entry) != 0);
        ::FindClose(search);
    }
    if (found.empty()) {
        return {argument};
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace vekdc::platform
