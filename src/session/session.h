// The process-wide state that the main window owns and every command works on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/device_table.h"
#include "device/image_compare.h"
#include "device/memory_image.h"
#include "link/connection.h"
#include "settings/settings_store.h"

namespace vek {

// What a Read took from the chip: the target it was read as, the image with its program
// words and EEPROM bytes, and its configuration words (the PIC16 configuration word in fuse).
struct ReadContents {
    DeviceInfo target;
    MemoryImage image;
    ConfigurationWords words;
};

struct Session : ProgrammerConnection {
    Session(UserInterface& userInterface, SettingsStore& settingsStore, const UsbSetup& usb = {})
        : ProgrammerConnection(userInterface, usb), settings(settingsStore) {}

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

    // The words of a HEX file, or of the chip after a Read or a Verify.
    MemoryImage image;
    // The chosen HEX file: its full path, by which every reader opens it, and its name as the
    // "Hex File:" field shows it. Empty until a file is chosen in this run.
    std::string HexFilePath;
    std::string HexFileName;
    // Entries placed over the chosen file's wherever Program and Verify load it: the serial
    // number that the command line writes into each chip. Empty in the window.
    std::vector<ImageWord> fileOverlay;
    // The check mark of "Enable Erase Before Program": set at every start, never saved.
    bool EraseBeforeProgram = true;
    // The configuration words of the last Verify's read-back, unmasked.
    std::uint16_t readFuse = 0;
    std::uint16_t readFuseX = 0;
    // The last successful Read, kept apart from the image that later commands reuse, so that
    // saving it writes what was read. A Read that fails takes it away.
    std::optional<ReadContents> lastRead;
};

}  // namespace vek
