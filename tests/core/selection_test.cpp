#include "session/processor_selection.h"

#include <gtest/gtest.h>

#include "memory_settings.h"
#include "recording_ui.h"

namespace vek::test {
namespace {

const FamilyLayout PIC16_LAYOUT{"Config Bits", "     ID", false};
const FamilyLayout SX_LAYOUT{"    Fuse", "Dev Word", true};

class Selection : public ::testing::Test {
  protected:
    // A click in the opened list: the new row, then the two handlers in this order.
    FamilyLayout ChooseWithMouse(int row) {
        ui.selectedRow = row;
        OnSelectionChanged(session);
        return OnListClosedUp(session);
    }
    void ChooseWithKeyboard(int row) {
        ui.selectedRow = row;
        OnSelectionChanged(session);
    }

    RecordingUi ui;
    MemorySettings settings;
    Session session{ui, settings, "/nonexistent/libftd2xx.so"};
};

TEST_F(Selection, TheTableIsTheWireOrder) {
    for (int row = 0; row < DEVICE_COUNT; ++row) {
        EXPECT_EQ(DeviceTable[row].processorIndex, row);
        EXPECT_EQ(DeviceTable[row].family, FamilyOfIndex(row));
        EXPECT_EQ(DeviceTable[row].programWords % 32, 0);
        EXPECT_EQ(DeviceTable[row].eepromBytes % 64, 0);
    }
    EXPECT_EQ(DeviceTable[9].name, "SX48");
    EXPECT_EQ(DeviceTable[9].deviceId, 0x002);
    EXPECT_EQ(DeviceTable[8].eepromBytes, 0);
}

TEST_F(Selection, RefreshCopiesTheSelectedRowAndKeepsItWithoutSelection) {
    ui.selectedRow = 7;
    RefreshCurrentTarget(session);
    EXPECT_EQ(session.CurrentTarget.name, "16F877");
    EXPECT_EQ(session.CurrentTarget.programWords, 8192);
    ui.selectedRow = -1;
    RefreshCurrentTarget(session);
    EXPECT_EQ(session.CurrentTarget.name, "16F877");
}

TEST_F(Selection, MouseChoiceSavesTheRowAndShowsPlaceholdersForUnsavedWords) {
    EXPECT_EQ(ChooseWithMouse(9), SX_LAYOUT);
    EXPECT_EQ(settings.ReadSettingInt(SETTINGS_SECTION, "vekflashprocselection", -1), 9);
    EXPECT_EQ(ui.controls.FuseText, "---");
    EXPECT_EQ(ui.controls.FuseXText, "---");
    EXPECT_EQ(session.CurrentTarget.name, "SX48");

    EXPECT_EQ(ChooseWithMouse(3), PIC16_LAYOUT);
    EXPECT_EQ(ui.controls.FuseText, "---");
    EXPECT_EQ(ui.controls.FuseXText, "0");
    EXPECT_EQ(settings.Text(KEY_PROC_SELECTION), "3");
}

TEST_F(Selection, KeyboardChoiceShowsStartingWordsAndSavesNothing) {
    ChooseWithKeyboard(8);
    EXPECT_EQ(ui.controls.FuseText, "4E9");
    EXPECT_EQ(ui.controls.FuseXText, "440");
    ChooseWithKeyboard(0);
    EXPECT_EQ(ui.controls.FuseText, "3d3a");
    EXPECT_EQ(ui.controls.FuseXText, "0");
    EXPECT_TRUE(settings.Values().empty());
}

TEST_F(Selection, SavedWordsAreSharedByTheFamily) {
    settings.WriteSettingText(SETTINGS_SECTION, KEY_MICROCHIP_BITS, "3FF2");
    settings.WriteSettingText(SETTINGS_SECTION, KEY_FUSE_BITS, "F9B");
    // The loader's spelling names the same value.
    settings.WriteSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS_LOADER, "FFE");
    ChooseWithMouse(8);
    EXPECT_EQ(ui.controls.FuseText, "F9B");
    EXPECT_EQ(ui.controls.FuseXText, "FFE");
    ChooseWithKeyboard(9);
    EXPECT_EQ(ui.controls.FuseText, "F9B");
    EXPECT_EQ(ui.controls.FuseXText, "FFE");
    ChooseWithMouse(6);
    EXPECT_EQ(ui.controls.FuseText, "3FF2");
}

TEST_F(Selection, OtherFieldsSurviveAChange) {
    ui.controls.DevWordText = "566";
    ui.controls.HexFileText = "blink.hex";
    ChooseWithMouse(8);
    EXPECT_EQ(ui.controls.DevWordText, "566");
    EXPECT_EQ(ui.controls.HexFileText, "blink.hex");
    EXPECT_EQ(session.fields, ui.controls);
}

TEST_F(Selection, StartupRestoresTheSavedRowAndFallsBackToTheFirst) {
    EXPECT_EQ(SavedSelectionRow(session), 0);
    settings.WriteSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, 8);
    EXPECT_EQ(SavedSelectionRow(session), 8);
    for (int unknown : {10, -1, 99}) {
        settings.WriteSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, unknown);
        EXPECT_EQ(SavedSelectionRow(session), 0);
    }
}

TEST_F(Selection, StartupLayoutLeavesTheInitialFuseXTextOfAPic) {
    EXPECT_EQ(ApplyFamilyLayout(session, 0), PIC16_LAYOUT);
    EXPECT_EQ(ui.controls.FuseText, "---");
    EXPECT_EQ(ui.controls.FuseXText, "FFF");
    EXPECT_EQ(ui.controls.DevWordText, "0000");
    EXPECT_EQ(ApplyFamilyLayout(session, 9), SX_LAYOUT);
}

}  // namespace
}  // namespace vek::test
