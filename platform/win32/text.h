// Text at the boundary of the Windows API: the rest of VekDC speaks UTF-8,
// Windows speaks UTF-16. Also the two other translations every call needs:
// long paths, and Windows error codes for callers that report errno.
#pragma once

#include <string>
#include <string_view>

namespace vekdc::platform::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The absolute form of a path (GetFullPathNameW); empty when there is none.
std::wstring full_path(const std::wstring& path);

// A path for the wide file functions. One too long for the classic limit of
// 260 characters is made absolute and given the \\?\ prefix, which lifts the
// limit; a shorter one is only converted.
std::wstring wide_path(std::string_view utf8_path);

// One argument quoted for a command line so that CommandLineToArgvW and the C
// run-time library read it back unchanged.
std::wstring quote_argument(std::wstring_view argument);

// Sets errno from GetLastError(), for callers that report strerror(errno).
void set_errno_from_last_error();

}  // namespace vekdc::platform::win32
