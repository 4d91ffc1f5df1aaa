// -d auto: id, read and verify find the PIC16 in the socket by its ID, asked the PIC16 way
// only (a chip that fits no PIC16 is refused with the other exit statuses).
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

}  // namespace
}  // namespace vek::test
