// The program's settings in the user's part of the registry:
// HKEY_CURRENT_USER\Software\<company>\<application>\<section>, one string
// value per setting, UTF-8 in and out.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vekdc::platform::win32 {

class RegistrySettings {
public:
    RegistrySettings(std::string_view company, std::string_view application);

    // The string value, or nothing when the section or the value is missing
    // or holds something other than a string.
    std::optional<std::string> read(std::string_view section, std::string_view name) const;
    // Makes the section as needed. False when the registry refused.
    bool write(std::string_view section, std::string_view name, std::string_view value) const;
    // Removes a section with everything in it; a missing section counts as
    // removed. An empty name is refused: it would name every section at once.
    bool remove_section(std::string_view section) const;

    // The key of the application below HKEY_CURRENT_USER.
    const std::wstring& key() const { return key_; }

private:
    std::wstring section_key(std::string_view section) const;

    std::wstring key_;
};

}  // namespace vekdc::platform::win32
