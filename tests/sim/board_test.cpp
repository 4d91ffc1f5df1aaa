// The board as the host meets it: reply faults, also armed from the environment, blocks a chip
// lacks, the read stream, and the chip's memory kept in the VEKSIM_STATE file between runs.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
        for (const char* name : {"VEKSIM_STATE", "VEKSIM_CHIP", "VEKSIM_FAULTS", "VEKSIM_BOARDS"}) {
            RemoveEnvironment(name);
        }
        std::remove(statePath.c_str());
        std::remove(secondStatePath.c_str());
    }
    void ResetWith(const char* name, const std::string& value) {
        SetEnvironment(name, value);
        sim.Reset();
    }

    std::string statePath = ::testing::TempDir() + "veksim_" + std::to_string(getpid()) + ".txt";
    std::string secondStatePath = statePath + ".second";
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
        std::ofstream(statePath, std::ios::binary | std::ios::trunc) << text;
        sim.Reset();
        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF) << text;
    }
    // A file edited by hand may end its lines in CR LF.
    for (const char* text :
         {"chip 16F876\nprogram 0 12 34\n", "chip 16F876\r\nprogram 0 12 34\r\n"}) {
        std::ofstream(statePath, std::ios::binary | std::ios::trunc) << text;
        sim.Reset();
        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1), 0x34) << text;
    }
}

#if !defined(_WIN32)  // where making a symbolic link takes a privilege
// The state file lies in a shared folder: a link planted there under the name a save would
// write through is never followed, and a save leaves nothing beside the file.
TEST_F(Board, AStateSaveWritesThroughATemporaryOfItsOwn) {
    const std::string victim = statePath + ".victim";
    std::ofstream(victim) << "keep";
    ASSERT_EQ(symlink(victim.c_str(), (statePath + ".tmp").c_str()), 0);
    SetEnvironment("VEKSIM_STATE", statePath);
    ResetWith("VEKSIM_CHIP", "16F84A");
    sim.WriteWord(VEKSIM_PROGRAM, 0, 0x1234);
    std::string kept;
    std::getline(std::ifstream(victim), kept);
    EXPECT_EQ(kept, "keep");
    sim.Reset();
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x1234);
    const std::filesystem::path folder = std::filesystem::path(statePath).parent_path();
    const std::string base = std::filesystem::path(statePath).filename().string();
    std::vector<std::string> beside;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (const std::string name = entry.path().filename().string(); name.starts_with(base)) {
            beside.push_back(name);
        }
    }
    std::sort(beside.begin(), beside.end());
    EXPECT_EQ(beside, (std::vector<std::string>{base, base + ".tmp", base + ".victim"}));
    std::remove((statePath + ".tmp").c_str());
    std::remove(victim.c_str());
}
#endif

// The serial number or description of board `index`, or the status of a failed listing.
std::string Listed(SimHost& host, std::uintptr_t index, D2xxDword which) {
    char buffer[FT_STRING_BUFFER] = "unchanged";
    const FT_STATUS status =
        host.listDevices(reinterpret_cast<void*>(index), buffer, FT_LIST_BY_INDEX | which);
    return status == FT_OK ? std::string(buffer) : "status " + std::to_string(status);
}

TEST_F(Board, SeveralBoardsAreListedAndOpenedBySerialNumberEachWithItsOwnChipAndFile) {
    ASSERT_EQ(host.close(host.handle), FT_OK);
    // An item without a known chip is named and left out.
    ResetWith("VEKSIM_BOARDS",
              "A1:16F877:" + statePath + ";B2:SX28:" + secondStatePath + ";C3:16F999;:16F84A;C4");
    D2xxDword count = 0;
    EXPECT_EQ(host.listDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(Listed(host, 0, FT_OPEN_BY_SERIAL_NUMBER), "A1");
    EXPECT_EQ(Listed(host, 1, FT_OPEN_BY_SERIAL_NUMBER), "B2");
    EXPECT_EQ(Listed(host, 1, FT_OPEN_BY_DESCRIPTION), "VEK Flash");
    EXPECT_EQ(Listed(host, 2, FT_OPEN_BY_SERIAL_NUMBER), "status 2");
    EXPECT_EQ(sim.CallLog()[1], "FT_ListDevices 40000001 0 -> 0 [A1]");

    char serialB[] = "B2";
    char unknown[] = "Z9";
    EXPECT_EQ(host.openEx(unknown, FT_OPEN_BY_SERIAL_NUMBER, &host.handle), FT_DEVICE_NOT_FOUND);
    ASSERT_EQ(host.openEx(serialB, FT_OPEN_BY_SERIAL_NUMBER, &host.handle), FT_OK);
    EXPECT_EQ(sim.CallLog().back(), "FT_OpenEx \"B2\" 1 -> 0");
    host.SetTimeout(TIMEOUT_NORMAL_MS);
    ASSERT_EQ(host.Command({CMD_BEGIN, 8}, 2), "55 76");
    EXPECT_EQ(host.Command({CMD_READ_ID, 8}, 3), "55 CE 0F");  // the SX28 answers
    // One board is open at a time.
    EXPECT_EQ(host.Open(), FT_DEVICE_NOT_OPENED);
    sim.WriteWord(VEKSIM_PROGRAM, 0, 0x0ABC);
    ASSERT_EQ(host.close(host.handle), FT_OK);

    ASSERT_EQ(host.Open(), FT_OK);  // by description: the first board
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 8191), 0x3FFF);
    sim.WriteWord(VEKSIM_PROGRAM, 8191, 0x1234);
    ASSERT_EQ(host.close(host.handle), FT_OK);
    ASSERT_EQ(host.openEx(serialB, FT_OPEN_BY_SERIAL_NUMBER, &host.handle), FT_OK);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x0ABC);  // kept while the other was open

    // Each file holds its own board's chip.
    std::ifstream first(statePath);
    std::ifstream second(secondStatePath);
    std::string firstHeader, secondHeader;
    std::getline(first, firstHeader);
    std::getline(second, secondHeader);
    EXPECT_EQ(firstHeader, "chip 16F877");
    EXPECT_EQ(secondHeader, "chip SX28");
}

}  // namespace
}  // namespace vek::test
