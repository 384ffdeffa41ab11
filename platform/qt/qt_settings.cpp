// Settings under organisation (the registry key) / application / section /
// key, kept by QSettings in the platform's usual place.
#include <QSettings>

#include "platform/qt/qt_roles.h"

namespace cellarium {

std::optional<int> QtSettings::ReadProfileInt(const std::string& registryKey,
                                              const std::string& application,
                                              const std::string& section, const std::string& key) {
    QSettings settings(QString::fromStdString(registryKey), QString::fromStdString(application));
    const QString name = QString::fromStdString(section + "/" + key);
    if (!settings.contains(name)) return std::nullopt;
    bool ok = false;
    const int value = settings.value(name).toInt(&ok);
    if (!ok) return std::nullopt;
    return value;
}

bool QtSettings::WriteProfileInt(const std::string& registryKey, const std::string& application,
                                 const std::string& section, const std::string& key, int value) {
    QSettings settings(QString::fromStdString(registryKey), QString::fromStdString(application));
    settings.setValue(QString::fromStdString(section + "/" + key), value);
    // Written through at once: the program may end without closing.
    settings.sync();
    return settings.status() == QSettings::NoError;
}

std::optional<std::string> QtSettings::ReadProfileString(const std::string& registryKey,
                                                         const std::string& application,
                                                         const std::string& section,
                                                         const std::string& key) {
    QSettings settings(QString::fromStdString(registryKey), QString::fromStdString(application));
    const QString name = QString::fromStdString(section + "/" + key);
    if (!settings.contains(name)) return std::nullopt;
    return settings.value(name).toString().toStdString();
}

bool QtSettings::WriteProfileString(const std::string& registryKey, const std::string& application,
                                    const std::string& section, const std::string& key,
                                    const std::string& value) {
    QSettings settings(QString::fromStdString(registryKey), QString::fromStdString(application));
    settings.setValue(QString::fromStdString(section + "/" + key), QString::fromStdString(value));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace cellarium
