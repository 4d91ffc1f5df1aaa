// The board's frames, transaction and power state, the device IDs, and the chip's memory.
#include "sim_host.h"

namespace vek::test {
namespace {

class Frames : public SimulatorTest {};

TEST_F(Frames, AFrameIsAcknowledgedHoweverItIsSplitAcrossWrites) {
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 2), "55");
    EXPECT_EQ(Hex(sim.HostBytes()), "04 50 C9 01 FF 63");

    ASSERT_EQ(host.Write({0x04, 0x50}), FT_OK);
    ASSERT_EQ(host.Write({0xC9, 0x01, 0xFF}), FT_OK);
    EXPECT_EQ(host.ReadHex(1), "");  // nothing before the check byte
    ASSERT_EQ(host.Write({0x63}), FT_OK);
    EXPECT_EQ(host.ReadHex(1), "55");
}

TEST_F(Frames, ADamagedFrameGetsNoAnswerAndTheNextOneIsHeard) {
    ASSERT_EQ(host.Write({0x04, 0x50, 0xC9, 0x01, 0xFF, 0x64}), FT_OK);
    EXPECT_EQ(host.ReadHex(1), "");
    EXPECT_EQ(sim.ElapsedMs(), 1001u);  // the write's USB frame, then the whole time-out
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "55");
}

TEST_F(Frames, NoiseWhereALengthByteBelongsIsSkipped) {
    ASSERT_EQ(host.Write({0x00, HOST_ACK}), FT_OK);
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 2), "55");
}

TEST_F(Frames, UnknownCommandsAndTargetCommandsOutsideATransactionAreOnlyAcknowledged) {
    EXPECT_EQ(host.Command({0x99, 0x00}, 2), "55");
    EXPECT_EQ(host.Command({CMD_READ_ID, 0}, 3), "55");
    EXPECT_EQ(host.Command({CMD_BULK_ERASE, 0}, 4), "55");
    EXPECT_EQ(host.Command({CMD_BLANK_CHECK, 0, 0x00, 0x04}, 3), "55");
    EXPECT_EQ(host.Command({CMD_READ, 0, 0x00, 0x04, 0x40, 0x00}, 8), "55");
    // Nor did the read open a stream: the next frame is heard as a frame.
    EXPECT_EQ(host.Command({CMD_END, 0}, 2), "55");
}

TEST_F(Frames, TheTransactionOpensAgainInsideItselfAndAnExtraEndChangesNothing) {
    EXPECT_FALSE(sim.InTransaction());
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 3), "55 76");
    EXPECT_TRUE(sim.InTransaction());
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 3), "55 76");
    EXPECT_EQ(host.Command({CMD_END, 0}, 2), "55");
    EXPECT_FALSE(sim.InTransaction());
    EXPECT_EQ(host.Command({CMD_END, 0}, 2), "55");
    EXPECT_FALSE(sim.InTransaction());
}

TEST_F(Frames, TargetPowerGoesOnOnlyWhileAllowed) {
    EXPECT_EQ(host.Command({CMD_POWER_ON}, 1), "55");
    EXPECT_EQ(sim.PowerState(), 0);
    EXPECT_EQ(host.Command({CMD_ALLOW_POWER, 1}, 1), "55");
    EXPECT_EQ(sim.PowerState(), 1);
    EXPECT_EQ(host.Command({CMD_POWER_ON}, 1), "55");
    EXPECT_EQ(sim.PowerState(), 3);
    EXPECT_EQ(host.Command({CMD_POWER_OFF}, 1), "55");
    EXPECT_EQ(sim.PowerState(), 1);
    EXPECT_EQ(host.Command({CMD_POWER_ON}, 1), "55");
    EXPECT_EQ(host.Command({CMD_ALLOW_POWER, 0}, 1), "55");
    EXPECT_EQ(sim.PowerState(), 0);
}

struct ChipId {
    const char* chip;
    const char* answer;
};

class DeviceIds : public SimulatorTest {};

TEST_F(DeviceIds, EachChipAnswersItsOwnIdWhateverIndexTheHostNames) {
    const ChipId ids[] = {{"16F84A", "60 05"}, {"16F870", "00 0D"}, {"16F871", "20 0D"},
                          {"16F872", "E0 08"}, {"16F873", "60 09"}, {"16F874", "20 09"},
                          {"16F876", "E0 09"}, {"16F877", "A0 09"}, {"SX28", "CE 0F"},
                          {"SX48", "02 00"}};
    for (const ChipId& id : ids) {
        BeginWith(id.chip, 7);
        EXPECT_EQ(host.Command({CMD_READ_ID, 7}, 3), "55 " + std::string(id.answer)) << id.chip;
    }
}

TEST_F(DeviceIds, ARawIdLastsUntilTheNextChipIsSelected) {
    BeginWith("16F84A", 0);
    sim.SetDeviceId(0xF566);
    EXPECT_EQ(host.Command({CMD_READ_ID, 0}, 3), "55 66 F5");
    ASSERT_TRUE(sim.SelectChip("16F84A"));
    EXPECT_EQ(host.Command({CMD_READ_ID, 0}, 3), "55 60 05");
    EXPECT_FALSE(sim.SelectChip("16F999"));
}

TEST(ChipMemory, ValuesAreMaskedToTheWidthOfTheirSpaceAndIndexesChecked) {
    SimControl& sim = SimControl::Get();
    sim.Reset();
    EXPECT_TRUE(sim.WriteWord(VEKSIM_PROGRAM, 1023, 0xFFFF));
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1023), 0x3FFF);
    EXPECT_TRUE(sim.WriteWord(VEKSIM_EEPROM, 63, 0x1A5));
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 63), 0xA5);
    EXPECT_TRUE(sim.WriteWord(VEKSIM_CONFIG, 7, 0x7FF2));
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 7), 0x3FF2);
    EXPECT_FALSE(sim.WriteWord(VEKSIM_PROGRAM, 1024, 0));
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1024), -1);
    EXPECT_EQ(sim.ReadWord(VEKSIM_FUSE, 0), -1);  // a PIC16 has none

    ASSERT_TRUE(sim.SelectChip("SX48"));
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 4095), 0x0FFF);
    EXPECT_TRUE(sim.WriteWord(VEKSIM_FUSEX, 0, 0xF123));
    EXPECT_EQ(sim.ReadWord(VEKSIM_FUSEX, 0), 0x123);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 0), -1);
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 0), -1);
}

}  // namespace
}  // namespace vek::test
