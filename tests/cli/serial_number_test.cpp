// Serial numbers written into each chip of a batch, kept in a shared file, and the run log.
#include <regex>

#if !defined(_WIN32)
#include <csv.h>
#endif

#include "cli_fixture.h"

namespace vek::test {
namespace {

// The memory space `space` of a chip's state file, from its first location.
std::vector<int> Space(const std::filesystem::path& state, const std::string& space) {
    std::istringstream text(ReadFile(state));
    std::vector<int> values;
    for (std::string line; std::getline(text, line);) {
        std::istringstream words(line);
        std::string name;
        int index = 0;
        words >> name >> std::hex >> index;
        for (int value = 0; name == space && words >> value;) {
            values.push_back(value);
        }
    }
    return values;
}

std::vector<int> EepromBytes(const std::filesystem::path& state, int from, int count) {
    const std::vector<int> eeprom = Space(state, "eeprom");
    return {eeprom.begin() + from, eeprom.begin() + from + count};
}

std::vector<std::string> Lines(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

class SerialNumbers : public Cli {
  protected:
    std::vector<std::string> Program(const std::vector<std::string>& more) {
        std::vector<std::string> arguments = {"-d",       "16F84A", "program", "--serial-file",
                                              serialFile, "--log",  logFile};
        arguments.insert(arguments.end(), more.begin(), more.end());
        arguments.push_back(PIC_SAMPLE);
        return arguments;
    }

    std::string serialFile = folder.Write("sn.txt", "1000\n");
    std::string logFile = (folder / "line.csv").string();
};

TEST_F(SerialNumbers, ABatchGetsOneNumberEachAndTheLogALineEach) {
    for (const std::string chip : {"chip1", "chip2", "chip3"}) {
        const CliRun run = Run(Program({"--serial-at", "eeprom:8"}), "16F84A", chip);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "Programming complete.\nVerify passed\n");
    }
    EXPECT_EQ(EepromBytes(folder / "chip1", 8, 4), (std::vector<int>{0xE8, 0x03, 0x00, 0x00}));
    EXPECT_EQ(EepromBytes(folder / "chip2", 8, 4), (std::vector<int>{0xE9, 0x03, 0x00, 0x00}));
    EXPECT_EQ(EepromBytes(folder / "chip3", 8, 4), (std::vector<int>{0xEA, 0x03, 0x00, 0x00}));
    EXPECT_EQ(ReadFile(serialFile), "1003\n");

    // A chip that fails verify keeps the number for the next one, and the log says so.
    const CliRun failed =
        Run(Program({"--serial-at", "eeprom:8:2"}), "16F84A", "chip4", "reply:0x52,0,11,1,0x00");
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(ReadFile(serialFile), "1003\n");

    const std::vector<std::string> lines = Lines(ReadFile(logFile));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0],
              "time,board_serial,device,device_word,hex_file,hex_sha256,serial_number,outcome,"
              "exit_status,seconds");
    const std::regex row(
        R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ),VF000001,16F84A,560,([^,]+),([0-9a-f]{64}),(\d*),)"
        R"(([a-z-]+),(\d),(\d+\.\d{3}))");
    const std::vector<std::vector<std::string>> expected = {
        {"1000", "success", "0"},
        {"1001", "success", "0"},
        {"1002", "success", "0"},
        {"1003", "difference", "1"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(lines[i + 1]);
        std::smatch fields;
        ASSERT_TRUE(std::regex_match(lines[i + 1], fields, row));
        EXPECT_EQ(fields[2], PIC_SAMPLE);
        EXPECT_EQ(fields[4], expected[i][0]);
        EXPECT_EQ(fields[5], expected[i][1]);
        EXPECT_EQ(fields[6], expected[i][2]);
        // What `sha256sum examples/blink-16f84a.hex` prints.
        EXPECT_EQ(fields[3], "b8e1aee8394cfebef1c7f42add17ab40f732a461cf23bd32d9c5bfca529324c7");
    }
}

#if !defined(_WIN32)  // libcsv is not built for Windows here, and its names hold no '"'
// The rows of a CSV text as a strict CSV reader gives them.
std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1);
    csv_parser parser{};
    EXPECT_EQ(csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI), 0);
    const auto field = [](void* bytes, std::size_t length, void* data) {
        static_cast<decltype(rows)*>(data)->back().emplace_back(static_cast<char*>(bytes), length);
    };
    const auto row = [](int, void* data) { static_cast<decltype(rows)*>(data)->emplace_back(); };
    EXPECT_EQ(csv_parse(&parser, text.data(), text.size(), field, row, &rows), text.size());
    EXPECT_EQ(csv_fini(&parser, field, row, &rows), 0);
    csv_free(&parser);
    rows.pop_back();  // the one begun after the last line
    return rows;
}

TEST_F(SerialNumbers, TheLogKeepsOneRowOfTenFieldsWhateverTheFileIsCalled) {
    const std::string text = ":020000000628D0\n:02400E00F13F80\n:00000001FF\n";
    const std::vector<std::string> files = {folder.Write("a, b.hex", text),
                                            folder.Write("say \"hi\".hex", text)};
    for (const std::string& file : files) {
        EXPECT_EQ(Run(Args("-q", "-d", "16F84A", "program", "--log", logFile, file)).status, 0);
    }
    const std::vector<std::vector<std::string>> rows = CsvRows(ReadFile(logFile));
    ASSERT_EQ(rows.size(), 3u);
    for (std::size_t i = 0; i < files.size(); ++i) {
        ASSERT_EQ(rows[i + 1].size(), 10u);
        EXPECT_EQ(rows[i + 1][4], files[i]);
        // What sha256sum prints for the file, its first byte below 0x10.
        EXPECT_EQ(rows[i + 1][5],
                  "0a5dc589b243e1915cc58b3c2ebb7facc711255df44c9ba021eddd78d2f9b3fe");
    }
}
#endif

TEST_F(SerialNumbers, TwoBoardsSharingOneFileNeverWriteTheSameNumber) {
    environment = {{"VEKSIM_BOARDS", "A1:16F877:" + (folder / "a1").string() +
                                         ";B2:16F877:" + (folder / "b2").string()}};
    std::vector<Launched> launched;
    for (const char* board : {"A1", "B2"}) {
        std::vector<std::string> arguments =
            Program({"--serial-at", "eeprom:200", "--board", board});
        arguments[1] = "16F877";
        launched.push_back(Launch(arguments, "16F84A", "pic", "", false, board));
    }
    for (const Launched& run : launched) {
        EXPECT_EQ(Collect(run).status, 0);
    }
    std::vector<int> numbers;
    for (const char* state : {"a1", "b2"}) {
        const std::vector<int> bytes = EepromBytes(folder / state, 200, 4);
        numbers.push_back(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24);
    }
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<int>{1000, 1001}));
    EXPECT_EQ(ReadFile(serialFile), "1002\n");
    EXPECT_EQ(Lines(ReadFile(logFile)).size(), 3u);
}

TEST_F(SerialNumbers, IdLocationsTakeOneDigitEachAndTheFileIsNotWrittenOver) {
    // The sample gives the ID locations 1, 2, 3 and 4: the digits replace their low bits.
    const std::vector<std::string> idArguments = Args("-d", "16F84A", "program", "--serial-number",
                                                      "22136", "--serial-at", "id", PIC_SAMPLE);
    EXPECT_EQ(Run(idArguments).status, 2);
    std::vector<std::string> overwriting = idArguments;
    overwriting.insert(overwriting.begin(), "--serial-overwrite");
    EXPECT_EQ(Run(overwriting).status, 0);
    const std::vector<int> config = Space(folder / "pic", "config");
    EXPECT_EQ(std::vector<int>(config.begin(), config.begin() + 4),
              (std::vector<int>{0x0005, 0x0006, 0x0007, 0x0008}));  // 22136 is 0x5678

    // The sample gives EEPROM locations 0 to 2: one of the two places is enough to refuse.
    const CliRun over = Run(Args("-d", "16F84A", "program", "--serial-number", "7", "--serial-at",
                                 "eeprom:2:2", PIC_SAMPLE));
    EXPECT_EQ(over.status, 2);
    EXPECT_EQ(over.err, "vekflash-cli: the serial number's place holds data of " + PIC_SAMPLE +
                            "; --serial-overwrite writes over it\n");
    EXPECT_EQ(Run(Args("-d", "16F84A", "program", "--serial-number", "7", "--serial-at",
                       "eeprom:2:2", "--serial-overwrite", PIC_SAMPLE))
                  .status,
              0);
    EXPECT_EQ(EepromBytes(folder / "pic", 0, 5), (std::vector<int>{0x56, 0x45, 0x07, 0x00, 0xFF}));
}

TEST_F(SerialNumbers, PlacesAndNumbersThatCannotBeUsedAreRefused) {
    struct Refusal {
        std::vector<std::string> arguments;
        int status;
        std::string err;
    };
    const std::string missing = (folder / "missing.txt").string();
    const std::string garbled = folder.Write("garbled.txt", "12a\n");
    const Refusal refusals[] = {
        {Args("-d", "SX28", "program", "--serial-number", "1", "--serial-at", "eeprom:0",
              SX_SAMPLE),
         2,
         "vekflash-cli: an SX28 has no EEPROM and no ID locations for a serial number\n" +
             USAGE_HINT},
        {Args("-d", "16F84A", "program", "--serial-number", "1", "--serial-at", "eeprom:61",
              PIC_SAMPLE),
         2,
         "vekflash-cli: --serial-at eeprom:61:4 lies beyond the 64 EEPROM bytes of the "
         "16F84A\n" +
             USAGE_HINT},
        {Args("-d", "16F84A", "program", "--serial-number", "256", "--serial-at", "eeprom:8:1",
              PIC_SAMPLE),
         2,
         "vekflash-cli: serial number 256 does not fit its place, which holds at most 255\n" +
             USAGE_HINT},
        {Args("-d", "16F84A", "program", "--serial-number", "65536", "--serial-at", "id",
              PIC_SAMPLE),
         2,
         "vekflash-cli: serial number 65536 does not fit its place, which holds at most "
         "65535\n" +
             USAGE_HINT},
        {Args("-d", "16F84A", "program", "--serial-at", "eeprom:8:5", PIC_SAMPLE), 2,
         "vekflash-cli: --serial-at 'eeprom:8:5': eeprom:LOC[:BYTES] with BYTES 1 to 4, or id\n" +
             USAGE_HINT},
        {Args("-d", "16F877", "program", "--serial-number", "1", "--serial-at", "eeprom:300",
              PIC_SAMPLE),
         2,
         "vekflash-cli: --serial-at 'eeprom:300': the EEPROM location 300 is out of range: 0 to "
         "255\n" +
             USAGE_HINT},
        {Args("-d", "16F84A", "program", "--serial-number", "1", PIC_SAMPLE), 2,
         "vekflash-cli: a serial number needs its place: --serial-at eeprom:LOC[:BYTES] or id\n" +
             USAGE_HINT},
        {Args("-d", "16F84A", "verify", "--serial-number", "1", PIC_SAMPLE), 2,
         "vekflash-cli: serial numbers belong to program, not to verify\n" + USAGE_HINT},
        {Args("-d", "16F84A", "program", "--serial-number", "1", "--serial-file", missing,
              "--serial-at", "id", PIC_SAMPLE),
         2,
         "vekflash-cli: --serial-number and --serial-file both give the number; give one\n" +
             USAGE_HINT},
        {Args("-d", "16F84A", "program", "--serial-file", missing, "--serial-at", "id", PIC_SAMPLE),
         3, "Error: the serial number file " + missing + " could not be read.\n"},
        {Args("-d", "16F84A", "program", "--serial-file", garbled, "--serial-at", "id", PIC_SAMPLE),
         3, "Error: " + garbled + " holds no serial number: a decimal number below 4294967295.\n"},
        {Args("-d", "16F84A", "detect", "--log", (folder / "home").string()), 3,
         "VEK Flash programmer ready.\nError: the log " + (folder / "home").string() +
             " could not be written.\n"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(testing::PrintToString(refusal.arguments));
        const CliRun run = Run(refusal.arguments);
        EXPECT_EQ(run.status, refusal.status);
        EXPECT_EQ(run.err, refusal.err);
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(ReadFile(garbled), "12a\n");
}

}  // namespace
}  // namespace vek::test
