#pragma once

#include "app/SettingsStore.h"

#include <QString>

namespace quorvel {

// The settings store as an INI file: [section] key=value, one file for the program. Values come
// back exactly as saved, and every save reaches the disk before the call returns.
class QtSettingsStore : public SettingsStore {
public:
    // $XDG_CONFIG_HOME/Quorvel/Quorvel.conf (~/.config/Quorvel/Quorvel.conf by default); on
    // Windows the same file under the roaming application data folder.
    static QString defaultFilePath();

    explicit QtSettingsStore(QString filePath);

    std::string getSetting(const std::string& appName, const std::string& section, const std::string& key,
                           const std::string& defaultValue) override;
    void saveSetting(const std::string& appName, const std::string& section, const std::string& key,
                     const std::string& value) override;

    const QString& filePath() const { return m_filePath; }

private:
    QString m_filePath;
};

} // namespace quorvel
