// The read stream: header, acknowledged blocks, the PIC16's extra byte and resends.
#include "sim_host.h"

namespace vek::test {
namespace {

class ReadStream : public SimulatorTest {
  protected:
    std::string ReadCommand(std::uint8_t index, int words, int eeprom) {
        return host.Command({CMD_READ, index, Low(words), High(words), Low(eeprom), High(eeprom)},
                            7);
    }
    void Acknowledge() { ASSERT_EQ(host.Write({HOST_ACK}), FT_OK); }
    // The 64 bytes the board should send for program block i when word w holds w.
    static std::string CountingBlock(int block) {
        std::vector<std::uint8_t> bytes;
        for (int word = block * 32; word < block * 32 + 32; ++word) {
            bytes.push_back(Low(word));
            bytes.push_back(High(word));
        }
        return Hex(bytes);
    }
    void FillProgramWithAddresses(int words) {
        for (int word = 0; word < words; ++word) {
            sim.WriteWord(VEKSIM_PROGRAM, word, word);
        }
    }
};

TEST_F(ReadStream, Pic16SendsHeaderBlocksThenOneExtraByteBeforeItsEeprom) {
    BeginWith("16F84A", 0);
    FillProgramWithAddresses(1024);
    sim.WriteWord(VEKSIM_CONFIG, 7, 0x3D3A);
    for (int location = 0; location < 64; ++location) {
        sim.WriteWord(VEKSIM_EEPROM, location, 0x80 + location);
    }
    EXPECT_EQ(ReadCommand(0, 1024, 64).substr(0, 15), "55 76 3A 3D 00 ");
    for (int block = 0; block < 32; ++block) {
        // The next block waits for the acknowledgement of this one.
        ASSERT_EQ(host.ReadHex(65), CountingBlock(block)) << block;
        Acknowledge();
    }
    EXPECT_EQ(host.Read(1).size(), 1u);
    const std::vector<std::uint8_t> eeprom = host.Read(64);
    ASSERT_EQ(eeprom.size(), 64u);
    EXPECT_EQ(eeprom[0], 0x80);
    EXPECT_EQ(eeprom[63], 0x80 + 63);
    Acknowledge();
    EXPECT_EQ(host.ReadHex(1), "");
    EXPECT_EQ(host.Command({CMD_END, 0}, 1), "55");
    EXPECT_FALSE(sim.InTransaction());
}

TEST_F(ReadStream, SxHeaderCarriesFuseAndFuseXAndNoByteFollowsTheLastBlock) {
    BeginWith("SX28", 8);
    FillProgramWithAddresses(2048);
    sim.WriteWord(VEKSIM_FUSE, 0, 0x4E9);
    sim.WriteWord(VEKSIM_FUSEX, 0, 0x440);
    const std::string header = ReadCommand(8, 2048, 0);
    EXPECT_EQ(header.substr(0, 18), "55 76 E9 04 40 04 ");
    for (int block = 0; block < 64; ++block) {
        ASSERT_EQ(host.ReadHex(64), CountingBlock(block)) << block;
        Acknowledge();
    }
    EXPECT_EQ(host.ReadHex(1), "");
    EXPECT_EQ(host.Command({CMD_END, 8}, 1), "55");
}

TEST_F(ReadStream, AShortBlockIsSentWholeOnResend) {
    BeginWith("16F84A", 0);
    FillProgramWithAddresses(1024);
    sim.ShortReadBlock(1, 1, 10);
    ReadCommand(0, 1024, 64);
    ASSERT_EQ(host.ReadHex(64), CountingBlock(0));
    Acknowledge();
    EXPECT_EQ(host.Read(64).size(), 10u);
    ASSERT_EQ(host.Write({HOST_RESEND}), FT_OK);
    EXPECT_EQ(host.ReadHex(64), CountingBlock(1));
    Acknowledge();
    EXPECT_EQ(host.ReadHex(64), CountingBlock(2));
}

TEST_F(ReadStream, ABlockShortTwiceComesWholeTheThirdTime) {
    BeginWith("16F84A", 0);
    FillProgramWithAddresses(1024);
    sim.ShortReadBlock(0, 2, 0);
    ReadCommand(0, 1024, 64);
    EXPECT_EQ(host.Read(64).size(), 0u);
    ASSERT_EQ(host.Write({HOST_RESEND}), FT_OK);
    EXPECT_EQ(host.Read(64).size(), 0u);
    ASSERT_EQ(host.Write({HOST_RESEND}), FT_OK);
    EXPECT_EQ(host.ReadHex(64), CountingBlock(0));
}

TEST_F(ReadStream, AShortEepromBlockAndTheFaultsAreForTheNextStreamOnly) {
    BeginWith("16F84A", 0);
    sim.ShortEepromBlock(0, 20);
    ReadCommand(0, 32, 64);
    EXPECT_EQ(host.Read(64).size(), 64u);
    Acknowledge();
    EXPECT_EQ(host.Read(1).size(), 1u);
    EXPECT_EQ(host.Read(64).size(), 20u);

    ASSERT_EQ(host.Command({CMD_END, 0}, 1), "55");
    ASSERT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
    ReadCommand(0, 32, 64);
    EXPECT_EQ(host.Read(64).size(), 64u);
    Acknowledge();
    EXPECT_EQ(host.Read(65).size(), 65u);
}

TEST_F(ReadStream, AnyOtherHostByteEndsTheStreamAndStartsTheNextFrame) {
    BeginWith("16F84A", 0);
    ReadCommand(0, 1024, 64);
    EXPECT_EQ(host.Read(64).size(), 64u);
    EXPECT_EQ(host.Command({CMD_END, 0}, 2), "55");
    EXPECT_FALSE(sim.InTransaction());
}

}  // namespace
}  // namespace vek::test
