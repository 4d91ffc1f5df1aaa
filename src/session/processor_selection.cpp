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
void LoadSavedWords(Session& session, TargetFamily family, const WordDefaults& defaults) {
    SettingsStore& settings = session.settings;
    FieldTexts& fields = session.fields;
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

void RefreshCurrentTarget(Session& session) {
    // A running operation keeps the target it started with, whatever the list shows meanwhile.
    if (session.BusyFlag) {
        return;
    }
    const int row = session.ui.SelectedDeviceRow();
    if (IsValidRow(row)) {
        session.CurrentTarget = DeviceTable[row];
    }
}

int SavedSelectionRow(Session& session) {
    const int saved = session.settings.ReadSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, 0);
    // A number that names no row would leave the list empty and the target without a size.
    return IsValidRow(saved) ? saved : 0;
}

FamilyLayout ApplyFamilyLayout(Session& session, int row) {
    // Without a selection the fields show the first row's family.
    const TargetFamily family = DeviceTable[IsValidRow(row) ? row : 0].family;
    session.fields = session.ui.TakeFieldTexts();
    LoadSavedWords(session, family, LAYOUT_DEFAULTS);
    session.ui.ShowFieldTexts(session.fields);
    return LayoutOf(family);
}

void OnSelectionChanged(Session& session) {
    RefreshCurrentTarget(session);
    session.fields = session.ui.TakeFieldTexts();
    const int row = session.ui.SelectedDeviceRow();
    if (IsValidRow(row)) {
        const TargetFamily family = DeviceTable[row].family;
        if (family == TargetFamily::PIC16) {
            session.fields.FuseXText = "0";
        }
        LoadSavedWords(session, family, SELECTION_DEFAULTS);
    }
    session.ui.ShowFieldTexts(session.fields);
}

FamilyLayout OnListClosedUp(Session& session) {
    const int row = session.ui.SelectedDeviceRow();
    if (IsValidRow(row)) {
        session.settings.WriteSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, row);
    }
    return ApplyFamilyLayout(session, row);
}

}  // namespace vek
