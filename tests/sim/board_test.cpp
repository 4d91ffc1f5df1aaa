// The board as the host meets it: reply faults, also armed from the environment, blocks a chip
// lacks, the read stream, and the chip's memory kept in the VEKSIM_STATE file between runs.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "environment.h"
#include "sim_host.h"

namespace vek::test {
namespace {

class Board : public SimulatorTest {
  protected:
    void ReadFrame(std::uint8_t index, int words, int eeprom) {
        host.Command({CMD_READ, index, Low(words), High(words), Low(eeprom), High(eeprom)}, 7);
    }
    void Answer(std::uint8_t byte) { ASSERT_EQ(host.Write({byte}), FT_OK); }
    void TearDown() override {
        for (const char* name : {"VEKSIM_STATE", "VEKSIM_CHIP", "VEKSIM_FAULTS"}) {
            RemoveEnvironment(name);
        }
        std::remove(statePath.c_str());
    }
    void ResetWith(const char* name, const std::string& value) {
        SetEnvironment(name, value);
        sim.Reset();
    }

    std::string statePath = ::testing::TempDir() + "veksim_" + std::to_string(getpid()) + ".txt";
};

TEST_F(Board, ReplyFaultsActOnTheChosenAnswerOnly) {
    sim.FaultReply(CMD_BEGIN, 1, 1, VEKSIM_DROP);
    sim.FaultReply(CMD_BEGIN, 2, 1, VEKSIM_REPLACE, 0x00);
    sim.FaultReply(CMD_BEGIN, 3, 0, VEKSIM_APPEND, 2);
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 00");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 5), "55 00 00 76");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");

    // A delayed byte misses the time-out but still comes.
    sim.FaultReply(CMD_TEST, 0, 0, VEKSIM_DELAY, 1500);
    const unsigned long long start = sim.ElapsedMs();
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "");
    EXPECT_EQ(host.ReadHex(1), "55");
    EXPECT_GE(sim.ElapsedMs() - start, 1500u);
    EXPECT_LT(sim.ElapsedMs() - start, 2000u);

    // A program in a process of its own gets them through the environment.
    SetEnvironment("VEKSIM_FAULTS", "reply:0x53,1,1,1,0x00;reply:83,2,1,0,0");
    Restart();
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 00");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55");
}

struct Lacking {
    const char* chip;
    std::vector<std::uint8_t> program;
    const char* programAnswer;
    int address;
};

TEST_F(Board, ABlockTheChipLacksIsRefusedAndTheStreamGoesOn) {
    const std::vector<std::uint8_t> pic{CMD_PROGRAM, 0, 0x00, 0x04, 0x40, 0x00, 0xFF, 0x3F, 0, 0};
    const Lacking cases[] = {
        {"16F84A", pic, "55", 1024},
        {"16F84A", pic, "55", 0x2100 + 64},  // past its 64 EEPROM bytes
        {"SX28", {CMD_PROGRAM, 8, 0x00, 0x08, 0, 0, 0xE9, 0x04, 0x40, 0x04}, "55 76 A5", 0x2000}};
    for (const Lacking& lacking : cases) {
        SCOPED_TRACE(lacking.address);
        BeginWith(lacking.chip, lacking.program[1]);
        EXPECT_EQ(host.Command(lacking.program, 4), lacking.programAnswer);
        host.SendBlock(lacking.address, {0x0101});  // an EEPROM byte 01 marked present
        EXPECT_EQ(host.ReadHex(2), "5A");
        host.SendBlock(0xF000, {});
        EXPECT_EQ(host.ReadHex(1), "A5");
        EXPECT_EQ(host.Command({CMD_END, lacking.program[1]}, 1), "55");
    }
}

// The answer to CMD_READ runs through its whole stream: 7 bytes, then every byte in the order
// sent, resends and the PIC16's extra byte before its EEPROM included.
TEST_F(Board, ReadBlocksWaitForTheirAcknowledgementAndShortOnesComeWholeOnResend) {
    BeginWith("16F84A", 0);
    sim.WriteWord(VEKSIM_EEPROM, 0, 0x80);
    sim.ShortReadBlock(0, 2, 10);
    sim.ShortEepromBlock(0, 20);
    sim.FaultReply(CMD_READ, 0, 7 + 10 + 10 + 64, VEKSIM_REPLACE, 0x42);
    ReadFrame(0, 32, 64);
    EXPECT_EQ(host.Read(64).size(), 10u);
    Answer(HOST_RESEND);
    EXPECT_EQ(host.Read(64).size(), 10u);
    Answer(HOST_RESEND);
    EXPECT_EQ(host.Read(65).size(), 64u);
    Answer(HOST_ACK);
    EXPECT_EQ(host.ReadHex(3), "42 80 FF");
    EXPECT_EQ(host.Read(64).size(), 18u);
    // Any byte but an acknowledgement or a resend ends the stream and starts a frame.
    EXPECT_EQ(host.Command({CMD_END, 0}, 2), "55");
    EXPECT_FALSE(sim.InTransaction());

    // The short blocks were for that stream only, and an SX sends no extra byte.
    for (const std::uint8_t index : {0, 8}) {
        BeginWith(index == 0 ? "16F84A" : "SX28", index);
        ReadFrame(index, 32, index == 0 ? 64 : 0);
        EXPECT_EQ(host.Read(65).size(), 64u);
        Answer(HOST_ACK);
        EXPECT_EQ(host.Read(66).size(), index == 0 ? 65u : 0u);
        Answer(HOST_ACK);
        EXPECT_EQ(host.ReadHex(1), "");
    }
}

TEST_F(Board, TheNamedChipKeepsEveryChangeInTheStateFileMeantForIt) {
    ResetWith("VEKSIM_CHIP", "16F999");  // unknown: a 16F84A
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1023), 0x3FFF);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1024), -1);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 63), 0xFF);

    std::remove(statePath.c_str());
    SetEnvironment("VEKSIM_STATE", statePath);
    ResetWith("VEKSIM_CHIP", "16F877");
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 8191), 0x3FFF);  // the named chip, blank
    sim.WriteWord(VEKSIM_PROGRAM, 8191, 0x1234);
    sim.WriteWord(VEKSIM_EEPROM, 255, 0x5A);
    sim.Reset();
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 8191), 0x1234);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 255), 0x5A);

    // A file for another chip, or a malformed one, means a blank chip.
    ResetWith("VEKSIM_CHIP", "16F876");
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 8191), 0x3FFF);
    for (const char* text : {"chip 16F876\nprogram 0 12 zz\n", "chip 16F876\nprogram 3FFF 1\n",
                             "chip 16F876\nnowhere 0 1\n", "chip 16F876\nprogram 0 -1\n",
                             "chip 16F876\nprogram 0 1FFFF\n", "", "chip\n"}) {
        std::ofstream(statePath, std::ios::trunc) << text;
        sim.Reset();
        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF) << text;
    }
    std::ofstream(statePath, std::ios::trunc) << "chip 16F876\nprogram 0 12 34\n";
    sim.Reset();
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1), 0x34);
}

}  // namespace
}  // namespace vek::test
