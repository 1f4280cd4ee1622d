#pragma once

#include "app/SettingsStore.h"
#include "link/RunTimeError.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace quorvel::fakes {

class FakeSettingsStore : public SettingsStore {
public:
    std::string getSetting(const std::string& appName, const std::string& section, const std::string& key,
                           const std::string& defaultValue) override {
        const auto it = values.find(appName + "/" + section + "/" + key);
        return it == values.end() ? defaultValue : it->second;
    }
    void saveSetting(const std::string& appName, const std::string& section, const std::string& key,
                     const std::string& value) override {
        if (refusedKeys.count(key) != 0) {
            throw RunTimeError(err::kFileAccess, "Path/File access error");
        }
        saves.push_back(key + "=" + value);
        values[appName + "/" + section + "/" + key] = value;
    }

    // The value under the program's own application and section, or "<absent>".
    std::string get(const std::string& key) const {
        const auto it = values.find("Quorvel/settings/" + key);
        return it == values.end() ? "<absent>" : it->second;
    }
    void set(const std::string& key, const std::string& value) { values["Quorvel/settings/" + key] = value; }

    std::map<std::string, std::string> values;
    std::set<std::string> refusedKeys;
    std::vector<std::string> saves;
};

} // namespace quorvel::fakes
