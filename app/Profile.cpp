#include "app/Profile.h"

#include <QSettings>

namespace vekdc {

namespace {

QSettings ProfileSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(kRegistryKey), QString::fromLatin1(kProfileName));
}

}  // namespace

QString GetProfileString(const QString& section, const QString& entry,
                         const QString& defaultValue) {
    QSettings settings = ProfileSettings();
    return settings.value(section + QLatin1Char('/') + entry, defaultValue).toString();
}

void WriteProfileString(const QString& section, const QString& entry, const QString& value) {
    QSettings settings = ProfileSettings();
    settings.setValue(section + QLatin1Char('/') + entry, value);
    settings.sync();
}

void DeleteProfileSection(const QString& section) {
    QSettings settings = ProfileSettings();
    settings.remove(section);
    settings.sync();
}

}  // namespace vekdc
