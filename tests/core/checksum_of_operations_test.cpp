// The checksum as the operations give it: of what Program would write and has written, and of
// what Read takes from the chip, through the simulated programmer.
#include "sim_fixture.h"

namespace vek::test {
namespace {

using ChecksumOfOperations = SimTest;

// Worked by hand: FC00 - 3FFF + 2805 - 3FFF + 3000 + 3FF2 = 13F9; the IDs and the EEPROM
// bytes count for nothing while the code is not protected.
TEST_F(ChecksumOfOperations, ProgramWritesWhatItsChecksumSaidAndReadFindsTheSame) {
    Open(0);
    UseFile(folder.Write("test.hex",
                         ":04000000052800309F\n:0440000001000200B9\n"
                         ":044200001100220087\n:00000001FF\n"),
            "3FF2", "0");
    const ProgramRequest request{Target(), file, WordsInFields(fields)};
    EXPECT_EQ(ProgramChecksum(request), 0x13F9);
    EXPECT_EQ(Program().checksum, 0x13F9);
    ASSERT_TRUE(Read().Succeeded());
    EXPECT_EQ(ChecksumOfRead(*last.readBack), 0x13F9);
}

// Without a word, or with a file Program refuses, there is nothing to sum.
TEST_F(ChecksumOfOperations, ProgramChecksumNeedsAUsableFileAndTheWords) {
    const std::string good = folder.Write("good.hex", ":04000000052800309F\n");
    const std::string damaged = folder.Write("damaged.hex", ":04000000052800309E\n");
    struct Case {
        const char* what;
        std::string_view device;
        std::string path;
        GivenWords words;
        bool known;
    } const cases[] = {
        {"PIC16", "16F84A", good, {0x3FFF, std::nullopt}, true},
        {"no configuration word", "16F84A", good, {std::nullopt, std::nullopt}, false},
        {"SX without FUSEX", "SX28", good, {0xF9B, std::nullopt}, false},
        {"checksum error", "16F84A", damaged, {0x3FFF, std::nullopt}, false},
        {"no file", "16F84A", "", {0x3FFF, std::nullopt}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramRequest request{
            *DeviceNamed(c.device), {c.path, c.path.empty() ? "" : "t.hex"}, c.words};
        EXPECT_EQ(ProgramChecksum(request).has_value(), c.known);
    }
}

// Blank chips by hand: 16F84A FC00 + 3FFF = 3BFF, SX28 F800 + F9B + FFE = 1799. A chip whose
// code protection hides words has no checksum from a Read: its ID locations are not read.
TEST_F(ChecksumOfOperations, ReadGivesTheChipsChecksumUnlessItsCodeIsProtected) {
    struct Case {
        int row;
        std::vector<std::pair<int, int>> words;  // space, value at index 0 or 7
        std::optional<std::uint16_t> expected;
    } const cases[] = {
        {0, {{VEKSIM_CONFIG, 0x3FFF}}, 0x3BFF},
        {8, {{VEKSIM_FUSE, 0xF9B}, {VEKSIM_FUSEX, 0xFFE}}, 0x1799},
        {0, {{VEKSIM_CONFIG, 0x000F}}, std::nullopt},
    };
    Open(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        UseTarget(c.row);
        for (const auto& [space, value] : c.words) {
            sim.WriteWord(space, space == VEKSIM_CONFIG ? 7 : 0, value);
        }
        ASSERT_TRUE(Read().Succeeded());
        EXPECT_EQ(ChecksumOfRead(*last.readBack), c.expected);
    }
}

}  // namespace
}  // namespace vek::test
