// The checksum of an image, worked out by hand for each family: blank chips, images as each
// load leaves them, and every kind of PIC16 code protection. Then the checksum as the operations
// give it: of what Program would write and has written, and of what Read takes from the chip.
#include "device/checksum.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>
#include <vector>

#include "device/hex_file.h"
#include "sim_fixture.h"

namespace vek::test {
namespace {

struct ChecksumCase {
    const char* what;
    std::string_view device;
    LoadVariant variant;  // the blank values under the entries
    std::vector<std::pair<int, int>> entries;
    ConfigurationWords words;
    unsigned expected;
};

// Blank sums: 1024 x 3FFF = FC00, 2048 x 3FFF = F800, 4096 x 3FFF = F000, 7936 x 3FFF = E100,
// 8192 x 3FFF = E000; 2048 x FFF = F800, 4096 x FFF = F000 (all to 16 bits).
// A given word w stands for a blank one: it adds w - 3FFF (w - FFF on an SX).
// IDs 3F8A, 3F8B, 3F8C, 3F8D give the digits ABCD.
const std::pair<int, int> ID_ABCD[] = {
    {0x2000, 0x3F8A}, {0x2001, 0x3F8B}, {0x2002, 0x3F8C}, {0x2003, 0x3F8D}};

std::vector<std::pair<int, int>> With(std::vector<std::pair<int, int>> entries) {
    entries.insert(entries.end(), std::begin(ID_ABCD), std::end(ID_ABCD));
    return entries;
}

TEST(TargetChecksum, SumsWhatEachFamilyCounts) {
    const ChecksumCase cases[] = {
        {"blank 16F84A: FC00 + 3FFF", "16F84A", LoadVariant::Program, {}, {0x3FFF, 0}, 0x3BFF},
        {"blank 16F877: E000 + 3BFF", "16F877", LoadVariant::Program, {}, {0x3FFF, 0}, 0x1BFF},
        // FC00 - 0FFF - 17FA - 3FF7 + 0 (FFFF counts as 3FFF) + 3FF1 = D401; the listing's
        // marks, the word past program memory and the EEPROM byte count for nothing.
        {"16F84A listing",
         "16F84A",
         LoadVariant::Listing,
         {{0x0000, 0x13000},
          {0x0001, 0x12805},
          {0x0002, 0x1FFFF},
          {0x03FF, 0x10008},
          {0x0400, 0x10000},
          {0x2100, 0x100AB}},
         {0x3FF1, 0},
         0xD401},
        // Protected whole: 0001 + 1234, the program words left out.
        {"16F84A protected",
         "16F84A",
         LoadVariant::Program,
         {{0x0000, 0x3000}, {0x2000, 0x3F81}, {0x2001, 0x3F82}, {0x2002, 0x3F83}, {0x2003, 0x3F84}},
         {0x0001, 0},
         0x1235},
        // IDs the file does not give are programmed as 3F80: 0001 + 0000.
        {"16F84A protected, no IDs", "16F84A", LoadVariant::Program, {}, {0x0001, 0}, 0x0001},
        // E000 - 0FFF - 17FE - 3FF7 + 3B71 (3F71 without bit 10) = B37D.
        {"16F877 unprotected",
         "16F877",
         LoadVariant::Program,
         With({{0x0000, 0x3000}, {0x0001, 0x2801}, {0x1FFF, 0x0008}, {0x2100, 0x1AB}}),
         {0x3F71, 0},
         0xB37D},
        // CP1:CP0 01, the upper half protected: F000 - 0FFF - 1FFF + 1B51 + ABCD = 8720.
        {"16F877 3/4 (10)",
         "16F877",
         LoadVariant::Program,
         With({{0x0000, 0x3000}, {0x0FFF, 0x2000}, {0x1000, 0x1234}}),
         {0x1F51, 0},
         0x8720},
        // CP1:CP0 10, the upper 256 words protected: E100 - 0FFF - 1FFF + 2B61 + ABCD = 8830.
        {"16F877 1/2 (01)",
         "16F877",
         LoadVariant::Program,
         With({{0x0000, 0x3000}, {0x1EFF, 0x2000}, {0x1F00, 0x1234}}),
         {0x2F61, 0},
         0x8830},
        // 0B41 + ABCD = B70E.
        {"16F877 ALL (00)",
         "16F877",
         LoadVariant::Program,
         With({{0x0000, 0x3000}}),
         {0x0F41, 0},
         0xB70E},
        // The upper half of 4096 words protected: F800 - 0FFF - 1FFF + 1B51 + ABCD = 8F20.
        {"16F873 3/4 (10)",
         "16F873",
         LoadVariant::Program,
         With({{0x0000, 0x3000}, {0x07FF, 0x2000}, {0x0800, 0x1234}}),
         {0x1F51, 0},
         0x8F20},
        // No partial protection: 1B51 + ABCD = C71E.
        {"16F872 3/4 (10)",
         "16F872",
         LoadVariant::Program,
         With({{0x0000, 0x3000}}),
         {0x1F51, 0},
         0xC71E},
        // Bits 13-12 clear protect it whole: 0B71 + ABCD = B73E.
        {"16F870 bits 13-12",
         "16F870",
         LoadVariant::Program,
         With({{0x0000, 0x3000}}),
         {0x0F71, 0},
         0xB73E},
        // The load's blank 3FFF counts as FFF: F800 + F9B + FFE = 1799.
        {"blank SX28", "SX28", LoadVariant::Program, {}, {0x0F9B, 0x0FFE}, 0x1799},
        // F000 - 3F5 - 5FF - FFF + 7F9 + F7E = ED84: FC0A from a file counts as C0A, and the
        // FUSE and FUSEX entries of the image only through the words given.
        {"SX48",
         "SX48",
         LoadVariant::Program,
         {{0x0000, 0xFC0A}, {0x0001, 0x0A00}, {0x0FFF, 0x0000}, {0x1010, 0x0123}, {0x1011, 0x0456}},
         {0x07F9, 0x0F7E},
         0xED84},
    };
    for (const ChecksumCase& c : cases) {
        const DeviceInfo& target = *DeviceNamed(c.device);
        MemoryImage image;
        ResetImage(image, c.variant, target.family);
        for (const auto& [address, entry] : c.entries) {
            image[address] = entry;
        }
        EXPECT_EQ(TargetChecksum(image, target, c.words), c.expected) << c.what;
    }
}

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
