#pragma once

#include <string>

namespace quorvel {

// The per-user settings store: text values by application, section and key. Failures are thrown
// as RunTimeErrors and reported by the handler that made the call.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::string getSetting(const std::string& appName, const std::string& section, const std::string& key,
                                   const std::string& defaultValue) = 0;
    virtual void saveSetting(const std::string& appName, const std::string& section, const std::string& key,
                             const std::string& value) = 0;
};

} // namespace quorvel
