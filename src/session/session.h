// The process-wide state that the main window owns and every command works on.
#pragma once

#include <string>

#include "device/device_table.h"
#include "link/connection.h"
#include "settings/settings_store.h"

namespace vek {

struct Session : ProgrammerConnection {
    Session(UserInterface& userInterface, SettingsStore& settingsStore,
            std::string libraryName = DefaultD2xxLibraryName())
        : ProgrammerConnection(userInterface, std::move(libraryName)), settings(settingsStore) {}

    SettingsStore& settings;

    bool BusyFlag = false;  // a device operation runs

    // Copy of the selected Device list row for the action in progress.
    DeviceInfo CurrentTarget{};
    // The stored values of the main window's fields.
    FieldTexts fields;
    // The words that the configuration editors show and produce; the HEX loader and Read
    // hand their words to the editors through them.
    std::string CurrentFuseText;
    std::string CurrentFuseXText;
};

}  // namespace vek
