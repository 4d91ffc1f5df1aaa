// Settings kept in memory with the store's rule that keys match without regard to case.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <string>

#include "settings/settings_store.h"

namespace vek::test {

class MemorySettings : public SettingsStore {
  public:
    int ReadSettingInt(const std::string& section, const std::string& key,
                       int defaultValue) override {
        const auto found = values.find(Key(section, key));
        return found == values.end() ? defaultValue : std::stoi(found->second);
    }
    std::string ReadSettingText(const std::string& section, const std::string& key,
                                const std::string& defaultText) override {
        const auto found = values.find(Key(section, key));
        return found == values.end() ? defaultText : found->second;
    }
    bool WriteSettingInt(const std::string& section, const std::string& key, int value) override {
        values[Key(section, key)] = std::to_string(value);
        return true;
    }
    bool WriteSettingText(const std::string& section, const std::string& key,
                          const std::string& text) override {
        values[Key(section, key)] = text;
        return true;
    }

    // "section/key" in lower case.
    static std::string Key(const std::string& section, const std::string& key) {
        std::string joined = section + "/" + key;
        std::transform(joined.begin(), joined.end(), joined.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return joined;
    }
    std::string Text(const std::string& key) const {
        const auto found = values.find(Key(SETTINGS_SECTION, key));
        return found == values.end() ? "<absent>" : found->second;
    }

    std::map<std::string, std::string> values;
};

}  // namespace vek::test
