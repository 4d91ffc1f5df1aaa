// Program that keeps the chip's data EEPROM, and Program followed by Verify, through the
// simulated programmer.
#include "sim_fixture.h"

namespace vek::test {
namespace {

// Two program words, a configuration word and the EEPROM bytes 11 and 22 at locations 0 and 1.
const std::string PIC_FILE =
    ":04000000052800309F\n:02400E00F23F7F\n:044200001100220087\n:00000001FF\n";

// What the chip's EEPROM held before: location k holds the low byte of 0x40 + k.
int OldByte(int location) {
    return (0x40 + location) & 0xFF;
}

class KeepEeprom : public SimTest {
  protected:
    // The chip of `row` holding a program word (so that it is erased) and its old EEPROM.
    void Prepare(int row, int configWord) {
        if (programmer.Connected) {
            UseTarget(row);
        } else {
            Open(row);
        }
        sim.WriteWord(VEKSIM_PROGRAM, 5, 0x1234);
        sim.WriteWord(VEKSIM_CONFIG, 7, configWord);
        for (int location = 0; location < Target().eepromBytes; ++location) {
            sim.WriteWord(VEKSIM_EEPROM, location, OldByte(location));
        }
        UseFile(folder.Write("test.hex", PIC_FILE), "3FF2", "0");
        sim.ClearLogs();
        ui.messages.clear();
    }
    OperationResult ProgramWith(bool keep, bool verify, std::vector<ImageWord> overlay = {}) {
        return last = vek::Program(programmer, {Target(), file, WordsInFields(fields), true,
                                                std::move(overlay), keep, verify});
    }
    std::vector<int> ChipEeprom() {
        std::vector<int> bytes;
        for (int location = 0; location < Target().eepromBytes; ++location) {
            bytes.push_back(sim.ReadWord(VEKSIM_EEPROM, location));
        }
        return bytes;
    }
    std::vector<int> OldEeprom() {
        std::vector<int> bytes;
        for (int location = 0; location < Target().eepromBytes; ++location) {
            bytes.push_back(OldByte(location));
        }
        return bytes;
    }
};

// Across an erase, on the smallest and the largest EEPROM; without the option the file's
// bytes go in and the rest is erased.
TEST_F(KeepEeprom, TheChipsBytesGoInInPlaceOfTheFiles) {
    for (const int row : {0, 7}) {
        for (const bool keep : {false, true}) {
            SCOPED_TRACE(std::to_string(row) + (keep ? " kept" : " not kept"));
            Prepare(row, 0x3FFF);
            ASSERT_TRUE(ProgramWith(keep, false).Succeeded());
            EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x2805);
            EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 5), 0x3FFF);  // erased
            std::vector<int> expected(Target().eepromBytes, 0xFF);
            expected[0] = 0x11;
            expected[1] = 0x22;
            EXPECT_EQ(ChipEeprom(), keep ? OldEeprom() : expected);
            EXPECT_EQ(last.keptEeprom.size(),
                      keep ? static_cast<std::size_t>(Target().eepromBytes) : 0u);
            EXPECT_EQ(ui.messages.back(), "Programming complete.");
        }
    }
}

// A serial number's bytes go over the kept ones, and Verify after such a Program compares
// the EEPROM with the kept bytes, the serial number's over them.
TEST_F(KeepEeprom, ASerialNumberGoesOverTheKeptBytesAndVerifyExpectsBoth) {
    Prepare(0, 0x3FFF);
    const std::vector<ImageWord> serial = {{EEPROM_ADDR + 2, 0x1FF, 0x1AB},
                                           {EEPROM_ADDR + 3, 0x1FF, 0x1CD}};
    ASSERT_TRUE(ProgramWith(true, true, serial).Succeeded());
    std::vector<int> expected = OldEeprom();
    expected[2] = 0xAB;
    expected[3] = 0xCD;
    EXPECT_EQ(ChipEeprom(), expected);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Programming complete.\nVerify passed"});
}

// The configuration word read before the erase says whether the EEPROM reads as zeros: such a
// chip is refused, and a read that fails ends Program with the read's message. Either way
// nothing is erased.
TEST_F(KeepEeprom, AChipWhoseEepromCannotBeKeptIsRefusedBeforeTheErase) {
    struct Case {
        int row;
        int configWord;
        Outcome outcome;
        Injection fault = NOTHING;
    } const cases[] = {
        // 16F84A: code protection covers the EEPROM; one CP bit clear is enough.
        {0, 0x000F, Outcome::EepromProtected},
        {0, 0x3EFF, Outcome::EepromProtected},
        {7, 0x3EFF, Outcome::EepromProtected},  // 16F877: CPD clear
        {7, 0x3FCF, Outcome::Done},             // 16F877: program memory protected, EEPROM readable
        {0, 0x3FFF, Outcome::CommunicationFailed, [](SimControl& s) { s.ShortEepromBlock(0, 10); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.configWord);
        Prepare(c.row, c.configWord);
        c.fault(sim);
        const OperationResult result = ProgramWith(true, false);
        EXPECT_EQ(result.outcome, c.outcome);
        const bool erased = c.outcome == Outcome::Done;
        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 5), erased ? 0x3FFF : 0x1234);
        if (!erased) {
            EXPECT_EQ(ChipEeprom(), OldEeprom());
        }
        if (c.outcome == Outcome::EepromProtected) {
            EXPECT_EQ(result.messages, std::vector<std::string>{
                                           "The chip's EEPROM is protected and cannot be kept."});
            EXPECT_EQ(Count(HostHex(), Frame({0x57, Target().processorIndex})), 0);
        }
    }
}

// One final message names both results; a failed Program runs no Verify.
TEST_F(KeepEeprom, VerifyAfterProgramEndsWithOneMessageNamingBoth) {
    struct Case {
        const char* what;
        Injection fault;
        Outcome outcome;
        std::vector<std::string> messages;
    } const cases[] = {
        {"passes", NOTHING, Outcome::Done, {"Programming complete.\nVerify passed"}},
        // The first program word of the read-back (byte 7 of the CMD_READ answer) reads 0.
        {"differs",
         FaultReply(CMD_READ, 7, VEKSIM_REPLACE, 0),
         Outcome::Mismatch,
         {"Programming complete.\nProgram ROM verify failed at word 0. (expected 0x2805, read "
          "0x2800"}},
        {"read-back fails",
         [](SimControl& s) { s.ShortEepromBlock(0, 10); },
         Outcome::CommunicationFailed,
         {"Could not read from device. (128)",
          "Programming complete.\nVerify could not be completed."}},
        {"program fails",
         FaultReply(VEKSIM_ANCHOR_BLOCK | 0, 0, VEKSIM_REPLACE, 0),
         Outcome::CommunicationFailed,
         {"Bad ACK during Flash programming. (0xA5)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Prepare(0, 0x3FFF);
        c.fault(sim);
        EXPECT_EQ(ProgramWith(false, true).outcome, c.outcome);
        EXPECT_EQ(ui.messages, c.messages);
    }
}

}  // namespace
}  // namespace vek::test
