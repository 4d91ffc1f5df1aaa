// The programming stream of both families, block by block.
#include "sim_host.h"

namespace vek::test {
namespace {

// Ten-byte payload of CMD_PROGRAM and CMD_PROGRAM_FUSEX.
std::vector<std::uint8_t> ProgramPayload(std::uint8_t code, std::uint8_t index, int words,
                                         int eeprom, int fuse, int fusex) {
    return {code,         index,     Low(words), High(words), Low(eeprom),
            High(eeprom), Low(fuse), High(fuse), Low(fusex),  High(fusex)};
}

BlockWords Counting(int first) {
    BlockWords words;
    for (int k = 0; k < BLOCK_WORDS; ++k) {
        words.push_back(first + k);
    }
    return words;
}

class ProgramStream : public SimulatorTest {};

TEST_F(ProgramStream, Pic16BlocksWriteProgramConfigurationAndMarkedEepromBytes) {
    BeginWith("16F84A", 0);
    sim.WriteWord(VEKSIM_EEPROM, 1, 0x77);
    EXPECT_EQ(host.Command(ProgramPayload(CMD_PROGRAM, 0, 1024, 64, 0x3FF2, 0), 2), "55");

    for (int address = 0; address < 1024; address += BLOCK_WORDS) {
        host.SendBlock(address, Counting(address == 0 ? 0xC000 : address));
        ASSERT_EQ(host.ReadHex(1), "A5") << address;
    }
    host.SendBlock(BLOCK_CONFIG, {1, 2, 3, 4, 0x3F80, 0x3F80, 0x3F80, 0x3EF2});
    EXPECT_EQ(host.ReadHex(2), "76 A5");
    // Byte 0 marked present, byte 1 not: only the first is written.
    host.SendBlock(BLOCK_EEPROM, {EEPROM_PRESENT | 0x42, 0x0055, EEPROM_PRESENT | 0x00});
    EXPECT_EQ(host.ReadHex(2), "76 A5");
    host.SendBlock(BLOCK_EEPROM + 32, {EEPROM_PRESENT | 0x10});
    EXPECT_EQ(host.ReadHex(2), "A5");
    // The second configuration block is announced like the first.
    host.SendBlock(BLOCK_CONFIG, {1, 2, 3, 4, 0x3F80, 0x3F80, 0x3F80, 0x3CF2});
    EXPECT_EQ(host.ReadHex(2), "76 A5");
    host.SendBlock(BLOCK_END, Counting(0));
    EXPECT_EQ(host.ReadHex(2), "A5");
    EXPECT_EQ(host.Command({CMD_END, 0}, 1), "55");
    EXPECT_FALSE(sim.InTransaction());

    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x0000);  // 0xC000 masked to 14 bits
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 31), 0x001F);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1023), 1023);
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 0), 1);
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 3), 4);
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 7), 0x3CF2);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 0), 0x42);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 1), 0x77);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 2), 0x00);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 32), 0x10);
}

TEST_F(ProgramStream, EachBlockIsAcknowledgedAfterTheChipHasWrittenIt) {
    BeginWith("16F84A", 0);
    EXPECT_EQ(host.Command(ProgramPayload(CMD_PROGRAM, 0, 1024, 64, 0x3FFF, 0), 1), "55");
    const unsigned long long start = sim.ElapsedMs();
    host.SendBlock(0, Counting(0));
    EXPECT_EQ(host.Queued(), 0u);
    EXPECT_EQ(host.ReadHex(1), "A5");
    EXPECT_GE(sim.ElapsedMs() - start, 32u);
    EXPECT_LT(sim.ElapsedMs() - start, TIMEOUT_NORMAL_MS);
}

TEST_F(ProgramStream, AnAddressTheChipLacksIsRefusedAndTheStreamGoesOn) {
    BeginWith("16F84A", 0);
    EXPECT_EQ(host.Command(ProgramPayload(CMD_PROGRAM, 0, 1024, 64, 0x3FFF, 0), 1), "55");
    host.SendBlock(1024, Counting(0));
    EXPECT_EQ(host.ReadHex(1), "5A");
    host.SendBlock(BLOCK_EEPROM + 64, {EEPROM_PRESENT | 1});  // past its 64 bytes
    EXPECT_EQ(host.ReadHex(2), "5A");
    host.SendBlock(BLOCK_END, {});
    EXPECT_EQ(host.ReadHex(1), "A5");
    EXPECT_EQ(host.Command({CMD_END, 0}, 1), "55");
}

TEST_F(ProgramStream, SxTakesFuseXAndFuseFromTheFramesAndRefusesPicBlocks) {
    BeginWith("SX28", 8);
    EXPECT_EQ(host.Command(ProgramPayload(CMD_PROGRAM_FUSEX, 8, 2048, 0, 0x4E9, 0x440), 3),
              "55 A5");
    EXPECT_EQ(sim.ReadWord(VEKSIM_FUSEX, 0), 0x440);
    EXPECT_EQ(sim.ReadWord(VEKSIM_FUSE, 0), 0xFFF);
    EXPECT_EQ(host.Command(ProgramPayload(CMD_PROGRAM, 8, 2048, 0, 0xF4E9, 0x440), 4), "55 76 A5");
    EXPECT_EQ(sim.ReadWord(VEKSIM_FUSE, 0), 0x4E9);

    for (int address = 0; address < 2048; address += BLOCK_WORDS) {
        host.SendBlock(address, Counting(0x3F00 + address / BLOCK_WORDS));
        ASSERT_EQ(host.ReadHex(1), "A5") << address;
    }
    host.SendBlock(BLOCK_CONFIG, {});
    EXPECT_EQ(host.ReadHex(2), "5A");
    host.SendBlock(BLOCK_END, {});
    EXPECT_EQ(host.ReadHex(1), "A5");
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0xF00);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 2047), (0x3F00 + 63 + 31) & 0xFFF);
}

TEST_F(ProgramStream, AFuseResultOfFailLeavesTheFuseUnwritten) {
    BeginWith("SX48", 9);
    sim.FaultReply(CMD_PROGRAM, 0, 2, VEKSIM_REPLACE, REPLY_FAIL);
    EXPECT_EQ(host.Command(ProgramPayload(CMD_PROGRAM, 9, 4096, 0, 0x4E9, 0x440), 4), "55 76 5A");
    EXPECT_EQ(sim.ReadWord(VEKSIM_FUSE, 0), 0xFFF);
}

}  // namespace
}  // namespace vek::test
