// The checksum of an image, worked out by hand for each family: blank chips, images as each
// load leaves them, and every kind of PIC16 code protection.
#include "device/checksum.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>
#include <vector>

#include "device/hex_file.h"

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

}  // namespace
}  // namespace vek::test
