// The program's settings in QSettings: company "Orvinta", application
// "VekDC" (on Linux ~/.config/Orvinta/VekDC.conf). Every write goes to disk
// at once, because the program may end through exit() at any moment.
#pragma once

#include "desktop/settings.h"

namespace vekdc {

class QtSettingsStore : public desktop::settings_store {
public:
    std::optional<std::string> read(std::string_view section, std::string_view name) override;
    void write(std::string_view section, std::string_view name, std::string_view value) override;
    void remove_section(std::string_view section) override;
};

}  // namespace vekdc
