// The chip in the socket named after an operation stopped on its ID, when it is another chip
// of the target's family.
#include "operations/device_id.h"
#include "sim_fixture.h"

namespace vek::test {
namespace {

TEST(ChipInSocket, AnotherRowOfTheTargetsFamilyIsNamed) {
    struct Case {
        int selected;
        std::string chip;
        int id;                 // -1: the chip's own
        std::string statement;  // empty: none
        int row;
    };
    const Case cases[] = {
        {0, "16F877", -1, "The chip in the socket reports ID 9A0: a PIC16F877.", 7},
        // The revision bits take no part.
        {7, "16F84A", 0x566, "The chip in the socket reports ID 560: a PIC16F84A.", 0},
        {8, "SX48", -1, "The chip in the socket reports ID 002: an SX48.", 9},
        // An ID read the other family's way says nothing about the chip.
        {0, "SX28", -1, "", -1},
        {9, "16F873", -1, "", -1},
        // An empty socket fits no row.
        {0, "16F84A", 0x000, "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip);
        Bench bench(c.selected);
        ASSERT_TRUE(bench.sim.SelectChip(c.chip));
        if (c.id >= 0) {
            bench.sim.SetDeviceId(static_cast<unsigned>(c.id));
        }
        EXPECT_EQ(bench.Read().outcome, Outcome::WrongDevice);
        const std::optional<ChipInSocket> chip = ChipInSocketAfter(bench.last, bench.Target());
        EXPECT_EQ(chip ? chip->statement : "", c.statement);
        EXPECT_EQ(chip ? chip->row->processorIndex : -1, c.row);
        // Only after a wrong chip: not after a Read that succeeded.
        if (chip) {
            bench.UseTarget(c.row);
            EXPECT_FALSE(ChipInSocketAfter(bench.Read(), bench.Target()));
        }
    }
}

}  // namespace
}  // namespace vek::test
