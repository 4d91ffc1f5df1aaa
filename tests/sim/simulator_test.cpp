// The simulated programmer as the host meets it through the D2XX functions it exports. What
// the link costs on the virtual clock: a frame per write, the USB chip's packets and latency
// timer, read time-outs, and the counters that tell the link's time from the board's. Opening
// the board, what a handle allows, unplugging, and read faults. Then the board: reply faults,
// also armed from the environment, blocks a chip lacks, the read stream, and the chip's memory
// kept in the VEKSIM_STATE file between runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "environment.h"
#include "link/d2xx.h"
#include "link/protocol.h"
#include "sim_control.h"
#include "vek_sim.h"
#include "wire_text.h"

namespace vek::test {
namespace {

template <typename Function>
Function Exported(const char* name) {
    return reinterpret_cast<Function>(SimControl::Get().Symbol(name));
}

class SimHost {
  public:
    FT_STATUS Open() {
        char description[] = "VEK Flash";
        return openEx(description, FT_OPEN_BY_DESCRIPTION, &handle);
    }
    FT_STATUS Write(std::vector<std::uint8_t> bytes) {
        D2xxDword written = 0;
        return write(handle, bytes.data(), static_cast<D2xxDword>(bytes.size()), &written);
    }
    // What a read of count bytes delivers under the time-out in force.
    std::vector<std::uint8_t> Read(std::size_t count) {
        std::vector<std::uint8_t> bytes(count);
        D2xxDword received = 0;
        EXPECT_EQ(read(handle, bytes.data(), static_cast<D2xxDword>(count), &received), FT_OK);
        bytes.resize(received);
        return bytes;
    }
    std::string ReadHex(std::size_t count) { return Hex(Read(count)); }
    void SetTimeout(D2xxDword milliseconds) {
        EXPECT_EQ(setTimeouts(handle, milliseconds, milliseconds), FT_OK);
    }
    D2xxDword Queued() {
        D2xxDword count = 0;
        EXPECT_EQ(getQueueStatus(handle, &count), FT_OK);
        return count;
    }

    // Sends one frame and returns the answer bytes that came within the time-out.
    std::string Command(const std::vector<std::uint8_t>& payload, std::size_t answerBytes) {
        EXPECT_EQ(Write(FrameBytes(payload)), FT_OK);
        return ReadHex(answerBytes);
    }
    // A programming block as the host sends it: 33 words of two bytes, each its own write.
    void SendBlock(int address, const std::vector<int>& words) {
        EXPECT_EQ(Write({Low(address), High(address)}), FT_OK);
        for (int k = 0; k < BLOCK_WORDS; ++k) {
            const int word = k < static_cast<int>(words.size()) ? words[k] : 0;
            EXPECT_EQ(Write({Low(word), High(word)}), FT_OK);
        }
    }

    FT_HANDLE handle = nullptr;
    FT_WriteFn write = Exported<FT_WriteFn>("FT_Write");
    FT_ReadFn read = Exported<FT_ReadFn>("FT_Read");
    FT_OpenFn open = Exported<FT_OpenFn>("FT_Open");
    FT_OpenExFn openEx = Exported<FT_OpenExFn>("FT_OpenEx");
    FT_ListDevicesFn listDevices = Exported<FT_ListDevicesFn>("FT_ListDevices");
    FT_CloseFn close = Exported<FT_CloseFn>("FT_Close");
    FT_ResetDeviceFn resetDevice = Exported<FT_ResetDeviceFn>("FT_ResetDevice");
    FT_PurgeFn purge = Exported<FT_PurgeFn>("FT_Purge");
    FT_SetTimeoutsFn setTimeouts = Exported<FT_SetTimeoutsFn>("FT_SetTimeouts");
    FT_GetQueueStatusFn getQueueStatus = Exported<FT_GetQueueStatusFn>("FT_GetQueueStatus");
    FT_SetLatencyTimerFn setLatencyTimer = Exported<FT_SetLatencyTimerFn>("FT_SetLatencyTimer");
};

// A fresh board with the programmer open and 1000 ms time-outs, logs empty. The clock starts
// at 0 ms with the open, so the latency timer runs from 0.
class SimulatorTest : public ::testing::Test {
  protected:
    void SetUp() override { Restart(); }
    void Restart() {
        sim.Reset();
        ASSERT_EQ(host.Open(), FT_OK);
        host.SetTimeout(TIMEOUT_NORMAL_MS);
        sim.ClearLogs();
    }
    // Puts the chip in the socket and opens a transaction for it.
    void BeginWith(const std::string& chip, std::uint8_t index) {
        ASSERT_TRUE(sim.SelectChip(chip));
        ASSERT_EQ(host.Command({CMD_BEGIN, index}, 2), "55 76");
    }

    SimControl& sim = SimControl::Get();
    SimHost host;
};

class UsbLink : public SimulatorTest {};

TEST_F(UsbLink, EveryWriteTakesOneFrameWhateverItsLength) {
    for (std::size_t length : {1u, 2u, 66u}) {
        const unsigned long long before = sim.ElapsedMs();
        ASSERT_EQ(host.Write(std::vector<std::uint8_t>(length, 0x00)), FT_OK);
        EXPECT_EQ(sim.ElapsedMs() - before, 1u) << length;
    }
}

struct LatencyCase {
    std::uint8_t latency;
    FT_STATUS status;
    unsigned long long firstAnswer;  // after the open
    unsigned long long secondAnswer;
};

TEST_F(UsbLink, AOneByteReplyWaitsForTheLatencyTimerOfTwoTo255MsThatEveryOpenSetsTo16) {
    // The write ends 1 ms after the open and the board answers at 2 ms; the byte leaves the
    // USB chip at the first expiry after that, and the next exchange waits a whole period.
    const LatencyCase cases[] = {{2, FT_OK, 2, 4},    {0, FT_INVALID_PARAMETER, 16, 32},
                                 {5, FT_OK, 5, 10},   {1, FT_INVALID_PARAMETER, 16, 32},
                                 {16, FT_OK, 16, 32}, {255, FT_OK, 255, 510}};
    for (const LatencyCase& latencyCase : cases) {
        SCOPED_TRACE(int{latencyCase.latency});
        ASSERT_EQ(host.close(host.handle), FT_OK);
        ASSERT_EQ(host.Open(), FT_OK);
        const unsigned long long opened = sim.ElapsedMs();
        EXPECT_EQ(host.setLatencyTimer(host.handle, latencyCase.latency), latencyCase.status);
        EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "55");
        EXPECT_EQ(sim.ElapsedMs() - opened, latencyCase.firstAnswer);
        EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "55");
        EXPECT_EQ(sim.ElapsedMs() - opened, latencyCase.secondAnswer);
    }
}

struct PacketCase {
    int strayBytes;  // sent by the board together with its acknowledgement
    std::size_t wanted;
    unsigned long long arrival;
};

TEST_F(UsbLink, SixtyTwoBytesGoAtOnceAndTheRestWaitsForTheTimer) {
    const PacketCase cases[] = {{60, 61, 16}, {61, 62, 2}, {63, 62, 2}, {63, 64, 18}};
    for (const PacketCase& packetCase : cases) {
        Restart();
        sim.FaultReply(CMD_TEST, 0, 0, VEKSIM_APPEND, packetCase.strayBytes);
        ASSERT_EQ(host.Write(FrameBytes({CMD_TEST, 0xC9, 0x01, 0xFF})), FT_OK);
        EXPECT_EQ(host.Read(packetCase.wanted).size(), packetCase.wanted);
        EXPECT_EQ(sim.ElapsedMs(), packetCase.arrival)
            << packetCase.strayBytes << " " << packetCase.wanted;
    }
}

TEST_F(UsbLink, AReadWaitsForMissingBytesOnlyAsLongAsItsTimeOut) {
    ASSERT_EQ(host.Write(FrameBytes({CMD_BEGIN, 0})), FT_OK);
    EXPECT_EQ(host.Queued(), 0u);  // nothing has arrived yet
    EXPECT_EQ(host.ReadHex(2), "55 76");
    EXPECT_EQ(sim.ElapsedMs(), 16u);
    EXPECT_EQ(host.ReadHex(1), "");
    EXPECT_EQ(sim.ElapsedMs(), 1016u);
    host.SetTimeout(TIMEOUT_LEFTOVER_MS);
    EXPECT_EQ(host.ReadHex(100), "");
    EXPECT_EQ(sim.ElapsedMs(), 1066u);
}

// "writeCalls readCalls boardBusyMs elapsedMs"
std::string Counted(const SimControl::Counters& counters) {
    return std::to_string(counters.writeCalls) + " " + std::to_string(counters.readCalls) + " " +
           std::to_string(counters.boardBusyMs) + " " + std::to_string(counters.elapsedMs);
}

TEST_F(UsbLink, CountersTellTheBoardsWorkFromTheLinksTime) {
    BeginWith("16F84A", 0);  // its answer arrives at 16 ms
    ASSERT_EQ(host.Command({CMD_PROGRAM, 0, 0x00, 0x04, 0x40, 0x00, 0xFF, 0x3F, 0, 0}, 1), "55");
    sim.ResetCounters();
    // Word by word: 33 frames, 64 ms of writing, then the acknowledgement waits for the timer.
    host.SendBlock(0, {});
    EXPECT_EQ(host.ReadHex(1), "A5");
    EXPECT_EQ(Counted(sim.GetCounters()), "33 1 64 112");

    // One write and a 2 ms latency timer.
    ASSERT_EQ(host.setLatencyTimer(host.handle, 2), FT_OK);
    sim.ResetCounters();
    std::vector<std::uint8_t> block(66, 0x00);
    block[0] = 0x20;
    ASSERT_EQ(host.Write(block), FT_OK);
    EXPECT_EQ(host.ReadHex(1), "A5");
    EXPECT_EQ(Counted(sim.GetCounters()), "1 1 64 66");

    sim.Reset();
    EXPECT_EQ(Counted(sim.GetCounters()), "0 0 0 0");
}

class D2xx : public SimulatorTest {
  protected:
    // Write, Read, Purge, SetTimeouts, GetQueueStatus, SetLatencyTimer, ResetDevice, Close.
    std::vector<FT_STATUS> EveryHandleCall(FT_HANDLE handle) {
        std::uint8_t byte = 0x01;
        D2xxDword count = 0;
        return {host.write(handle, &byte, 1, &count),
                host.read(handle, &byte, 1, &count),
                host.purge(handle, FT_PURGE_RX),
                host.setTimeouts(handle, 10, 10),
                host.getQueueStatus(handle, &count),
                host.setLatencyTimer(handle, 2),
                host.resetDevice(handle),
                host.close(handle)};
    }
};

TEST_F(D2xx, AnOpenBoardIsInUseAndAClosedStaleOrNullHandleIsRefusedAndDoesNothing) {
    FT_HANDLE second = nullptr;
    char description[] = "VEK Flash";
    EXPECT_EQ(host.openEx(description, FT_OPEN_BY_DESCRIPTION, &second), FT_DEVICE_NOT_OPENED);
    EXPECT_NE(host.open(0, &second), FT_OK);
    EXPECT_EQ(sim.CallLog().back(), "FT_Open 0 -> 3");  // never the way in

    const std::vector<FT_STATUS> refused(8, FT_INVALID_HANDLE);
    const FT_HANDLE first = host.handle;
    ASSERT_EQ(host.close(first), FT_OK);
    EXPECT_EQ(EveryHandleCall(first), refused);
    ASSERT_EQ(host.Open(), FT_OK);
    EXPECT_NE(host.handle, first);
    EXPECT_EQ(EveryHandleCall(first), refused);
    EXPECT_EQ(EveryHandleCall(nullptr), refused);
    EXPECT_TRUE(sim.HostBytes().empty());
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "55");  // still open
}

TEST_F(D2xx, AnUnpluggedBoardFailsEveryCallUntilItIsBackAndStartsAfresh) {
    sim.UnplugAfterCalls(0);
    sim.UnplugAfterCalls(-1);  // cancelled
    ASSERT_EQ(host.Command({CMD_ALLOW_POWER, 1}, 1), "55");
    ASSERT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
    sim.UnplugAfterCalls(1);
    EXPECT_EQ(host.Write(FrameBytes({CMD_TEST, 0xC9, 0x01, 0xFF})), FT_OK);
    EXPECT_EQ(EveryHandleCall(host.handle), std::vector<FT_STATUS>(8, FT_IO_ERROR));
    D2xxDword count = 7;
    EXPECT_EQ(host.listDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(host.Open(), FT_DEVICE_NOT_FOUND);

    sim.SetAttached(true);
    ASSERT_EQ(host.Open(), FT_OK);
    EXPECT_EQ(sim.PowerState(), 0);
    EXPECT_FALSE(sim.InTransaction());
    host.SetTimeout(TIMEOUT_NORMAL_MS);
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 2), "55");
}

// The fault matrix arms these on every read; a fault that did nothing would pass it unseen.
TEST_F(D2xx, TheChosenReadLosesOrChangesItsBytesWhateverTheBoardSent) {
    sim.FailCall("FT_Read", 0, FT_IO_ERROR);  // failed reads count too
    sim.FaultRead(2, 0, VEKSIM_REPLACE, 0x5A);
    sim.FaultRead(3, 0, VEKSIM_DROP);
    sim.FaultRead(4, 1, VEKSIM_REPLACE, 0x42);
    sim.FaultRead(5, 1, VEKSIM_DROP);
    ASSERT_EQ(host.Write(FrameBytes({CMD_BEGIN, 0})), FT_OK);
    std::uint8_t bytes[2];
    D2xxDword received = 9;
    EXPECT_EQ(host.read(host.handle, bytes, 2, &received), FT_IO_ERROR);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(host.ReadHex(2), "55 76");  // the failed read took nothing
    EXPECT_EQ(host.ReadHex(4), "5A");     // where nothing came
    const unsigned long long before = sim.ElapsedMs();
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "");
    EXPECT_GE(sim.ElapsedMs(), before + TIMEOUT_NORMAL_MS);
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 42");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
}

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

// The scripted socket of VEKSIM_SOCKET: chips and empty intervals in turn, the script's time
// running on the host's ID reads.
volatile std::sig_atomic_t interrupted = 0;

class Socket : public SimulatorTest {
  protected:
    void TearDown() override { RemoveEnvironment("VEKSIM_SOCKET"); }
    void Script(const std::string& script) {
        SetEnvironment("VEKSIM_SOCKET", script);
        Restart();
    }
    // One poll of a waiting host: the ID read in a transaction of its own.
    std::string Poll() {
        EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
        const std::string id = host.Command({CMD_READ_ID, 0}, 3).substr(3);
        EXPECT_EQ(host.Command({CMD_END, 0}, 1), "55");
        return id;
    }
    // Anything but an ID read: a bulk erase, its answer taken whatever the chip.
    void Work() {
        EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
        host.Command({CMD_BULK_ERASE, 0}, 4);
        EXPECT_EQ(host.Command({CMD_END, 0}, 1), "55");
    }
    // "poll ID" steps check what a poll reads, "work" steps work on the chip.
    void Expect(const std::vector<std::string>& steps) {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            SCOPED_TRACE("step " + std::to_string(i) + ": " + steps[i]);
            if (steps[i] == "work") {
                Work();
            } else {
                EXPECT_EQ(Poll(), steps[i]);
            }
        }
    }
};

TEST_F(Socket, ChipsStayUntilWorkedOnAndPolledTwiceEmptiesLastTheirPolls) {
    const std::string F84A = "60 05", F877 = "A0 09", ZEROS = "00 00", ONES = "FF FF";
    Script("empty:1s,16F84A,empty:501ms:ones,16F877,SX28");
    Expect({ZEROS, ZEROS, F84A, F84A, F84A,  // a chip nobody works on stays
            "work", F84A, ONES, ONES,        // 501 ms take two polls
            F877, "work", "work", F877, "CE 0F", "work", "CE 0F", ZEROS, ZEROS});
}

TEST_F(Socket, AFailVerifyChipKeepsWordZeroErased) {
    Script("16F84A:fail-verify,16F84A");
    for (const int address : {0, 1}) {
        ASSERT_TRUE(sim.WriteWord(VEKSIM_PROGRAM, address, 0x1234));
    }
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1), 0x1234);
    Expect({"work", "60 05", "60 05"});  // the next chip programs as it should
    ASSERT_TRUE(sim.WriteWord(VEKSIM_PROGRAM, 0, 0x1234));
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x1234);
}

TEST_F(Socket, InterruptSignalsTheProcessWhenReached) {
    const auto previous = std::signal(SIGINT, [](int) { interrupted = 1; });
    Script("empty:500ms,interrupt");
    EXPECT_EQ(Poll(), "00 00");
    EXPECT_EQ(interrupted, 0);
    EXPECT_EQ(Poll(), "00 00");
    EXPECT_EQ(interrupted, 1);
    std::signal(SIGINT, previous);
}

TEST_F(Socket, AScriptItCannotReadLeavesTheSocketUnscripted) {
    for (const char* script : {"16F99", "empty:0s", "empty:1s:2s", "empty:fail-verify",
                               "16F84A:ones", "interrupt:1s", "empty:1h", "16F877,"}) {
        SCOPED_TRACE(script);
        Script(script);
        Expect({"60 05", "work", "60 05", "60 05", "60 05"});
    }
}

}  // namespace
}  // namespace vek::test
