// Blank check and bulk erase as the board answers them.
#include "sim_host.h"

namespace vek::test {
namespace {

class BlankCheck : public SimulatorTest {
  protected:
    // The frame's acknowledgement and the byte the host ignores, then the result under the
    // given time-out; returns the result and how long it took to come.
    std::pair<std::string, unsigned long long> Check(std::uint8_t index, int words,
                                                     D2xxDword timeout) {
        EXPECT_EQ(host.Command({CMD_BLANK_CHECK, index, Low(words), High(words)}, 2), "55 76");
        host.SetTimeout(timeout);
        const unsigned long long start = sim.ElapsedMs();
        std::string result = host.ReadHex(1);
        return {result, sim.ElapsedMs() - start};
    }
};

TEST_F(BlankCheck, TheResultTakesLongerThanTheShortTimeOutOnEveryChip) {
    BeginWith("16F84A", 0);
    EXPECT_EQ(Check(0, 1024, TIMEOUT_NORMAL_MS).first, "");
    host.SetTimeout(TIMEOUT_BLANK_RESULT_MS);
    EXPECT_EQ(host.ReadHex(1), "A5");  // it was only late

    const auto [small, smallWait] = Check(0, 1024, TIMEOUT_BLANK_RESULT_MS);
    EXPECT_EQ(small, "A5");
    EXPECT_GT(smallWait, TIMEOUT_NORMAL_MS);

    BeginWith("16F877", 7);
    const auto [large, largeWait] = Check(7, 8192, TIMEOUT_BLANK_RESULT_MS);
    EXPECT_EQ(large, "A5");
    EXPECT_GT(largeWait, smallWait);
    EXPECT_LT(largeWait, TIMEOUT_BLANK_RESULT_MS / 2);
}

TEST_F(BlankCheck, OnlyTheWordsAskedForAreChecked) {
    BeginWith("16F877", 7);
    sim.WriteWord(VEKSIM_PROGRAM, 2000, 0x2805);
    EXPECT_EQ(Check(7, 1024, TIMEOUT_BLANK_RESULT_MS).first, "A5");
    EXPECT_EQ(Check(7, 8192, TIMEOUT_BLANK_RESULT_MS).first, "5A");

    BeginWith("SX28", 8);
    EXPECT_EQ(Check(8, 2048, TIMEOUT_BLANK_RESULT_MS).first, "A5");  // 0x0FFF is blank on SX
    sim.WriteWord(VEKSIM_PROGRAM, 0, 0x3FF);
    EXPECT_EQ(Check(8, 2048, TIMEOUT_BLANK_RESULT_MS).first, "5A");
}

class BulkErase : public SimulatorTest {};

TEST_F(BulkErase, Pic16AnnouncesTwiceAndClearsProgramEepromIdsAndConfiguration) {
    BeginWith("16F873", 4);
    sim.WriteWord(VEKSIM_PROGRAM, 4095, 0);
    sim.WriteWord(VEKSIM_EEPROM, 127, 0x12);
    sim.WriteWord(VEKSIM_CONFIG, 0, 0x0001);
    sim.WriteWord(VEKSIM_CONFIG, 7, 0x3D3A);
    EXPECT_EQ(host.Command({CMD_BULK_ERASE, 4}, 4), "55 76 76 A5");
    EXPECT_LT(sim.ElapsedMs(), TIMEOUT_NORMAL_MS);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 4095), 0x3FFF);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 127), 0xFF);
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 0), 0x3FFF);
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 7), 0x3FFF);
    EXPECT_TRUE(sim.InTransaction());
}

TEST_F(BulkErase, SxSendsOnlyTheCompletionAndClearsItsFuses) {
    BeginWith("SX48", 9);
    sim.WriteWord(VEKSIM_PROGRAM, 17, 0x123);
    sim.WriteWord(VEKSIM_FUSE, 0, 0x4E9);
    sim.WriteWord(VEKSIM_FUSEX, 0, 0x440);
    EXPECT_EQ(host.Command({CMD_BULK_ERASE, 9}, 2), "55 A5");
    EXPECT_EQ(host.ReadHex(1), "");
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 17), 0x0FFF);
    EXPECT_EQ(sim.ReadWord(VEKSIM_FUSE, 0), 0x0FFF);
    EXPECT_EQ(sim.ReadWord(VEKSIM_FUSEX, 0), 0x0FFF);
}

}  // namespace
}  // namespace vek::test
