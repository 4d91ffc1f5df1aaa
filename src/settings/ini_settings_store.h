// The settings store on an INI file. There is no cache: every read reads the file and every
// write that changes a value replaces the file at once, so the file is never left half written.
#pragma once

#include <filesystem>

#include "settings/settings_store.h"

namespace vek {

class IniSettingsStore : public SettingsStore {
  public:
    explicit IniSettingsStore(std::filesystem::path filePath);

    // The decimal number at the start of the value, after an optional sign ("120abc" reads
    // 120, "abc" reads 0); an absent key or an empty value reads as the default.
    int ReadSettingInt(const std::string& section, const std::string& key,
                       int defaultValue) override;
    // At most 4095 characters.
    std::string ReadSettingText(const std::string& section, const std::string& key,
                                const std::string& defaultText) override;
    // False when the file is unreadable or could not be replaced, and for a text with a line
    // break or a NUL, which the file cannot hold; the file then stays as it was. A value that
    // the file already holds leaves the file untouched.
    bool WriteSettingInt(const std::string& section, const std::string& key, int value) override;
    bool WriteSettingText(const std::string& section, const std::string& key,
                          const std::string& text) override;

  private:
    bool WriteValue(const std::string& section, const std::string& key, const std::string& value);

    std::filesystem::path filePath_;
};

}  // namespace vek
