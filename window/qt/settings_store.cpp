#include "window/qt/settings_store.h"

#include <QSettings>

namespace vekdc {

namespace {

QSettings ProfileSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromUtf8(desktop::kSettingsCompany),
                     QString::fromUtf8(desktop::kSettingsApplication));
}

QString Key(std::string_view section, std::string_view name) {
    return QString::fromUtf8(section) + QLatin1Char('/') + QString::fromUtf8(name);
}

}  // namespace

std::optional<std::string> QtSettingsStore::read(std::string_view section, std::string_view name) {
    const QVariant value = ProfileSettings().value(Key(section, name));
    if (!value.isValid()) {
        return std::nullopt;
    }
    return value.toString().toStdString();
}

void QtSettingsStore::write(std::string_view section, std::string_view name,
                            std::string_view value) {
    QSettings settings = ProfileSettings();
    settings.setValue(Key(section, name), QString::fromUtf8(value));
    settings.sync();
}

void QtSettingsStore::remove_section(std::string_view section) {
    QSettings settings = ProfileSettings();
    settings.remove(QString::fromUtf8(section));
    settings.sync();
}

}  // namespace vekdc
