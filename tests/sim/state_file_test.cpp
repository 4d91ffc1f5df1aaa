// The chip's memory kept in the VEKSIM_STATE file between runs.
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "sim_host.h"

namespace vek::test {
namespace {

class StateFile : public ::testing::Test {
  protected:
    StateFile() {
        path = ::testing::TempDir() + "veksim_state_" + std::to_string(getpid()) + ".txt";
        std::remove(path.c_str());
        setenv("VEKSIM_STATE", path.c_str(), 1);
        setenv("VEKSIM_CHIP", "16F877", 1);
        sim.Reset();
    }
    ~StateFile() override {
        unsetenv("VEKSIM_STATE");
        unsetenv("VEKSIM_CHIP");
        std::remove(path.c_str());
        sim.Reset();
    }
    void WriteFile(const std::string& text) {
        std::ofstream file(path, std::ios::trunc);
        file << text;
    }

    std::string path;
    SimControl& sim = SimControl::Get();
};

TEST_F(StateFile, EveryChangeIsSavedAndTheNextStartLoadsIt) {
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 8191), 0x3FFF);  // the named chip, blank
    sim.WriteWord(VEKSIM_PROGRAM, 8191, 0x1234);
    sim.WriteWord(VEKSIM_EEPROM, 255, 0x5A);

    SimHost host;
    ASSERT_EQ(host.Open(), FT_OK);
    host.SetTimeout(TIMEOUT_NORMAL_MS);
    ASSERT_EQ(host.Command({CMD_BEGIN, 7}, 2), "55 76");
    ASSERT_EQ(host.Command({CMD_PROGRAM, 7, 0x00, 0x20, 0, 1, 0xFF, 0x3F, 0, 0}, 1), "55");
    host.SendBlock(BLOCK_CONFIG, {0, 0, 0, 0, 0, 0, 0, 0x3D3A});
    ASSERT_EQ(host.ReadHex(2), "76 A5");

    sim.Reset();
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 8191), 0x1234);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 255), 0x5A);
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 7), 0x3D3A);
}

TEST_F(StateFile, AFileForAnotherChipOrAMalformedOneMeansABlankChip) {
    sim.WriteWord(VEKSIM_PROGRAM, 0, 0x1234);
    setenv("VEKSIM_CHIP", "16F876", 1);
    sim.Reset();
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF);

    for (const char* text : {"chip 16F876\nprogram 0 12 zz\n", "chip 16F876\nprogram 3FFF 1\n",
                             "chip 16F876\nnowhere 0 1\n", "chip 16F876\nprogram 0 -1\n",
                             "chip 16F876\nprogram 0 1FFFF\n", "", "chip\n"}) {
        WriteFile(text);
        sim.Reset();
        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF) << text;
    }
    WriteFile("chip 16F876\nprogram 0 12 34\n");
    sim.Reset();
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1), 0x34);
}

TEST_F(StateFile, AnUnknownChipNameFallsBackToThe16F84A) {
    setenv("VEKSIM_CHIP", "16F999", 1);
    sim.Reset();
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1023), 0x3FFF);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1024), -1);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 63), 0xFF);
}

}  // namespace
}  // namespace vek::test
