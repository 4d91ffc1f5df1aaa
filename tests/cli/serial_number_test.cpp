// Serial numbers written into each chip of a batch, kept in a shared file, and the run log.
#include <regex>

#if !defined(_WIN32)
#include <csv.h>
#endif

#include "cli_fixture.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#endif

namespace vek::test {
namespace {

// A terminal ends its lines with CR LF.
std::string WithoutCarriageReturns(std::string text) {
    std::erase(text, '\r');
    return text;
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

// The first number is one digit shorter than the next: the file has room for that before the
// chip is touched.
TEST_F(SerialNumbers, ABatchGetsOneNumberEachAndTheLogALineEach) {
    folder.Write("sn.txt", "999\n");
    for (const std::string chip : {"chip1", "chip2", "chip3"}) {
        const CliRun run = Run(Program({"--serial-at", "eeprom:8"}), "16F84A", chip);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "Programming complete.\nVerify passed\n");
    }
    EXPECT_EQ(EepromBytes(folder / "chip1", 8, 4), (std::vector<int>{0xE7, 0x03, 0x00, 0x00}));
    EXPECT_EQ(EepromBytes(folder / "chip2", 8, 4), (std::vector<int>{0xE8, 0x03, 0x00, 0x00}));
    EXPECT_EQ(EepromBytes(folder / "chip3", 8, 4), (std::vector<int>{0xE9, 0x03, 0x00, 0x00}));
    EXPECT_EQ(ReadFile(serialFile), "1002\n");

    // A chip that fails verify keeps the number for the next one, and the log says so.
    const CliRun failed =
        Run(Program({"--serial-at", "eeprom:8:2"}), "16F84A", "chip4", "reply:0x52,0,11,1,0x00");
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(ReadFile(serialFile), "1002\n");

    // Each run's row before the chip is touched, then its end row.
    const std::vector<std::string> lines = Lines(ReadFile(logFile));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0],
              "time,board_serial,device,device_word,hex_file,hex_sha256,serial_number,outcome,"
              "exit_status,seconds,checksum");
    const std::regex row(
        R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ),VF000001,16F84A,(560|),([^,]+),([0-9a-f]{64}),)"
        R"((\d*),([a-z-]+),(\d|),(\d+\.\d{3}|),([0-9A-F]{4}|))");
    const std::vector<std::vector<std::string>> expected = {
        {"", "999", "started", "", ""},  {"560", "999", "success", "0", "s"},
        {"", "1000", "started", "", ""}, {"560", "1000", "success", "0", "s"},
        {"", "1001", "started", "", ""}, {"560", "1001", "success", "0", "s"},
        {"", "1002", "started", "", ""}, {"560", "1002", "difference", "1", "s"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(lines[i + 1]);
        std::smatch fields;
        ASSERT_TRUE(std::regex_match(lines[i + 1], fields, row));
        EXPECT_EQ(fields[2], expected[i][0]);
        EXPECT_EQ(fields[3], PIC_SAMPLE);
        EXPECT_EQ(fields[5], expected[i][1]);
        EXPECT_EQ(fields[6], expected[i][2]);
        EXPECT_EQ(fields[7], expected[i][3]);
        EXPECT_EQ(fields[8].length() > 0, expected[i][4] == "s");
        // What was written, worked by hand: 1014 x 3FFF + the file's ten words + 3FF1.
        EXPECT_EQ(fields[9], expected[i][4] == "s" ? "98B3" : "");
        // What `sha256sum examples/blink-16f84a.hex` prints.
        EXPECT_EQ(fields[4], "b8e1aee8394cfebef1c7f42add17ab40f732a461cf23bd32d9c5bfca529324c7");
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

TEST_F(SerialNumbers, TheLogKeepsOneRowOfElevenFieldsWhateverTheFileIsCalled) {
    const std::string text = ":020000000628D0\n:02400E00F13F80\n:00000001FF\n";
    const std::vector<std::string> files = {folder.Write("a, b.hex", text),
                                            folder.Write("say \"hi\".hex", text)};
    for (const std::string& file : files) {
        EXPECT_EQ(Run(Args("-q", "-d", "16F84A", "program", "--log", logFile, file)).status, 0);
    }
    // Each run's started row, then its end row.
    const std::vector<std::vector<std::string>> rows = CsvRows(ReadFile(logFile));
    ASSERT_EQ(rows.size(), 5u);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 11u);
        EXPECT_EQ(rows[i][4], files[(i - 1) / 2]);
        // What sha256sum prints for the file, its first byte below 0x10.
        EXPECT_EQ(rows[i][5], "0a5dc589b243e1915cc58b3c2ebb7facc711255df44c9ba021eddd78d2f9b3fe");
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
    EXPECT_EQ(Lines(ReadFile(logFile)).size(), 5u);  // a started row and an end row each
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
        int status;
        std::string device;
        std::vector<std::string> arguments;  // the device and its sample are added
        std::string err;
    };
    const std::string missing = (folder / "missing.txt").string();
    const std::string garbled = folder.Write("garbled.txt", "12a\n");
    const Refusal refusals[] = {
        {2, "SX28", Args("program", "--serial-number", "1", "--serial-at", "eeprom:0"),
         Usage("an SX28 has no EEPROM and no ID locations for a serial number")},
        {2, "16F84A", Args("program", "--serial-number", "1", "--serial-at", "eeprom:61"),
         Usage("--serial-at eeprom:61:4 lies beyond the 64 EEPROM bytes of the 16F84A")},
        {2, "16F84A", Args("program", "--serial-number", "256", "--serial-at", "eeprom:8:1"),
         Usage("serial number 256 does not fit its place, which holds at most 255")},
        {2, "16F84A", Args("program", "--serial-number", "65536", "--serial-at", "id"),
         Usage("serial number 65536 does not fit its place, which holds at most 65535")},
        {2, "16F84A", Args("program", "--serial-at", "eeprom:8:5"),
         Usage("--serial-at 'eeprom:8:5': eeprom:LOC[:BYTES] with BYTES 1 to 4, or id")},
        {2, "16F877", Args("program", "--serial-number", "1", "--serial-at", "eeprom:300"),
         Usage("--serial-at 'eeprom:300': the EEPROM location 300 is out of range: 0 to 255")},
        {2, "16F84A", Args("program", "--serial-number", "1"),
         Usage("a serial number needs its place: --serial-at eeprom:LOC[:BYTES] or id")},
        {2, "16F84A", Args("verify", "--serial-number", "1"),
         Usage("serial numbers belong to program, not to verify")},
        {2, "16F84A",
         Args("program", "--serial-number", "1", "--serial-file", missing, "--serial-at", "id"),
         Usage("--serial-number and --serial-file both give the number; give one")},
        {3, "16F84A", Args("program", "--serial-file", missing, "--serial-at", "id"),
         "Error: the serial number file " + missing + " could not be read.\n"},
        {3, "16F84A", Args("program", "--serial-file", garbled, "--serial-at", "id"),
         "Error: " + garbled + " holds no serial number: a decimal number below 4294967295.\n"},
    };
    for (Refusal refusal : refusals) {
        SCOPED_TRACE(testing::PrintToString(refusal.arguments));
        refusal.arguments.insert(
            refusal.arguments.end(),
            {"-d", refusal.device, refusal.device == "SX28" ? SX_SAMPLE : PIC_SAMPLE});
        const CliRun run = Run(refusal.arguments);
        EXPECT_EQ(run.status, refusal.status);
        EXPECT_EQ(run.err, refusal.err);
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(ReadFile(garbled), "12a\n");
}

// A counter or a log that cannot take what the run would write is refused before the chip is
// touched: the chip keeps nothing, the counter its number and the log its bytes.
TEST_F(SerialNumbers, ACounterOrLogThatCannotBeUsedIsRefusedBeforeTheChip) {
    struct Case {
        std::string name;
        std::function<void()> prepare;
        std::string err;
        std::string serial = "", log = "";  // other than the fixture's files
        bool terminal = false;              // for a file size limit below the messages' size
        std::optional<std::string> logAfter = std::nullopt;
    };
    const std::string logged = "time,board_serial\n1,2\n";
    std::vector<Case> cases = {
        {"read-only counter",
         [&] { std::filesystem::permissions(serialFile, std::filesystem::perms::owner_read); },
         "Error: the serial number file " + serialFile +
             " could not be written: it is read-only.\n"},
        {"counter of more than a few bytes",
         [&] { folder.Write("sn.txt", "1000" + std::string(40, ' ') + "\n"); },
         "Error: " + serialFile + " holds no serial number: a decimal number below 4294967295.\n"},
#if !defined(_WIN32)
        // The disk is full: 1001 does not fit beside the counter, nor a row into the log.
        {"no room for the next number", [&] { fileSizeLimit = 4; },
         "Error: the serial number file " + serialFile +
             " could not take the next number, 1001; the chip was not touched.\nError: the log " +
             logFile + " could not be written.\n",
         "", "", true},
        {"no room for a row",
         [&] {
             folder.Write("line.csv", logged);
             fileSizeLimit = logged.size() + 10;
         },
         "Error: the log " + logFile + " could not be written.\n", "", "", true, logged},
#endif
    };
    std::vector<std::string> notRegular = {(folder / "home").string()};
#if !defined(_WIN32)
    notRegular.push_back("/dev/null");
    notRegular.push_back((folder / "fifo").string());
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
#endif
    for (const std::string& place : notRegular) {
        cases.push_back({"counter " + place,
                         {},
                         "Error: the serial number file " + place +
                             " could not be read: it is not a regular file.\n",
                         place});
        cases.push_back(
            {"log " + place,
             {},
             "Error: the log " + place + " could not be written: it is not a regular file.\n",
             "",
             place});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        folder.Write("sn.txt", "1000\n");
        std::filesystem::remove(folder / "line.csv");
        fileSizeLimit = 0;
        secondsAllowed = 20;  // a FIFO could hold the program in open() or read()
        if (c.prepare) {
            c.prepare();
        }
        std::vector<std::string> arguments = Program({"--serial-at", "eeprom:8"});
        arguments[4] = c.serial.empty() ? serialFile : c.serial;
        arguments[6] = c.log.empty() ? logFile : c.log;
        const CliRun run = Run(arguments, "16F84A", "chip", "", c.terminal);
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(WithoutCarriageReturns(run.err), c.err);
        EXPECT_FALSE(std::filesystem::exists(folder / "chip"));  // never written
        std::filesystem::permissions(serialFile, std::filesystem::perms::owner_all);
        EXPECT_TRUE(ReadFile(serialFile).starts_with("1000"));
        // A refused run may say so in the log, but it never started on a chip.
        const std::string log = ReadFile(folder / "line.csv");
        EXPECT_EQ(log.find(",started,"), std::string::npos);
        if (c.logAfter) {
            EXPECT_EQ(log, *c.logAfter);
        }
    }
}

#if !defined(_WIN32)  // the simulator stops the program with SIGSTOP
// Killed between programming and verifying: the chip holds 1000 and the counter still says
// 1000, so the log's row of a run that started and never ended is what tells of that chip.
TEST_F(SerialNumbers, AKilledRunLeavesAStartedRowWithTheNumberItWasWriting) {
    const Launched launched = Launch(Program({"--serial-at", "eeprom:8"}), "16F84A", "chip",
                                     "reply:0x52,0,1,4,0", false, "killed");
    const auto pid = static_cast<pid_t>(launched.child.process);
    EXPECT_EQ(Collect(launched, [pid] { kill(pid, SIGKILL); }).status, -1);
    EXPECT_EQ(EepromBytes(folder / "chip", 8, 4), (std::vector<int>{0xE8, 0x03, 0x00, 0x00}));
    EXPECT_EQ(ReadFile(serialFile), "1000\n");
    const std::vector<std::string> lines = Lines(ReadFile(logFile));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(
        lines[1], std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ,VF000001,16F84A,,)" + PIC_SAMPLE +
                             ",b8e1aee8394cfebef1c7f42add17ab40f732a461cf23bd32d9c5bfca529324c7,"
                             "1000,started,,,")))
        << lines[1];

    // A run that ends writes its row after the started one.
    EXPECT_EQ(Run(Program({"--serial-at", "eeprom:8"}), "16F84A", "chip2").status, 0);
    const std::vector<std::string> after = Lines(ReadFile(logFile));
    ASSERT_EQ(after.size(), 4u);
    EXPECT_NE(after[2].find(",1000,started,,"), std::string::npos);
    EXPECT_NE(after[3].find(",1000,success,0,"), std::string::npos);
}

// NFS and CIFS grant an exclusive lock only through a descriptor open for writing.
TEST_F(SerialNumbers, TheCounterIsLockedThroughADescriptorOpenForWriting) {
    const Launched launched = Launch(Program({"--serial-at", "eeprom:8"}), "16F84A", "chip",
                                     "reply:0x53,0,1,4,0", false, "stopped");
    const auto pid = static_cast<pid_t>(launched.child.process);
    int accessMode = -1;
    EXPECT_EQ(
        Collect(launched,
                [&] {
                    const std::filesystem::path process = "/proc/" + std::to_string(pid);
                    for (const auto& entry : std::filesystem::directory_iterator(process / "fd")) {
                        std::error_code error;
                        if (std::filesystem::read_symlink(entry, error) != serialFile) {
                            continue;
                        }
                        std::istringstream info(
                            ReadFile(process / "fdinfo" / entry.path().filename()));
                        std::string name;
                        std::string flags;
                        while (info >> name >> flags && name != "flags:") {
                        }
                        accessMode = std::stoi(flags, nullptr, 8) & O_ACCMODE;
                    }
                })
            .status,
        0);
    EXPECT_EQ(accessMode, O_RDWR);
}
#endif

// Texts a spreadsheet would run as a formula start with a quote in the log.
TEST_F(SerialNumbers, ALogFieldThatLooksLikeAFormulaIsNotOne) {
    environment = {{"VEKSIM_BOARDS", "=HYPERLINK(1):16F84A:" + (folder / "chip").string()}};
    EXPECT_EQ(Run(Args("-d", "16F84A", "blank", "--log", logFile)).status, 0);
    const std::vector<std::string> lines = Lines(ReadFile(logFile));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[2].find("Z,'=HYPERLINK(1),16F84A,"), std::string::npos) << lines[2];
}

}  // namespace
}  // namespace vek::test
