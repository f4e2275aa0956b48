#include "platform/win32/registry.h"

#include <windows.h>

#include "platform/win32/text.h"

namespace vekdc::platform::win32 {

namespace {

// Closes a key it holds when it goes.
class Key {
public:
    Key() = default;
    ~Key() {
        if (key_ != nullptr) {
            ::RegCloseKey(key_);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* receive() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace

RegistrySettings::RegistrySettings(std::string_view company, std::string_view application)
    : key_(L"Software\\" + widen(company) + L"\\" + widen(application)) {}

std::wstring RegistrySettings::section_key(std::string_view section) const {
    return section.empty() ? key_ : key_ + L"\\" + widen(section);
}

std::optional<std::string> RegistrySettings::read(std::string_view section,
                                                  std::string_view name) const {
    const std::wstring key = section_key(section);
    const std::wstring value_name = widen(name);
    std::wstring value;
    // The value may grow between asking its size and reading it: then again.
    for (;;) {
        DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        const LSTATUS status =
            ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value_name.c_str(), RRF_RT_REG_SZ,
                           nullptr, value.empty() ? nullptr : value.data(), &bytes);
        if (status == ERROR_SUCCESS && !value.empty()) {
            value.resize(bytes / sizeof(wchar_t));
            break;
        }
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
            return std::nullopt;
        }
        value.assign(bytes / sizeof(wchar_t) + 1, L'\0');
    }
    // The text ends at its first null (the terminator the registry adds, or one inside).
    return narrow(std::wstring_view(value.c_str()));
}

bool RegistrySettings::write(std::string_view section, std::string_view name,
                             std::string_view value) const {
    Key key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, section_key(section).c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.receive(),
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::wstring text = widen(value);
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.get(), widen(name).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

bool RegistrySettings::remove_section(std::string_view section) const {
    if (section.empty()) {
        return false;
    }
    const LSTATUS status = ::RegDeleteTreeW(HKEY_CURRENT_USER, section_key(section).c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace vekdc::platform::win32
