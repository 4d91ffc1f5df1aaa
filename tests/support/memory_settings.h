// Settings kept in memory, with a way for tests to look at a key of the program's section.
#pragma once

#include <string>

#include "settings/memory_settings_store.h"

namespace vek::test {

class MemorySettings : public MemorySettingsStore {
  public:
    std::string Text(const std::string& key) {
        return ReadSettingText(SETTINGS_SECTION, key, "<absent>");
    }
};

}  // namespace vek::test
