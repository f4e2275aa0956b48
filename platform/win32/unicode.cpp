// Case folding with the system's invariant lower-case mapping, code page 932
// with the system's own table.
#include "platform/unicode.h"

#include <windows.h>

#include "platform/win32/text.h"

namespace vekdc::platform {

std::string fold_case(std::string_view utf8) {
    std::wstring wide = win32::widen(utf8);
    if (wide.empty()) {
        return std::string(utf8);
    }
    const int length =
        ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, wide.data(),
                        static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr, 0);
    if (length <= 0) {
        return std::string(utf8);
    }
    std::wstring lower(static_cast<std::size_t>(length), L'\0');
    ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, wide.data(),
                    static_cast<int>(wide.size()), lower.data(), length, nullptr, nullptr, 0);
    return win32::narrow(lower);
}

std::optional<std::string> cp932_to_utf8(std::string_view bytes) {
    if (bytes.empty()) {
        return std::string();
    }
    constexpr UINT kCodePage = 932;
    const int length = ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                             static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(),
                          static_cast<int>(bytes.size()), wide.data(), length);
    return win32::narrow(wide);
}

}  // namespace vekdc::platform
