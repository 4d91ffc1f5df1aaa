// The process-wide state that the main window owns and every command works on.
#pragma once

#include <string>

#include "device/device_table.h"
#include "device/settings_store.h"
#include "link/programmer_link.h"
#include "link/user_interface.h"

namespace vek {

struct Session {
    Session(UserInterface& userInterface, SettingsStore& settingsStore,
            std::string libraryName = DefaultD2xxLibraryName())
        : ui(userInterface), settings(settingsStore), link(userInterface, std::move(libraryName)) {}

    UserInterface& ui;
    SettingsStore& settings;
    ProgrammerLink link;

    bool Connected = false;     // the device handle refers to an open programmer
    bool BusyFlag = false;      // a device operation runs
    bool LinkInUse = false;     // someone is exchanging bytes with the programmer
    bool PowerAllowed = false;  // the programmer last confirmed that target power is allowed

    // Copy of the selected Device list row for the action in progress.
    DeviceInfo CurrentTarget{};
    // The stored values of the main window's fields.
    FieldTexts fields;
};

}  // namespace vek
