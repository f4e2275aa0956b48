#include "window/win32/settings_store.h"

namespace vekdc::win32 {

RegistrySettingsStore::RegistrySettingsStore(std::string_view application)
    : m_registry(desktop::kSettingsCompany, application) {}

std::optional<std::string> RegistrySettingsStore::read(std::string_view section,
                                                       std::string_view name) {
    return m_registry.read(section, name);
}

void RegistrySettingsStore::write(std::string_view section, std::string_view name,
                                  std::string_view value) {
    m_registry.write(section, name, value);
}

void RegistrySettingsStore::remove_section(std::string_view section) {
    m_registry.remove_section(section);
}

}  // namespace vekdc::win32
