// The Device list's selection: the target copy, and what a choice by mouse or by keyboard
// does to the fields, the layout and the settings.
#include "session/processor_selection.h"

#include <gtest/gtest.h>

#include "memory_settings.h"

namespace vek::test {
namespace {

const FamilyLayout PIC16_LAYOUT{"Config Bits", "     ID", false};
const FamilyLayout SX_LAYOUT{"    Fuse", "Dev Word", true};

class Selection : public ::testing::Test {
  protected:
    // A click in the opened list: the new row, then the two handlers in this order. The
    // keyboard moves the selection without the list closing up.
    FamilyLayout ChooseWithMouse(int row) {
        ChooseWithKeyboard(row);
        return OnListClosedUp(state, fields, row);
    }
    void ChooseWithKeyboard(int row) { OnSelectionChanged(state, fields, row, false); }
    void ExpectWords(const std::string& fuse, const std::string& fuseX) {
        EXPECT_EQ(fields.FuseText, fuse);
        EXPECT_EQ(fields.FuseXText, fuseX);
    }

    MemorySettings settings;
    WindowState state{settings};
    FieldTexts fields;  // what the window's fields show
};

TEST_F(Selection, TheTableIsTheWireOrder) {
    for (int row = 0; row < DEVICE_COUNT; ++row) {
        EXPECT_EQ(DeviceTable[row].processorIndex, row);
        EXPECT_EQ(DeviceTable[row].family, row < 8 ? TargetFamily::PIC16 : TargetFamily::SX);
        EXPECT_EQ(DeviceTable[row].programWords % 32, 0);
        EXPECT_EQ(DeviceTable[row].eepromBytes % 64, 0);
    }
    EXPECT_EQ(DeviceTable[8].eepromBytes, 0);
}

TEST_F(Selection, RefreshCopiesTheSelectedRowAndKeepsItWithoutSelectionOrWhileBusy) {
    RefreshCurrentTarget(state, 7, false);
    EXPECT_EQ(state.CurrentTarget.name, "16F877");
    EXPECT_EQ(state.CurrentTarget.programWords, 8192);
    RefreshCurrentTarget(state, -1, false);
    EXPECT_EQ(state.CurrentTarget.name, "16F877");
    RefreshCurrentTarget(state, 8, true);
    EXPECT_EQ(state.CurrentTarget.name, "16F877");
}

TEST_F(Selection, KeyboardShowsStartingWordsMouseShowsSavedOnesAndSavesTheRow) {
    ChooseWithKeyboard(8);
    ExpectWords("4E9", "440");
    ChooseWithKeyboard(0);
    ExpectWords("3d3a", "0");
    EXPECT_TRUE(settings.Values().empty());

    EXPECT_EQ(ChooseWithMouse(9), SX_LAYOUT);
    EXPECT_EQ(settings.ReadSettingInt(SETTINGS_SECTION, "vekflashprocselection", -1), 9);
    ExpectWords("---", "---");
    EXPECT_EQ(state.CurrentTarget.name, "SX48");
    EXPECT_EQ(ChooseWithMouse(3), PIC16_LAYOUT);
    ExpectWords("---", "0");
    EXPECT_EQ(settings.Text(KEY_PROC_SELECTION), "3");
}

TEST_F(Selection, SavedWordsAreSharedByTheFamilyAndOtherFieldsSurvive) {
    settings.WriteSettingText(SETTINGS_SECTION, KEY_MICROCHIP_BITS, "3FF2");
    settings.WriteSettingText(SETTINGS_SECTION, KEY_FUSE_BITS, "F9B");
    // The loader's spelling names the same value.
    settings.WriteSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS_LOADER, "FFE");
    fields.DevWordText = "566";
    fields.HexFileText = "blink.hex";
    ChooseWithMouse(8);
    ExpectWords("F9B", "FFE");
    EXPECT_EQ(fields.DevWordText, "566");
    EXPECT_EQ(fields.HexFileText, "blink.hex");
    ChooseWithKeyboard(9);
    ExpectWords("F9B", "FFE");
    ChooseWithMouse(6);
    EXPECT_EQ(fields.FuseText, "3FF2");
}

TEST_F(Selection, StartupRestoresTheSavedRowOrTheFirstAndLeavesThePicsStartingFuseX) {
    EXPECT_EQ(SavedSelectionRow(state), 0);
    settings.WriteSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, 8);
    EXPECT_EQ(SavedSelectionRow(state), 8);
    for (int unknown : {10, -1, 99}) {
        settings.WriteSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, unknown);
        EXPECT_EQ(SavedSelectionRow(state), 0);
    }

    EXPECT_EQ(ApplyFamilyLayout(state, fields, 0), PIC16_LAYOUT);
    ExpectWords("---", "FFF");
    EXPECT_EQ(fields.DevWordText, "0000");
    EXPECT_EQ(ApplyFamilyLayout(state, fields, 9), SX_LAYOUT);
}

}  // namespace
}  // namespace vek::test
