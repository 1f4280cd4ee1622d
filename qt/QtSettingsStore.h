#pragma once

#include "app/SettingsStore.h"

#include <QString>

namespace quorvel {

// The settings store as INI files: application A's section S is the group [S] of
// <configFolder>/A/A.conf, so the program's own values live in [settings] of
// <configFolder>/Quorvel/Quorvel.conf. Keys are case-sensitive.
//
// Every value is text and comes back exactly as saved; a value typed into the file by hand comes
// back as written (blanks around it trimmed), commas and a leading "@" included. A save changes
// only its own line, leaves comments and every other line as they were, and is on the disk before
// the call returns.
//
// Failures are RunTimeError 75 "Path/File access error" naming the file: a save that does not
// reach the disk, and a get from a file that exists but cannot be read. A missing file or key is
// no error: the get returns its default. A name the file cannot hold (empty, with "/", "=", "[",
// "]", blanks at either end) is error 5.
class QtSettingsStore : public SettingsStore {
public:
    // $XDG_CONFIG_HOME when it is an absolute path (a relative one is ignored, as XDG asks), else
    // ~/.config; on Windows the roaming application data folder.
    static QString defaultConfigFolder();

    explicit QtSettingsStore(QString configFolder);

    std::string getSetting(const std::string& appName, const std::string& section, const std::string& key,
                           const std::string& defaultValue) override;
    void saveSetting(const std::string& appName, const std::string& section, const std::string& key,
                     const std::string& value) override;

    // The file that holds the application's sections.
    QString filePathFor(const std::string& appName) const;

private:
    QString m_configFolder;
};

} // namespace quorvel
