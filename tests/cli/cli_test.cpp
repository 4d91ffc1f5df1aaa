// vekflash-cli end to end: each command on a PIC16 and an SX chip in the simulated programmer,
// each exit status from a real cause, the progress bar, and a chip read, saved and programmed
// into another one.
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_fixture.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace vek::test {
namespace {

TEST_F(Cli, EachCommandOnAPic16AndAnSxChip) {
    struct Target {
        const char *chip, *device;  // the device as typed: any letter case
        std::string sample;
        const char *idLine, *firstReadLine;
        std::size_t readLines;
        const char* erasedMismatch;
    };
    const std::vector<Target> targets = {
        {"16F84A", "16F84A", PIC_SAMPLE, "560 16F84A\n",
         ":1000000083168601831201308606072003288C0B95", 138,
         "Program ROM verify failed at word 0. (expected 0x1683, read 0x3FFF)\n"},
        {"SX28", "sx28", SX_SAMPLE, "FCE SX28\n", ":10000000000C0600010C8601030AFF0FFF0FFF0F13",
         258, "Program ROM verify failed at word 0. (expected 0x0C00, read 0x0FFF)\n"},
    };
    for (const Target& target : targets) {
        SCOPED_TRACE(target.chip);
        struct Step {
            std::vector<std::string> arguments;  // the device is added
            int status;
            const char *out, *err;  // out nullptr: the chip as a HEX file
        };
        const std::vector<Step> steps = {
            {{"detect"}, 0, "USB driver: d2xx\n", "VEK Flash programmer ready.\n"},
            {{"id"}, 0, target.idLine, ""},
            {{"blank"}, 0, "", "Device is blank\n"},
            {{"program", target.sample}, 0, "", "Programming complete.\n"},
            {{"blank"}, 1, "", "Device is not blank\n"},
            {{"blank", "--quiet"}, 1, "", "Device is not blank\n"},  // a failure is still said
            {{"program", "--no-erase", target.sample},
             1,
             "",
             "Device is not blank. Erase it first (vekflash-cli erase), or program without "
             "--no-erase, which erases it.\n"},
            {{"verify", target.sample}, 0, "", "Verify passed\n"},
            {{"-q", "verify", target.sample}, 0, "", ""},
            {{"read"}, 0, nullptr, ""},
            {{"erase"}, 0, "", "Device is blank\n"},
            {{"verify", target.sample}, 1, "", target.erasedMismatch},
        };
        for (Step step : steps) {
            SCOPED_TRACE(testing::PrintToString(step.arguments));
            step.arguments.insert(step.arguments.end(), {"-d", target.device});
            const CliRun run = Run(step.arguments, target.chip, target.chip);
            EXPECT_EQ(run.status, step.status);
            EXPECT_EQ(run.err, step.err);  // not a trace of a progress bar either
            if (step.out != nullptr) {
                EXPECT_EQ(run.out, step.out);
                continue;
            }
            const std::vector<std::string> lines = Lines(run.out);
            ASSERT_EQ(lines.size(), target.readLines);
            EXPECT_EQ(lines.front(), target.firstReadLine);
            EXPECT_EQ(lines.back(), ":00000001FF");
        }
    }
    // The window's settings file is neither read nor written.
    EXPECT_TRUE(std::filesystem::is_empty(folder / "home"));
    EXPECT_TRUE(std::filesystem::is_empty(folder / "config"));
}

TEST_F(Cli, EachExitStatusComesFromARealCause) {
    // A name beyond ASCII, which a message shows as it was given.
    const std::string noConfig =
        folder.Write("ohne \xC3\x9F.hex", ":020000000528D1\n:00000001FF\n");
    const std::string noFuseX = folder.Write("no-fusex.hex", ":020000000528D1\n:022020009B0F14\n");
    const std::string badSum = folder.Write("bad-sum.hex", "; one\n:020000000528D2\n:00000001FF\n");
    const std::string tooLarge = folder.Write("too-large.hex", ":020800000000F6\n:00000001FF\n");
    const std::string missing = (folder / "missing.hex").string();
    const std::string aFolder = (folder / "home").string();
    const std::string noData = folder.Write("no-data.hex", "; nothing\n:00000001FF\n");
    // A 16F877's program words 0x800 and 0x1010, which an SX28 would cut off and take for
    // its FUSE word.
    const std::string picOnSx =
        folder.Write("pic-on-sx.hex", ":02100000FF3FB0\n:02202000FF3F80\n:00000001FF\n");
    const std::string noFolder = (folder / "none" / "x.hex").string();
    const std::string protecting =
        folder.Write("protecting.hex", ":02400E00723FFF\n:020000000528D1\n");
    const std::string pic = "16F84A", sx = "SX28";
    const std::string noPic16 =
        " which fits no PIC16; an SX is never asked with its own sequence by -d auto: give -d "
        "SX28 or -d SX48.\n";
    const auto noWord = [](const std::string& given, const char* most) {
        return Usage(given + " is no configuration word: 1 to 4 hexadecimal digits, at most " +
                     most);
    };
    struct Cause {
        int status;
        std::string chip;  // in the socket, erased
        std::vector<std::string> arguments;
        std::string err;
        std::string out = "";
        std::string faults = "";
    };
    const std::vector<Cause> causes = {
        {2, pic, {}, Usage("no command given")},
        {2, pic, Args("burn"), Usage("unknown command 'burn'")},
        {2, pic, Args("detect", "--fast"), Usage("unknown option '--fast'")},
        {2, pic, Args("--driver", "usb", "detect"),
         Usage("unknown driver 'usb'; one of auto, d2xx, libftdi")},
        {2, pic, Args("blank"), Usage("blank needs the device: -d NAME")},
        {2, pic, Args("blank", "--device=16F99"),
         Usage("unknown device '16F99'; one of 16F84A, 16F870, 16F871, 16F872, 16F873, 16F874, "
               "16F876, 16F877, SX28, SX48")},
        {2, pic, Args("program", "-d", "16F84A"), Usage("program needs one HEX file")},
        {2, pic, Args("verify", "-d", "16F84A", PIC_SAMPLE, PIC_SAMPLE),
         Usage("verify needs one HEX file")},
        {2, sx, Args("read", "-d", "sx28", "--no-erase"),
         Usage("--no-erase belongs to program, not to read")},
        {2, pic, Args("program", "-d", "16F84A", "--fusex", "FFF", PIC_SAMPLE),
         Usage("--fuse and --fusex are SX words; a 16F84A has --config")},
        {2, sx, Args("program", "-d", "SX28", "--config", "3FF1", SX_SAMPLE),
         Usage("--config is the PIC16 configuration word; an SX28 has --fuse and --fusex")},
        // The largest words there are, one past them, a letter and a sign.
        {0, pic, Args("-q", "program", "-d", "16F84A", "--config", "3FFF", noConfig), ""},
        {0, sx, Args("-q", "program", "-d", "SX28", "--fuse", "FFF", "--fusex", "FFF", SX_SAMPLE),
         ""},
        {2, pic, Args("program", "-d", "16F84A", "--config", "4000", noConfig),
         noWord("--config '4000'", "3FFF")},
        {2, sx, Args("program", "-d", "SX28", "--fuse", "1000", SX_SAMPLE),
         noWord("--fuse '1000'", "FFF")},
        {2, sx, Args("program", "-d", "SX28", "--fusex", "1000", SX_SAMPLE),
         noWord("--fusex '1000'", "FFF")},
        {2, pic, Args("verify", "-d", "16F84A", "--config", "3FG1", PIC_SAMPLE),
         noWord("--config '3FG1'", "3FFF")},
        {2, pic, Args("verify", "-d", "16F84A", "--config=-1", PIC_SAMPLE),
         noWord("--config '-1'", "3FFF")},
        {2, sx, Args("verify", "-d", "SX28", "--fusex=-0", SX_SAMPLE),
         noWord("--fusex '-0'", "FFF")},
        {2, sx, Args("verify", "-d", "SX28", "--fuse=-F00", SX_SAMPLE),
         noWord("--fuse '-F00'", "FFF")},
        // An option's file has a name.
        {2, pic, Args("blank", "-d", "16F84A", "--log", ""), Usage("--log needs a file name")},
        {2, pic,
         Args("program", "-d", "16F84A", "--serial-file", "", "--serial-at", "id", PIC_SAMPLE),
         Usage("--serial-file needs a file name")},
        {2, pic, Args("read", "-d", "16F84A", "-o", ""),
         Usage("-o needs a file name, or - for stdout")},
        // 3F72 protects a 16F84A's code, not a 16F877's.
        {2, pic, Args("program", "-d", "16F84A", protecting),
         "vekflash-cli: the configuration word 3F72 turns on code protection: the chip could no "
         "longer be read or verified; give --allow-code-protection to program it anyway\n"},
        {0, pic, Args("-q", "program", "--allow-code-protection", "-d", "16F84A", protecting), ""},
        {0, "16F877", Args("-q", "program", "-d", "16F877", protecting), ""},
        {2, pic, Args("verify", "--allow-code-protection", "-d", "16F84A", protecting),
         Usage("--allow-code-protection belongs to program, not to verify")},
        {2, sx, Args("-d", "SX28", "program", "--preserve-eeprom", SX_SAMPLE),
         Usage("an SX28 has no EEPROM to preserve")},
        {2, pic, Args("-d", "16F84A", "verify", "--preserve-eeprom", PIC_SAMPLE),
         Usage("--preserve-eeprom belongs to program, not to verify")},
        {2, pic, Args("program", "-d", "auto", PIC_SAMPLE),
         Usage("-d auto belongs to id, read and verify, not to program")},
        {2, pic, Args("program", "-d", "16F84A", noConfig),
         "vekflash-cli: " + noConfig + " carries no configuration word: give --config\n"},
        {2, sx, Args("program", "-d", "SX28", noFuseX),
         "vekflash-cli: " + noFuseX + " carries no FUSEX word: give --fusex\n"},

        {3, pic, Args("program", "-d", "16F84A", missing),
         "Error: HEX file could not be opened.\n"},
        {3, pic, Args("verify", "-d", "16F84A", noData),
         "The file no-data.hex holds no HEX data.\n"},
        {3, sx, Args("program", "-d", "SX28", "--fuse", "7FB", "--fusex", "F40", picOnSx),
         "Selected HEX file is too large to fit into device FLASH.\n"},
        {3, pic, Args("read", "-d", "16F84A", "-o", noFolder),
         "Error: " + noFolder + " could not be written: there is no folder " +
             (folder / "none").string() + ".\n"},
        {3, pic, Args("verify", "-d", "16F84A", badSum), "Checksum error in HEX file (line 2).\n"},
        {3, pic, Args("program", "-d", "16F84A", "--config", "3FF1", tooLarge),
         "Selected HEX file is too large to fit into device FLASH.\n"},
        {3, pic, Args("read", "-d", "16F84A", "-o", aFolder),
         "Error: " + aFolder + " could not be written: it is not a regular file.\n"},

        {4, pic, Args("detect"), "Error: Unable to detect presence of VEK Flash programmer.\n",
         "USB driver: d2xx\n", "detached"},
        // No answer to BEGIN.
        {4, pic, Args("blank", "-d", "16F84A"),
         "VEK Flash programmer is not responding to commands.(1b)\nDisconnect the programmer "
         "from the USB cable, check\nthe device of -d and try again.\n",
         "", "reply:0x53,0,1,0,0"},
        // A block unanswered.
        {4, pic, Args("program", "-d", "16F84A", PIC_SAMPLE),
         "Bad ACK during Flash programming. (0xA5)\n", "", "reply:0x20000,3,0,0,0"},

        {5, sx, Args("read", "-d", "16F84A"),
         "Warning: The processor selected (16F84A) may be different from the target\nthat is "
         "currently connected to the programmer.\nThe programmer detected an ID of FC0. \n\nValid "
         "IDs:\n16F84A: 560\t\t16F870: D00\n16F871: D20\t\t16F872: 8E0\n16F873: 960\t\t16F874: "
         "920\n16F876: 9E0\t\t16F877: 9A0\nSX28:  FCE\t\tSX48:  002 \n\n vekflash-cli does not "
         "let the programmer power the target: it needs a supply of its own.\n"},
        {5, sx, Args("id", "-d", "16f84a"), "The chip's device ID FCE is not that of the 16F84A.\n",
         "FCE SX28\n"},
        // -d auto asks the PIC16 way only; an empty socket answers zeros.
        {5, sx, Args("id", "-d", "auto"), "-d auto: the chip reports ID FCE," + noPic16,
         "FCE SX28\n"},
        {5, "SX48", Args("read", "-d", "auto"), "-d auto: the chip reports ID 002," + noPic16},
        {5, pic, Args("verify", "-d", "auto", PIC_SAMPLE),
         "-d auto: the chip reports ID 000," + noPic16 +
             "An ID of all zeros or all ones: no chip in the socket, a chip the wrong way round, "
             "or no target power are the usual causes.\n",
         "", "reply:0x56,0,1,1,0;reply:0x56,0,2,1,0"},
    };
    for (const Cause& cause : causes) {
        SCOPED_TRACE(testing::PrintToString(cause.arguments));
        std::filesystem::remove(folder / "chip");
        const CliRun run = Run(cause.arguments, cause.chip, "chip", cause.faults);
        EXPECT_EQ(run.status, cause.status);
        EXPECT_EQ(run.err, cause.err);
        EXPECT_EQ(run.out, cause.out);
        // No pause after the warning: nobody is there to read it.
        EXPECT_LT(run.milliseconds, 3000);
    }
}

#if !defined(_WIN32)  // the simulator stops the program with SIGSTOP
// The file changes while the chip's first command waits. Program has loaded it before the chip
// is addressed and writes what it loaded; Verify reads it again after that command, and a file
// gone by then is a file error, not a verdict.
TEST_F(Cli, AFileThatChangesDuringACommandIsWrittenAsLoadedOrAFileError) {
    struct Change {
        const char* command;
        bool removed;  // else damaged
        int status;
        std::string err;
    };
    const Change changes[] = {
        {"program", false, 0, "Programming complete.\n"},
        {"verify", true, 3, "The hex file chosen.hex could not be opened.\n"},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(std::string(change.command) + (change.removed ? " removed" : " damaged"));
        std::filesystem::remove(folder / "pic");
        const std::string chosen = folder.Write("chosen.hex", ReadFile(PIC_SAMPLE));
        bool stopped = false;
        const CliRun run = Run(Args(change.command, "-d", "16F84A", chosen), "16F84A", "pic",
                               "reply:0x53,0,0,4,0", false, [&] {
                                   stopped = true;
                                   if (change.removed) {
                                       std::filesystem::remove(chosen);
                                   } else {
                                       folder.Write("chosen.hex", ":020000000528D2\n");
                                   }
                               });
        EXPECT_TRUE(stopped);
        EXPECT_EQ(run.status, change.status);
        EXPECT_EQ(run.err, change.err);
        if (change.status == 0) {
            EXPECT_EQ(Run(Args("verify", "-d", "16F84A", PIC_SAMPLE), "16F84A", "pic").status, 0);
        }
    }
}
#endif

TEST_F(Cli, WithoutTheDriverLibraryEveryCommandNeedingTheProgrammerEndsWithStatus4) {
    // Where libftdi1 is built in, the advice names it; on Windows D2XX is the only driver.
#if defined(_WIN32)
    const std::string missingDriver =
        "Error: DLL drivers not found. \n\nInstall FTDI's D2XX library (Ftd2xx.dll) from "
        "http://www.ftdichip.com or http://www.vekdesign.com; README.txt says how.\n";
#else
    const std::string missingDriver =
        "Error: FTDI's D2XX library (libftd2xx.so) was not found. Install it, or leave out "
        "--driver d2xx to use libftdi1 (Debian: sudo apt install libftdi1-2).\n";
#endif
    for (const std::vector<std::string>& arguments :
         {Args("--driver", "d2xx", "detect"), Args("--driver", "d2xx", "read", "-d", "16F84A"),
          Args("--driver", "d2xx", "program", "-d", "16F84A", PIC_SAMPLE)}) {
        SCOPED_TRACE(arguments[2]);
        libraryFolder = folder.Path().string();  // a folder without the library
        const CliRun run = Run(arguments);
        EXPECT_EQ(run.status, 4);
        EXPECT_EQ(run.err, missingDriver);
        EXPECT_EQ(run.out, "");
    }
    // Neither does the simulated chip see anything.
    EXPECT_FALSE(std::filesystem::exists(folder / "pic"));
}

TEST_F(Cli, VerifyAllListsEveryDifferenceWithTheirCount) {
    ASSERT_EQ(Run(Args("program", "-d", "16F84A", PIC_SAMPLE)).status, 0);
    // The sample with word 0 and EEPROM location 1 changed.
    const std::string changed = folder.Write(
        "changed.hex",
        ":1000000034128601831201308606072003288C0BE8\n:0400100007280800B5\n"
        ":084000000100020003000400AE\n:02400E00F13F80\n:06420000560041004B00D6\n:00000001FF\n");
    const CliRun run = Run(Args("verify", "--all", "--config", "3ff2", "-d", "16F84A", changed));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "program 0000: expected 1234, read 1683\n"
              "config 2007: expected 3FF2, read 3FF1\n"
              "eeprom 0001: expected 41, read 45\n"
              "3 differences\n");
    // The window's text, closed as a line of the command line.
    EXPECT_EQ(run.err, "Program ROM verify failed at word 0. (expected 0x1234, read 0x1683)\n");

    const CliRun passed = Run(Args("verify", "--all", "-d", "16F84A", PIC_SAMPLE));
    EXPECT_EQ(passed.status, 0);
    EXPECT_EQ(passed.out, "0 differences\n");
}

// A stray byte after the configuration word's low byte: what follows is taken a byte off.
TEST_F(Cli, AReadStreamThatGainedAByteIsALinkFaultNotAFileOrADifference) {
    ASSERT_EQ(Run(Args("program", "-d", "16F84A", PIC_SAMPLE)).status, 0);
    const std::string stray = "reply:0x52,0,2,3,1";
    const std::filesystem::path kept = folder / "kept.hex";
    const CliRun read =
        Run(Args("read", "-d", "16F84A", "-o", kept.string()), "16F84A", "pic", stray);
    EXPECT_EQ(read.status, 4);
    EXPECT_FALSE(std::filesystem::exists(kept));

    const CliRun json = Run(Args("read", "--json", "-d", "16F84A"), "16F84A", "pic", stray);
    EXPECT_EQ(json.status, 4);
    const nlohmann::json report = nlohmann::json::parse(json.out);
    EXPECT_EQ(report["outcome"], "programmer");
    EXPECT_FALSE(report.contains("hex"));

    const CliRun verify = Run(Args("verify", "-d", "16F84A", PIC_SAMPLE), "16F84A", "pic", stray);
    EXPECT_EQ(verify.status, 4);
}

// -o writes a regular file, the one a link names with the link kept, and - is stdout; any
// other file is refused before the chip is read, and left as it is.
TEST_F(Cli, ReadWritesARegularFileOrStdout) {
    ASSERT_EQ(Run(Args("program", "-d", "16F84A", PIC_SAMPLE)).status, 0);
    const std::string hex = Run(Args("read", "-d", "16F84A")).out;
    ASSERT_TRUE(hex.starts_with(":10000000"));

    const CliRun toStdout = Run(Args("read", "-d", "16F84A", "-o", "-"));
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_EQ(toStdout.out, hex);

#if !defined(_WIN32)  // where making a symbolic link takes a privilege
    const std::filesystem::path kept = folder / "kept.hex";
    const std::filesystem::path link = folder / "link.hex";
    folder.Write("kept.hex", "old");
    std::filesystem::create_symlink(kept, link);
    EXPECT_EQ(Run(Args("read", "-d", "16F84A", "-o", link.string())).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(kept), hex);

    const std::filesystem::path fifo = folder / "fifo";
    const std::filesystem::path fifoLink = folder / "fifo-link";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink(fifo, fifoLink);
    for (const std::filesystem::path& path : {fifo, fifoLink}) {
        SCOPED_TRACE(path);
        const CliRun refused = Run(Args("read", "-d", "16F84A", "-o", path.string()));
        EXPECT_EQ(refused.status, 3);
        EXPECT_TRUE(std::filesystem::is_fifo(fifo));
        EXPECT_TRUE(std::filesystem::is_symlink(fifoLink));
    }
#endif
}

#if !defined(_WIN32)  // Windows has no pseudo-terminal to hand the program as its stderr
TEST_F(Cli, TheProgressBarShowsOnATerminalOnly) {
    const std::string onTerminal = (folder / "a.hex").string();
    const std::string inAFile = (folder / "b.hex").string();
    const CliRun shown = Run(Args("read", "-d", "16F84A", "-o", onTerminal), "16F84A", "pic", "",
                             /*terminal=*/true);
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.err.find("\rread [........................................]   0%"),
              std::string::npos)
        << shown.err;
    EXPECT_NE(shown.err.find("\rread [########################################] 100%"),
              std::string::npos)
        << shown.err;

    const CliRun hidden = Run(Args("read", "-d", "16F84A", "-o", inAFile));
    EXPECT_EQ(hidden.status, 0);
    EXPECT_EQ(hidden.err, "");
    EXPECT_EQ(ReadFile(onTerminal), ReadFile(inAFile));

    // A narrow terminal gets a shorter bar, drawn over in place; each drawing fits the line.
    for (const unsigned short columns : {40, 12, 5}) {
        SCOPED_TRACE(columns);
        terminalColumns = columns;
        const CliRun narrow = Run(Args("program", "-d", "16F84A", PIC_SAMPLE), "16F84A", "pic", "",
                                  /*terminal=*/true);
        EXPECT_EQ(narrow.status, 0);
        int drawn = 0;
        for (std::string drawing : Lines(narrow.err, '\r')) {
            drawing = drawing.substr(0, drawing.find('\n'));
            EXPECT_LT(drawing.size(), columns) << drawing;
            drawn += drawing.empty() ? 0 : 1;
        }
        EXPECT_GT(drawn, 2);
        // The bar is full before the result comes.
        EXPECT_LT(narrow.err.find("100%"), narrow.err.find("Programming complete.")) << narrow.err;
    }
    // Blank Check moves no progress, so it shows none.
    EXPECT_EQ(Run(Args("blank", "-d", "16F84A"), "16F84A", "pic", "", true).err.find('%'),
              std::string::npos);
    terminalColumns = 40;
    EXPECT_NE(Run(Args("read", "-d", "16F84A"), "16F84A", "pic", "", true)
                  .err.find("\rread [###########################] 100%"),
              std::string::npos);
}
#endif

// The files beyond ASCII, in a folder named so too, as given on the command line.
TEST_F(Cli, AChipReadAndSavedProgramsABlankOneToTheSameContents) {
    const std::string within = "Ordner \xC3\xA4\xC3\xB6\xC3\xBC \xE2\x82\xAC";
    std::filesystem::create_directory(folder / within);
    const std::vector<std::pair<std::string, std::string>> trips = {
        // Words at both ends of memory, a configuration word with the EEPROM unprotected,
        // EEPROM bytes 0x00 and 0x5A at locations 0 and 1 and 0xA5 at the last one.
        {"16F877",
         ":0600000005280000831634\n:043FFC002301FE3F60\n:02400E00723FFF\n:0442000000005A0060\n"
         ":0243FE00A50018\n:00000001FF\n"},
        {"SX48", ":04000000A5000F0C3C\n:021FFE00000AD7\n:04202000FB07400F6B\n:00000001FF\n"},
    };
    for (const auto& [device, text] : trips) {
        SCOPED_TRACE(device);
        const std::string source =
            folder.Write(within + "/" + device + " bl\xC3\xAFnk \xE6\x97\xA5.hex", text);
        const std::string saved = Utf8FromPath(folder / (within + "/" + device + " \xCE\xA9.hex"));
        const std::string first = device + "-first";
        const std::string second = device + "-second";

        ASSERT_EQ(Run(Args("program", "-d", device, source), device, first).status, 0);
        EXPECT_EQ(Run(Args("read", "-d", device, "-o", saved), device, first).status, 0);
        EXPECT_EQ(Run(Args("program", "-d", device, saved), device, second).status, 0);
        EXPECT_EQ(Run(Args("verify", "-d", device, saved), device, second).status, 0);
        EXPECT_EQ(Run(Args("verify", "-d", device, source), device, second).status, 0);

        // Both chips hold the same, and the second reads as the file it was programmed from.
        EXPECT_EQ(ReadFile(folder / first), ReadFile(folder / second));
        EXPECT_EQ(Run(Args("read", "-d", device), device, second).out,
                  ReadFile(PathFromUtf8(saved)));
    }
}

TEST_F(Cli, HelpAndVersion) {
    const CliRun help = Run(Args("--help"));
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: vekflash-cli [options] COMMAND\n"));
    EXPECT_NE(
        help.out.find(
            "Exit status:\n  0  success\n  1  verify found a difference, the chip is not "
            "blank, or its EEPROM is\n     protected and cannot be kept\n  2  the command line "
            "cannot be used or contradicts the job of --job, or the\n     configuration word "
            "turns on code protection without --allow-code-protection\n"),
        std::string::npos);
    EXPECT_NE(help.out.find("  5  the chip's device ID differs from --device\n"),
              std::string::npos);
    EXPECT_NE(
        help.out.find("      --driver NAME            the USB driver: auto (the default: D2XX "
                      "when its\n                               library is installed, else "
                      "libftdi1), d2xx or\n                               libftdi\n"),
        std::string::npos);
    EXPECT_EQ(Run(Args("detect", "--version")).out, "vekflash-cli 1.4\n");
}

}  // namespace
}  // namespace vek::test
