// Settings that live only as long as the process, for a program that must leave the window's
// settings file alone; keys match without regard to case, as in the file.
#pragma once

#include <map>
#include <string>

#include "settings/settings_store.h"

namespace vek {

class MemorySettingsStore : public SettingsStore {
  public:
    int ReadSettingInt(const std::string& section, const std::string& key,
                       int defaultValue) override;
    std::string ReadSettingText(const std::string& section, const std::string& key,
                                const std::string& defaultText) override;
    bool WriteSettingInt(const std::string& section, const std::string& key, int value) override;
    bool WriteSettingText(const std::string& section, const std::string& key,
                          const std::string& text) override;

    // Everything stored, by section and key in lower case.
    const std::map<std::string, std::string>& Values() const { return values_; }
    void Clear() { values_.clear(); }

  private:
    static std::string Key(const std::string& section, const std::string& key);

    std::map<std::string, std::string> values_;
};

}  // namespace vek
