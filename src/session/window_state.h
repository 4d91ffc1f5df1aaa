// What the main window keeps besides the programmer and the workspace: the target of its
// Device list and the configuration words its editors share, and how its fields' texts follow
// a HEX file and a Read. The operations never see it: the window turns its fields into
// requests.
#pragma once

#include <string>

#include "device/device_table.h"
#include "device/image_compare.h"
#include "session/workspace.h"
#include "settings/settings_store.h"

namespace vek {

// The texts of the main window's fields.
struct FieldTexts {
    std::string HexFileText = "Click here to select a hex file";
    std::string FuseText = "FFF";
    std::string FuseXText = "FFF";
    std::string DevWordText = "0000";
};

struct WindowState {
    explicit WindowState(SettingsStore& settingsStore) : settings(settingsStore) {}

    SettingsStore& settings;
    // Copy of the selected Device list row for the command in progress.
    DeviceInfo CurrentTarget{};
    // The words that the configuration editors show and produce; a HEX file and Read hand
    // their words to the editors through them.
    std::string CurrentFuseText;
    std::string CurrentFuseXText;
};

// The configuration words the fields hold: one to four hex digits are a word, anything else
// ("---", or a typing slip) is none.
GivenWords WordsInFields(const FieldTexts& fields);

// The words of a HEX file's records into the fields and the shared texts; a field without
// one keeps what it shows.
void ShowFileWords(WindowState& state, FieldTexts& fields, const DeviceInfo& target,
                   const GivenWords& words);

// The words a Read took into the fields and the shared texts: a PIC16's configuration word
// with "---" beside it, or an SX's FUSE and FUSEX words.
void ShowReadWords(WindowState& state, FieldTexts& fields, const ReadContents& read);

}  // namespace vek
