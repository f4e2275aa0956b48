// The program's settings in the user's registry key
// HKEY_CURRENT_USER\Software\Orvinta\VekDC, one subkey per section.
#pragma once

#include <string_view>

#include "desktop/settings.h"
#include "platform/win32/registry.h"

namespace vekdc::win32 {

class RegistrySettingsStore : public desktop::settings_store {
public:
    // `application`: the key below the company's (tests use one of their own).
    explicit RegistrySettingsStore(std::string_view application = desktop::kSettingsApplication);

    std::optional<std::string> read(std::string_view section, std::string_view name) override;
    // A failed write has no visible effect: the program goes on with what it has.
    void write(std::string_view section, std::string_view name, std::string_view value) override;
    void remove_section(std::string_view section) override;

    const platform::win32::RegistrySettings& Registry() const { return m_registry; }

private:
    platform::win32::RegistrySettings m_registry;
};

}  // namespace vekdc::win32
