#include "settings/memory_settings_store.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace vek {

std::string MemorySettingsStore::Key(const std::string& section, const std::string& key) {
    std::string joined = section + '\n' + key;
    std::transform(joined.begin(), joined.end(), joined.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return joined;
}

int MemorySettingsStore::ReadSettingInt(const std::string& section, const std::string& key,
                                        int defaultValue) {
    const auto found = values_.find(Key(section, key));
    if (found == values_.end()) {
        return defaultValue;
    }
    int value = defaultValue;
    const std::string& text = found->second;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::string MemorySettingsStore::ReadSettingText(const std::string& section, const std::string& key,
                                                 const std::string& defaultText) {
    const auto found = values_.find(Key(section, key));
    return found == values_.end() ? defaultText : found->second;
}

bool MemorySettingsStore::WriteSettingInt(const std::string& section, const std::string& key,
                                          int value) {
    values_[Key(section, key)] = std::to_string(value);
    return true;
}

bool MemorySettingsStore::WriteSettingText(const std::string& section, const std::string& key,
                                           const std::string& text) {
    values_[Key(section, key)] = text;
    return true;
}

}  // namespace vek
