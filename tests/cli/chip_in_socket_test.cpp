// -d auto: id, read and verify find the PIC16 in the socket by its ID, asked the PIC16 way
// only, and refuse a chip that fits no PIC16.
#include <nlohmann/json.hpp>

#include "cli_fixture.h"

namespace vek::test {
namespace {

class ChipInSocket : public Cli {};

TEST_F(ChipInSocket, IdFindsEachPic16) {
    const std::pair<const char*, const char*> chips[] = {
        {"16F84A", "560"}, {"16F870", "D00"}, {"16F871", "D20"}, {"16F872", "8E0"},
        {"16F873", "960"}, {"16F874", "920"}, {"16F876", "9E0"}, {"16F877", "9A0"}};
    for (const auto& [chip, id] : chips) {
        SCOPED_TRACE(chip);
        const CliRun run = Run(Args("id", "-d", "auto", "--json"), chip, chip);
        EXPECT_EQ(run.status, 0) << run.err;
        const nlohmann::json report = nlohmann::json::parse(run.out);
        EXPECT_EQ(report["device"], chip);
        EXPECT_EQ(report["id"]["word"], id);
    }
}

TEST_F(ChipInSocket, ReadAndVerifyWorkOnTheChipFound) {
    const CliRun read = Run(Args("read", "-d", "auto", "--json"), "16F877", "877");
    EXPECT_EQ(read.status, 0) << read.err;
    const nlohmann::json report = nlohmann::json::parse(read.out);
    EXPECT_EQ(report["device"], "16F877");
    // All 8192 words of a 16F877: its last program line is at word 1FF8 (byte 3FF0).
    EXPECT_NE(report["hex"].get<std::string>().find(":103FF000FF3FFF3F"), std::string::npos);

    // The sample fits a 16F84A and not this blank one.
    const CliRun verify = Run(Args("verify", "-d", "auto", PIC_SAMPLE), "16F84A", "84a");
    EXPECT_EQ(verify.status, 1) << verify.err;
}

TEST_F(ChipInSocket, AChipThatFitsNoPic16IsRefused) {
    const std::string noPic16 =
        " which fits no PIC16; an SX is never asked with its own "
        "sequence by -d auto: give -d SX28 or -d SX48.\n";
    struct Case {
        std::vector<std::string> arguments;
        std::string chip, faults, out, err;
    };
    const Case cases[] = {
        {Args("id", "-d", "auto"), "SX28", "", "FCE SX28\n",
         "-d auto: the chip reports ID FCE," + noPic16},
        {Args("read", "-d", "auto"), "SX48", "", "", "-d auto: the chip reports ID 002," + noPic16},
        // An empty socket answers zeros.
        {Args("verify", "-d", "auto", PIC_SAMPLE), "16F84A",
         "reply:0x56,0,1,1,0;reply:0x56,0,2,1,0", "",
         "-d auto: the chip reports ID 000," + noPic16 +
             "An ID of all zeros or all ones: no chip in the socket, a chip the wrong way round, "
             "or no target power are the usual causes.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front() + " " + c.chip);
        const CliRun run = Run(c.arguments, c.chip, c.chip, c.faults);
        EXPECT_EQ(run.status, 5);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
    }
    const CliRun program = Run(Args("program", "-d", "auto", PIC_SAMPLE));
    EXPECT_EQ(program.status, 2);
    EXPECT_EQ(
        program.err,
        "vekflash-cli: -d auto belongs to id, read and verify, not to program\n" + USAGE_HINT);
}

}  // namespace
}  // namespace vek::test
