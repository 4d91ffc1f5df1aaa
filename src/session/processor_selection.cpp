#include "session/processor_selection.h"

namespace vek {

namespace {

// What the fields show for a family whose words were never saved.
struct WordDefaults {
    const char* configWord;
    const char* fuse;
    const char* fuseX;
};
// On a change of selection, plausible words to start from.
constexpr WordDefaults SELECTION_DEFAULTS{"3d3a", "4E9", "440"};
// At start-up and when the list closes up, a placeholder that says nothing was saved.
constexpr WordDefaults LAYOUT_DEFAULTS{"---", "---", "---"};

// The words are kept per family: all PIC16 rows share one, both SX rows share two.
void LoadSavedWords(const WindowState& state, FieldTexts& fields, TargetFamily family,
                    const WordDefaults& defaults) {
    SettingsStore& settings = state.settings;
    if (family == TargetFamily::SX) {
        fields.FuseText = settings.ReadSettingText(SETTINGS_SECTION, KEY_FUSE_BITS, defaults.fuse);
        fields.FuseXText =
            settings.ReadSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS, defaults.fuseX);
    } else {
        fields.FuseText =
            settings.ReadSettingText(SETTINGS_SECTION, KEY_MICROCHIP_BITS, defaults.configWord);
    }
}

}  // namespace

FamilyLayout LayoutOf(TargetFamily family) {
    if (family == TargetFamily::SX) {
        return {"    Fuse", "Dev Word", true};
    }
    return {"Config Bits", "     ID", false};
}

void RefreshCurrentTarget(WindowState& state, int row, bool operationRunning) {
    // A running operation keeps the target it started with, whatever the list shows meanwhile.
    if (operationRunning) {
        return;
    }
    if (IsValidRow(row)) {
        state.CurrentTarget = DeviceTable[row];
    }
}

int SavedSelectionRow(const WindowState& state) {
    const int saved = state.settings.ReadSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, 0);
    // A number that names no row would leave the list empty and the target without a size.
    return IsValidRow(saved) ? saved : 0;
}

FamilyLayout ApplyFamilyLayout(const WindowState& state, FieldTexts& fields, int row) {
    // Without a selection the fields show the first row's family.
    const TargetFamily family = DeviceTable[IsValidRow(row) ? row : 0].family;
    LoadSavedWords(state, fields, family, LAYOUT_DEFAULTS);
    return LayoutOf(family);
}

void OnSelectionChanged(WindowState& state, FieldTexts& fields, int row, bool operationRunning) {
    RefreshCurrentTarget(state, row, operationRunning);
    if (IsValidRow(row)) {
        const TargetFamily family = DeviceTable[row].family;
        if (family == TargetFamily::PIC16) {
            fields.FuseXText = "0";
        }
        LoadSavedWords(state, fields, family, SELECTION_DEFAULTS);
    }
}

FamilyLayout OnListClosedUp(const WindowState& state, FieldTexts& fields, int row) {
    if (IsValidRow(row)) {
        state.settings.WriteSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, row);
    }
    return ApplyFamilyLayout(state, fields, row);
}

}  // namespace vek
