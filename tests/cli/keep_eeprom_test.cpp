// program --preserve-eeprom, and the checksum: its command, its JSON field and its log column.
#include <nlohmann/json.hpp>

#include "cli_fixture.h"

namespace vek::test {
namespace {

class BenchCommands : public Cli {
  protected:
    // A 16F84A's state: a program word to erase, the configuration word, EEPROM 80 81 82 ...
    void WriteChip(const std::string& config) {
        folder.Write("chip", "chip 16F84A\nprogram 20 1234\nconfig 7 " + config +
                                 "\neeprom 0 80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F\n");
    }
};

// The chip's bytes stay and Verify expects them, a serial number over them; a chip whose
// EEPROM is protected is refused before the erase.
TEST_F(BenchCommands, PreserveEepromKeepsTheChipsBytesUnderTheSerialNumber) {
    WriteChip("3FFF");
    const CliRun kept =
        Run(Args("-d", "16F84A", "program", "--preserve-eeprom", "--verify", "--serial-number",
                 "1000", "--serial-at", "eeprom:2:2", "--serial-overwrite", PIC_SAMPLE),
            "16F84A", "chip");
    EXPECT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(kept.err, "Programming complete.\nVerify passed\n");
    EXPECT_EQ(EepromBytes(folder / "chip", 0, 6),
              (std::vector<int>{0x80, 0x81, 0xE8, 0x03, 0x84, 0x85}));

    WriteChip("000F");
    const CliRun refused =
        Run(Args("-d", "16F84A", "program", "--preserve-eeprom", "--json", PIC_SAMPLE), "16F84A",
            "chip");
    EXPECT_EQ(refused.status, 1);
    const nlohmann::json report = nlohmann::json::parse(refused.out);
    EXPECT_EQ(report["messages"],
              nlohmann::json::array({"The chip's EEPROM is protected and cannot be kept."}));
    EXPECT_EQ(report["checksum"], nullptr);
    EXPECT_NE(ReadFile(folder / "chip").find("program 20 1234"), std::string::npos);
}

// By hand: the 16F84A example's ten words with 1014 blank ones and its configuration word
// 3FF1 sum to 98B3, with --config 3FFF to 98C1.
TEST_F(BenchCommands, ChecksumPrintsWhatProgramWritesAndTheJsonCarriesIt) {
    const std::string damaged = folder.Write("damaged.hex", ":02000000062800\n:00000001FF\n");
    const std::string bare = folder.Write("bare.hex", ":020000000628D0\n:00000001FF\n");
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string out;
    } const cases[] = {
        {Args("checksum", "-d", "16F84A", PIC_SAMPLE), 0, "98B3\n"},
        {Args("checksum", "-d", "16F84A", "--config", "3FFF", PIC_SAMPLE), 0, "98C1\n"},
        {Args("checksum", "-d", "16F84A", damaged), 3, ""},
        {Args("checksum", "-d", "16F84A", bare), 2, ""},
    };
    for (const Case& c : cases) {
        const CliRun run = Run(c.arguments);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.out, c.out);
    }
    // program: what it wrote; verify and read: the chip as read.
    for (const auto& arguments : {Args("program", PIC_SAMPLE), Args("verify", PIC_SAMPLE),
                                  Args("read"), Args("checksum", PIC_SAMPLE)}) {
        std::vector<std::string> withJson = arguments;
        withJson.insert(withJson.end(), {"-d", "16F84A", "--json"});
        const nlohmann::json report = nlohmann::json::parse(Run(withJson).out);
        EXPECT_EQ(report["checksum"], "98B3") << arguments[0];
    }
}

}  // namespace
}  // namespace vek::test
