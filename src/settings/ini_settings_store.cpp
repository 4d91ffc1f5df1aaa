#include "settings/ini_settings_store.h"

#include <optional>

#include "platform/whole_file.h"
#include "settings/ini_text.h"

namespace vek {

namespace {

// The private-profile functions' 4096-character buffer, less its terminating NUL.
constexpr size_t MAX_TEXT_LENGTH = 4095;

// Optional sign, then decimal digits up to the first other character, wrapping as the
// platform's 32-bit conversion does.
int LeadingInteger(std::string_view text) {
    size_t index = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        index = 1;
    }
    unsigned value = 0;
    for (; index < text.size() && text[index] >= '0' && text[index] <= '9'; ++index) {
        value = value * 10 + static_cast<unsigned>(text[index] - '0');
    }
    return static_cast<int>(negative ? 0u - value : value);
}

bool HoldsLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

IniSettingsStore::IniSettingsStore(std::filesystem::path filePath)
    : filePath_(std::move(filePath)) {}

int IniSettingsStore::ReadSettingInt(const std::string& section, const std::string& key,
                                     int defaultValue) {
    const std::optional<std::string> value =
        FindIniValue(ReadWholeFile(filePath_).value_or(""), section, key);
    if (!value || value->empty()) {
        return defaultValue;
    }
    return LeadingInteger(*value);
}

std::string IniSettingsStore::ReadSettingText(const std::string& section, const std::string& key,
                                              const std::string& defaultText) {
    const std::string text =
        FindIniValue(ReadWholeFile(filePath_).value_or(""), section, key).value_or(defaultText);
    return text.substr(0, MAX_TEXT_LENGTH);
}

bool IniSettingsStore::WriteSettingInt(const std::string& section, const std::string& key,
                                       int value) {
    return WriteValue(section, key, std::to_string(value));
}

bool IniSettingsStore::WriteSettingText(const std::string& section, const std::string& key,
                                        const std::string& text) {
    // A line break would end the value early and make the rest a line of its own.
    if (HoldsLineBreakOrNul(text)) {
        return false;
    }
    return WriteValue(section, key, text);
}

bool IniSettingsStore::WriteValue(const std::string& section, const std::string& key,
                                  const std::string& value) {
    // A file that exists but cannot be read is not replaced by one holding only this value.
    const std::optional<std::string> old = ReadWholeFile(filePath_);
    if (!old) {
        return false;
    }
    const std::string updated = SetIniValue(*old, section, key, value);
    if (updated == *old) {
        return true;
    }
    return ReplaceWholeFile(filePath_, updated);
}

}  // namespace vek
