// The libftdi1 driver on the real libftdi1 and libusb, with a simulated FT232R served by
// umockdev: the same operations as through D2XX give the same bytes on the wire and the same
// chip, and the driver meets a missing, foreign, refused or vanishing board as D2XX does.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli_fixture.h"
#include "fake_ft232r.h"
#include "full_hex_file.h"
#include "link/attached_boards.h"
#include "link/protocol.h"
#include "operations/program.h"
#include "operations/read.h"
#include "operations/verify.h"
#include "recording_reporter.h"
#include "session/connection.h"
#include "session/hex_file_open.h"
#include "sim_control.h"
#include "vek_sim.h"
#include "wire_text.h"

namespace vek::test {
namespace {

const std::string NO_D2XX = "/nonexistent/libftd2xx.so";
const int ROW_16F877 = 7;
const int ROW_SX28 = 8;

// The driver's read time-outs run on the simulator's clock, as the chip's latency timer does.
std::uint64_t SimNowMs() {
    return SimControl::Get().ElapsedMs();
}

// Everything the chip holds, for comparing two runs.
std::vector<int> ChipContents() {
    std::vector<int> words;
    SimControl& sim = SimControl::Get();
    for (int space : {VEKSIM_PROGRAM, VEKSIM_EEPROM, VEKSIM_CONFIG, VEKSIM_FUSE, VEKSIM_FUSEX}) {
        for (int index = 0; sim.ReadWord(space, index) >= 0; ++index) {
            words.push_back(sim.ReadWord(space, index));
        }
    }
    return words;
}

// The drivers' libraries (libftdi1's own where none is given), with the simulator's clock; a
// refused board's device node is not given to this process.
UsbSetup Usb(const std::string& d2xx, const std::string& libftdi = "", bool refused = false) {
    UsbSetup usb{.libraries = {{"d2xx", d2xx}},
                 .nowMs = SimNowMs,
                 .accessRefused = refused ? +[](const char*) { return true; }
                                          : +[](const char*) { return false; }};
    if (!libftdi.empty()) {
        usb.libraries.emplace("libftdi", libftdi);
    }
    return usb;
}

// One programmer on the simulated board through one driver, from a fresh start.
struct DriverRun {
    explicit DriverRun(const UsbDriverChoice& choice, const std::string& d2xx = NO_D2XX,
                       const std::string& libftdi = "", bool refused = false)
        : programmer(ui, Usb(d2xx, libftdi, refused)) {
        programmer.link.ChooseDriver(choice);
    }

    RecordingReporter ui;
    Programmer programmer;
};

// The full file for the target with the configuration words it carries.
struct FullFile {
    FullFile(const DeviceInfo& row, const std::string& path)
        : target(row), file{path, "full.hex"}, words(ScanWithWords(row, path).words) {}

    ProgramRequest Programming() const { return {target, file, words}; }
    VerifyRequest Verifying() const { return {target, file, words}; }

    DeviceInfo target;
    ChosenHexFile file;
    GivenWords words;
};

// vekflash-cli runs in a process of its own, which reaches the simulated board through
// umockdev as this one does.
class Libftdi : public Cli {
  protected:
    Libftdi() { sim.Reset(); }

    SimControl& sim = SimControl::Get();
};

struct Outcome {
    std::string hostBytes;
    std::string deviceBytes;
    std::vector<std::string> messages;
    std::vector<int> chip;
    unsigned long long programWrites = 0;
};

// Start-up, then Program, Verify and Read of the full file; the traffic from the file on.
// Through libftdi1 the USB transfers of each operation are printed, for the README's table.
Outcome ProgramVerifyRead(DriverRun& run, int row, const std::string& hexPath,
                          FakeFt232r* board = nullptr) {
    SimControl& sim = SimControl::Get();
    StartupConnection(run.programmer);
    sim.SelectChip(std::string(DeviceTable[row].name));
    const FullFile full(DeviceTable[row], hexPath);
    sim.ClearLogs();
    sim.ResetCounters();
    const std::pair<const char*, std::function<OperationResult()>> operations[] = {
        {"Program", [&] { return Program(run.programmer, full.Programming()); }},
        {"Verify", [&] { return Verify(run.programmer, full.Verifying()); }},
        {"Read", [&] { return Read(run.programmer, {full.target}); }},
    };
    Outcome outcome;
    std::string urbs = "URBs (bulk OUT, bulk IN, control):";
    for (const auto& [name, operation] : operations) {
        if (board != nullptr) {
            board->ResetCounts();
        }
        EXPECT_TRUE(operation().Succeeded()) << name;
        const UrbCounts counts = board != nullptr ? board->Counts() : UrbCounts{};
        if (outcome.programWrites == 0) {
            outcome.programWrites = board != nullptr
                                        ? static_cast<unsigned long long>(counts.bulkOut)
                                        : sim.GetCounters().writeCalls;
        }
        urbs += std::string(name == operations[0].first ? " " : ", ") + name + " " +
                std::to_string(counts.bulkOut) + " " + std::to_string(counts.bulkIn) + " " +
                std::to_string(counts.control);
    }
    if (board != nullptr) {
        std::printf("%s\n", urbs.c_str());
    }
    outcome.hostBytes = Hex(sim.HostBytes());
    outcome.deviceBytes = Hex(sim.DeviceBytes());
    outcome.messages = run.ui.messages;
    outcome.chip = ChipContents();
    return outcome;
}

TEST_F(Libftdi, ProgramVerifyAndReadGiveTheSameWireBytesAndChipAsD2xx) {
    for (const int row : {ROW_16F877, ROW_SX28}) {
        SCOPED_TRACE(std::string(DeviceTable[row].name));
        const std::string hexPath =
            folder.Write("full.hex", bench::FullHexFileText(DeviceTable[row]));

        sim.Reset();
        DriverRun d2xx("d2xx", sim.LibraryPath());
        const Outcome expected = ProgramVerifyRead(d2xx, row, hexPath);
        ASSERT_EQ(UsbDriverKey(d2xx.programmer.link.DriverInUse()), "d2xx");
        d2xx.programmer.link.Close();

        sim.Reset();
        FakeFt232r board;
        DriverRun libftdi("libftdi");
        const Outcome got = ProgramVerifyRead(libftdi, row, hexPath, &board);
        ASSERT_EQ(UsbDriverKey(libftdi.programmer.link.DriverInUse()), "libftdi");

        EXPECT_EQ(got.messages, expected.messages);
        EXPECT_EQ(got.hostBytes, expected.hostBytes);
        EXPECT_EQ(got.deviceBytes, expected.deviceBytes);
        EXPECT_EQ(got.chip, expected.chip);
        // One bulk OUT transfer per write: a block never splits.
        EXPECT_LE(got.programWrites, expected.programWrites);
        std::printf(
            "%s Program: %llu FT_Write calls through D2XX, %llu bulk OUT through "
            "libftdi1\n",
            std::string(DeviceTable[row].name).c_str(), expected.programWrites, got.programWrites);
    }
}

TEST_F(Libftdi, AutoTakesD2xxWhenItLoadsElseLibftdi) {
    FakeFt232r board;
    // An empty libftdi1 is its own library; an empty driver is none.
    const struct {
        std::string choice;
        std::string d2xx;
        std::string libftdi;
        bool bound;
        std::string driver;
    } cases[] = {
        {"auto", sim.LibraryPath(), "", true, "d2xx"},
        {"auto", NO_D2XX, "", true, "libftdi"},
        {"libftdi", sim.LibraryPath(), "", true, "libftdi"},
        {"d2xx", NO_D2XX, "", false, ""},
        {"libftdi", sim.LibraryPath(), "/nonexistent/libftdi1.so.2", false, ""},
        {"auto", NO_D2XX, "/nonexistent/libftdi1.so.2", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.d2xx + " " + c.libftdi + " " + c.choice);
        sim.Reset();
        DriverRun run(c.choice, c.d2xx, c.libftdi);
        EXPECT_EQ(run.programmer.link.Bind(), c.bound);
        EXPECT_EQ(UsbDriverKey(run.programmer.link.DriverInUse()), c.driver);
        EXPECT_TRUE(run.ui.messages.empty());
    }
}

// Neither a board of another description nor one we may not open is taken.
TEST_F(Libftdi, OpensOnlyTheBoardWithTheDescriptionAndHoldsItFromFtdiSio) {
    const std::string absent = "Error: Unable to detect presence of VEK Flash programmer.";
    const struct {
        const char* description;  // nullptr: no board at all
        bool refused;             // its device node gone, and access refused
        std::string message;      // "": connected
    } cases[] = {
        {"VEK Flash", false, ""},
        {"VEK Flash ", false, absent},
        {"vek flash", false, absent},
        {"FT232R USB UART", false, absent},
        {nullptr, false, absent},
        {"VEK Flash", true, "Error: Could not open VEK Flash programmer."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.description == nullptr ? "none" : c.description) +
                     (c.refused ? " refused" : ""));
        sim.Reset();
        std::optional<FakeFt232r> board;
        if (c.description != nullptr) {
            board.emplace(c.description);
        }
        if (c.refused) {
            board->RemoveDeviceNode();
        }
        DriverRun run("libftdi", NO_D2XX, "", c.refused);
        StartupConnection(run.programmer);
        const bool connected = c.message.empty();
        EXPECT_EQ(run.programmer.Connected, connected);
        EXPECT_EQ(run.ui.messages,
                  connected ? std::vector<std::string>{} : std::vector<std::string>{c.message});
        EXPECT_EQ(run.programmer.link.PermissionRefused(), c.refused);
        if (!connected && board) {
            EXPECT_TRUE(board->KernelDriverBound());
        }
        if (connected) {
            // D2XX's open leaves 16 ms; fast transfers shorten it; start-up resets and purges.
            EXPECT_FALSE(board->KernelDriverBound());
            EXPECT_EQ(board->ChipRequests(),
                      (std::vector<std::string>{"reset", "latency 16", "latency 2", "reset",
                                                "purge rx", "purge rx"}));
            run.programmer.link.Close();
            EXPECT_TRUE(board->KernelDriverBound());  // given back to the serial driver
        }
    }
}

// The driver answers as D2XX does where the link relies on it: a read before any time-out
// waits for its bytes, one after a time-out ends with it on the chip's packets, a reply that
// comes in time is taken at once with the bytes after it kept until a purge drops them, and a
// write the library sent only in part is counted as it went.
TEST_F(Libftdi, ReadsPurgeAndAShortWriteAnswerAsD2xxDoes) {
    FakeFt232r board;
    {
        DriverRun run("libftdi");
        ProgrammerLink& link = run.programmer.link;
        ASSERT_TRUE(link.Bind());
        ASSERT_EQ(link.Open(BoardWithDescription(PROGRAMMER_DESCRIPTION)), UsbStatus::Ok);
        // The test frame's acknowledgement comes long after the chip's latency period.
        sim.FaultReply(CMD_TEST, 0, 0, VEKSIM_DELAY, 100);
        const std::uint8_t frame[] = {4, CMD_TEST, 0xC9, 0x01, 0xFF, 0x63};
        std::uint32_t count = 0;
        ASSERT_EQ(link.Write(frame, count), UsbStatus::Ok);
        unsigned long long start = sim.ElapsedMs();
        std::uint8_t bytes[2] = {};
        EXPECT_EQ(link.Read({bytes, 1}, count), UsbStatus::Ok);
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(bytes[0], REPLY_FRAME_OK);
        EXPECT_GE(sim.ElapsedMs() - start, 100u);

        link.ShortenLatencyTimer();
        for (const std::uint32_t timeout : {50u, 1000u}) {
            SCOPED_TRACE(timeout);
            link.SetTimeouts(timeout, timeout);
            board.ResetCounts();
            start = sim.ElapsedMs();
            count = 7;
            EXPECT_EQ(link.Read({bytes, 1}, count), UsbStatus::Ok);
            EXPECT_EQ(count, 0u);
            const unsigned long long waited = sim.ElapsedMs() - start;
            EXPECT_GE(waited, timeout);
            EXPECT_LE(waited, timeout + 2);  // at most one latency period more
            // One IN request per latency period of 2 ms, none in a busy loop.
            EXPECT_LE(board.Counts().bulkIn, static_cast<int>(timeout / 2 + 1));
        }

        sim.InjectStrayBytes({0x55, 0xA5, 0x5A});
        EXPECT_EQ(link.Queued(count), UsbStatus::Ok);  // takes them from the chip
        EXPECT_EQ(count, 3u);
        for (const std::uint8_t expected : {0x55, 0xA5}) {
            EXPECT_EQ(link.Read({bytes, 1}, count), UsbStatus::Ok);
            EXPECT_EQ(count, 1u);
            EXPECT_EQ(bytes[0], expected);
        }
        EXPECT_EQ(link.Purge(), UsbStatus::Ok);
        EXPECT_EQ(link.Queued(count), UsbStatus::Ok);
        EXPECT_EQ(count, 0u);
    }
    DriverRun shortWrite("libftdi", NO_D2XX, VEK_SHORT_WRITE_LIBFTDI);
    ProgrammerLink& link = shortWrite.programmer.link;
    ASSERT_TRUE(link.Bind());
    ASSERT_EQ(link.Open(BoardWithDescription(PROGRAMMER_DESCRIPTION)), UsbStatus::Ok);
    const std::uint8_t bytes[] = {0x02, 0x5F, 0x00};
    std::uint32_t written = 0;
    EXPECT_EQ(link.Write(bytes, written), UsbStatus::Ok);
    EXPECT_EQ(written, 2u);
}

// A board pulled out mid-operation: the operation fails on its exchange, and the next
// connection check ends the application as for a vanished D2XX board.
TEST_F(Libftdi, ABoardPulledOutDuringProgramOrReadEndsLikeAVanishedBoard) {
    const std::string hexPath =
        folder.Write("full.hex", bench::FullHexFileText(DeviceTable[ROW_16F877]));
    const FullFile full(DeviceTable[ROW_16F877], hexPath);
    const struct {
        const char* name;
        std::function<OperationResult(Programmer&)> operation;
        int urbs;
    } cases[] = {
        {"Program", [&](Programmer& p) { return Program(p, full.Programming()); }, 60},
        {"Read", [&](Programmer& p) { return Read(p, {full.target}); }, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.Reset();
        FakeFt232r board;
        DriverRun run("libftdi");
        StartupConnection(run.programmer);
        sim.SelectChip("16F877");
        run.ui.messages.clear();
        board.UnplugAfterUrbs(c.urbs);
        const OperationResult result = c.operation(run.programmer);
        EXPECT_FALSE(result.Succeeded());
        EXPECT_FALSE(run.ui.messages.empty());
        ConnectionPoll(run.programmer);
        EXPECT_TRUE(run.programmer.link.IsShutDown());
    }
}

// The command line's connection, in this process so that the refusal can be arranged.
TEST_F(Libftdi, TheCommandLineNamesTheUdevRuleAndPlugdevWhenTheBoardIsRefused) {
    FakeFt232r board;
    board.RemoveDeviceNode();
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* messages = open_memstream(&text, &length);
    std::FILE* results = std::tmpfile();
    {
        cli::TerminalReporter reporter(messages, false);
        Programmer programmer(reporter, Usb(NO_D2XX, "", true));
        cli::Arguments arguments;
        arguments.driver = "libftdi";
        programmer.link.ChooseDriver(arguments.driver);
        cli::RunRecord record;
        EXPECT_EQ(
            cli::RunCommand(arguments, programmer, reporter, results, record, [] { return true; }),
            cli::EXIT_PROGRAMMER);
    }
    std::fclose(messages);
    std::fclose(results);
    const std::string said(text, length);
    std::free(text);
    EXPECT_NE(said.find("Error: Could not open VEK Flash programmer."), std::string::npos) << said;
    EXPECT_NE(said.find("The udev rule /usr/local/lib/udev/rules.d/60-vekflash.rules gives it to "
                        "the plugdev group"),
              std::string::npos)
        << said;
}

TEST_F(Libftdi, TheCommandLineListsPicksProgramsVerifiesAndReadsThroughLibftdi) {
    const std::string hexPath =
        folder.Write("full.hex", bench::FullHexFileText(DeviceTable[ROW_SX28]));
    const std::string readPath = (folder / "read.hex").string();
    {
        FakeFt232r board;
        sim.SelectChip("SX28");
        const struct {
            std::vector<std::string> arguments;
            std::string out;
        } steps[] = {
            {{"--driver", "libftdi", "list"}, "0\tVF000001\tVEK Flash\tlibftdi\n"},
            {{"--driver", "libftdi", "--board", "VF000001", "-d", "SX28", "id"}, "FCE SX28\n"},
            {{"--driver", "libftdi", "detect"}, "USB driver: libftdi\n"},
            {{"--driver", "libftdi", "-d", "SX28", "program", hexPath}, ""},
            {{"--driver=libftdi", "-d", "sx28", "verify", hexPath}, ""},
            {{"--driver", "LIBFTDI", "-d", "SX28", "read", "-o", readPath}, ""},
        };
        for (const auto& step : steps) {
            SCOPED_TRACE(testing::PrintToString(step.arguments));
            const CliRun run = Run(step.arguments);
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(run.out, step.out);
        }
        // What was read programs a second chip to the same contents.
        const std::vector<int> programmed = ChipContents();
        sim.SelectChip("SX28");
        EXPECT_EQ(Run(Args("--driver", "libftdi", "-d", "SX28", "program", readPath)).status, 0);
        EXPECT_EQ(ChipContents(), programmed);
    }

    setenv("VEKSIM_BOARDS", "A1:16F877;B2:SX28", 1);
    sim.Reset();
    unsetenv("VEKSIM_BOARDS");
    FakeFt232r a1("VEK Flash", "A1", 2);
    FakeFt232r b2("VEK Flash", "B2", 3);
    // Indexed in the order libusb finds them.
    const CliRun listed = Run(Args("--driver", "libftdi", "list"));
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, "0\tB2\tVEK Flash\tlibftdi\n1\tA1\tVEK Flash\tlibftdi\n");
    EXPECT_EQ(Run(Args("--driver", "libftdi", "--board", "B2", "-d", "SX28", "id")).out,
              "FCE SX28\n");
    EXPECT_EQ(Run(Args("--driver", "libftdi", "--board", "A1", "-d", "16F877", "id")).out,
              "9A0 16F877\n");
}

}  // namespace
}  // namespace vek::test
