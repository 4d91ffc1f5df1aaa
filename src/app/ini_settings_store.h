// The settings store on an INI file through QSettings: every call opens the file afresh, so a
// write reaches the file at once and a read sees what the file holds.
#pragma once

#include <QString>
#include <optional>

#include "settings/settings_store.h"

namespace vek {

// "<executable base name>.INI" in the user's configuration folder.
QString DefaultSettingsPath();

class IniSettingsStore : public SettingsStore {
  public:
    explicit IniSettingsStore(QString filePath);

    // A stored value that is not a decimal integer reads as the default.
    int ReadSettingInt(const std::string& section, const std::string& key,
                       int defaultValue) override;
    std::string ReadSettingText(const std::string& section, const std::string& key,
                                const std::string& defaultText) override;
    // False when the file could not be written. A malformed file is rewritten with the keys
    // that could be parsed.
    bool WriteSettingInt(const std::string& section, const std::string& key, int value) override;
    bool WriteSettingText(const std::string& section, const std::string& key,
                          const std::string& text) override;

  private:
    std::optional<QString> ReadValue(const std::string& section, const std::string& key) const;
    bool WriteValue(const std::string& section, const std::string& key, const QString& value);

    QString filePath_;
};

}  // namespace vek
