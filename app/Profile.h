// The program's settings: company "Orvinta", application "VekDC" (on Linux
// ~/.config/Orvinta/VekDC.conf). Every write goes to disk at once, because the
// program may end through exit() at any moment.
#pragma once

#include <QString>
#include <QStringList>

namespace vekdc {

inline constexpr const char* kRegistryKey = "Orvinta";
inline constexpr const char* kProfileName = "VekDC";

QString GetProfileString(const QString& section, const QString& entry,
                         const QString& defaultValue = QString());
void WriteProfileString(const QString& section, const QString& entry, const QString& value);
// Removes a whole section with its values.
void DeleteProfileSection(const QString& section);

}  // namespace vekdc
