// The Setup menu's "Preserve Device EEPROM" and "Verify After Program": where they stand, how
// they are saved, and what Program does with them.
#include "vek_sim.h"
#include "window_fixture.h"

namespace vek::test {
namespace {

using BenchItems = WindowTest;

TEST_F(BenchItems, AreSavedAtOnceOfferedByChipAndKeepTheEepromThroughVerify) {
    Start();
    // Their place in the Setup menu is checked with the whole menu.
    Trigger("preserveEepromAction");
    EXPECT_EQ(SavedInt("VEKFlashPreserveEeprom"), 1);
    EXPECT_EQ(SavedInt("VEKFlashVerifyAfterProgram"), -1);
    Trigger("verifyAfterProgramAction");
    EXPECT_EQ(SavedInt("VEKFlashVerifyAfterProgram"), 1);

    // Kept across a start; an SX, without EEPROM, is not offered the item.
    window.reset();
    sim.Reset();  // the window left its board open
    Start();
    auto* deviceList = Find<QComboBox>("deviceList");
    deviceList->setFocus();
    QTest::keyClick(deviceList, Qt::Key_End);
    EXPECT_EQ(MenuWith("preserveEepromAction")[4], "Preserve Device EEPROM [x] (off)");
    EXPECT_EQ(MenuWith("preserveEepromAction")[5], "Verify After Program [x]");
    QTest::keyClick(deviceList, Qt::Key_Home);
    EXPECT_EQ(MenuWith("preserveEepromAction")[4], "Preserve Device EEPROM [x]");

    // Program keeps the chip's EEPROM in place of the file's bytes, and Verify expects it.
    for (int location = 0; location < 64; ++location) {
        sim.WriteWord(VEKSIM_EEPROM, location, 0x80 + location);
    }
    sim.WriteWord(VEKSIM_PROGRAM, 100, 0x1234);
    OpenThroughDialog(PIC_SAMPLE);
    answerer.messages.clear();
    QTest::mouseClick(Find<QToolButton>("programButton"), Qt::LeftButton);
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"Programming complete.\nVerify passed"});
    for (int location = 0; location < 64; ++location) {
        EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, location), 0x80 + location) << location;
    }
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 100), 0x3FFF);

    // A chip whose EEPROM is protected is refused with one message and keeps its program.
    sim.WriteWord(VEKSIM_PROGRAM, 100, 0x1234);
    sim.WriteWord(VEKSIM_CONFIG, 7, 0x000F);
    answerer.messages.clear();
    QTest::mouseClick(Find<QToolButton>("programButton"), Qt::LeftButton);
    EXPECT_EQ(answerer.messages.size(), 1u);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 100), 0x1234);
    Trigger("verifyAfterProgramAction");
    EXPECT_EQ(SavedInt("VEKFlashVerifyAfterProgram"), 0);
}

// "Checksum: XXXX" of what Program writes from the file and the fields, for the device
// selected, and of the chip once it is read. By hand: the sample's ten words and 3FF1 with
// 1014 blank words on a 16F84A are 98B3, with 8182 on a 16F877 78B3 (3FF1 without bit 10);
// a blank 16F877 with 3FFF sums to 1BFF.
TEST_F(BenchItems, TheChecksumFollowsTheFileTheDeviceAndARead) {
    Start();
    auto* checksum = Find<QLabel>("checksumLabel");
    EXPECT_EQ(checksum->text(), "");
    OpenThroughDialog(PIC_SAMPLE);
    EXPECT_EQ(checksum->text(), "Checksum: 98B3");
    auto* deviceList = Find<QComboBox>("deviceList");
    deviceList->setFocus();
    QTest::keyClick(deviceList, Qt::Key_End);
    QTest::keyClick(deviceList, Qt::Key_Up);
    QTest::keyClick(deviceList, Qt::Key_Up);
    ASSERT_EQ(deviceList->currentText(), "16F877");
    EXPECT_EQ(checksum->text(), "Checksum: 78B3");
    EXPECT_EQ(checksum->toolTip(),
              "Of what Program writes from the HEX file and the configuration fields");
    sim.SelectChip("16F877");
    QTest::mouseClick(Find<QToolButton>("readButton"), Qt::LeftButton);
    EXPECT_EQ(checksum->text(), "Checksum: 1BFF");
    EXPECT_EQ(checksum->toolTip(), "Of the chip as read");
}

}  // namespace
}  // namespace vek::test
