// vekflash-cli end to end: each command on a PIC16 and an SX chip in the simulated programmer,
// each exit status from a real cause, the progress bar, and a chip read, saved and programmed
// into another one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "temp_folder.h"

extern char** environ;

namespace vek::test {
namespace {

using Environment = std::map<std::string, std::string>;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
    long long milliseconds = 0;
};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

const std::string PIC_SAMPLE = VEK_EXAMPLES_DIR "/blink-16f84a.hex";
const std::string SX_SAMPLE = VEK_EXAMPLES_DIR "/blink-sx28.hex";
const std::string USAGE_HINT = "Try 'vekflash-cli --help' for more.\n";

class Cli : public ::testing::Test {
  protected:
    Cli() {
        std::filesystem::create_directory(folder / "home");
        std::filesystem::create_directory(folder / "config");
    }

    // Runs the program with the simulator as its D2XX library and an empty home; stderr goes
    // to a terminal when asked, else to a file.
    CliRun Run(const std::vector<std::string>& arguments, const Environment& extra = {},
               bool terminal = false) {
        std::vector<std::string> words{VEK_CLI};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> variables = Variables(extra);
        std::vector<char*> envp;
        for (std::string& variable : variables) {
            envp.push_back(variable.data());
        }
        envp.push_back(nullptr);

        const std::string outPath = (folder / "stdout").string();
        const std::string errPath = (folder / "stderr").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        int master = -1;
        if (terminal) {
            master = posix_openpt(O_RDWR | O_NOCTTY);
            EXPECT_GE(master, 0);
            grantpt(master);
            unlockpt(master);
            posix_spawn_file_actions_addopen(&actions, 2, ptsname(master), O_RDWR | O_NOCTTY, 0);
        } else {
            posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
        }
        const auto start = std::chrono::steady_clock::now();
        pid_t child = 0;
        CliRun run;
        const int spawned =
            posix_spawn(&child, VEK_CLI, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0) << std::strerror(spawned);
        if (spawned == 0) {
            run.err = terminal ? ReadTerminal(master, child) : "";
            int status = 0;
            waitpid(child, &status, 0);
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        run.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
        if (master >= 0) {
            close(master);
        }
        run.out = ReadFile(outPath);
        if (!terminal) {
            run.err = ReadFile(errPath);
        }
        return run;
    }

    // The chip named, its memory kept in a state file of the folder under that name.
    Environment Chip(const std::string& chip, const std::string& state) {
        return {{"VEKSIM_CHIP", chip}, {"VEKSIM_STATE", (folder / state).string()}};
    }
    std::string File(const std::string& name, const std::string& text) {
        return folder.Write(name, text);
    }

    TempFolder folder;

  private:
    // The parent's environment but for what would change the run: ours goes in instead.
    std::vector<std::string> Variables(const Environment& extra) {
        Environment variables;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            const std::size_t equals = text.find('=');
            variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
        std::erase_if(variables,
                      [](const auto& variable) { return variable.first.starts_with("VEKSIM_"); });
        variables["LD_LIBRARY_PATH"] = VEK_SIM_DIR;
        variables["HOME"] = (folder / "home").string();
        variables["XDG_CONFIG_HOME"] = (folder / "config").string();
        for (const auto& [name, value] : extra) {
            variables[name] = value;
        }
        std::vector<std::string> list;
        for (const auto& [name, value] : variables) {
            list.push_back(name + "=" + value);
        }
        return list;
    }

    // Everything the terminal shows until the program has ended: once it has closed its end,
    // a read gives an error instead of blocking.
    static std::string ReadTerminal(int master, pid_t child) {
        std::string text;
        for (;;) {
            pollfd ready{master, POLLIN, 0};
            if (poll(&ready, 1, 100) > 0) {
                char buffer[4096];
                const ssize_t count = read(master, buffer, sizeof buffer);
                if (count <= 0) {
                    return text;
                }
                text.append(buffer, static_cast<std::size_t>(count));
                continue;
            }
            siginfo_t ended{};
            if (waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                ended.si_pid == child) {
                return text;
            }
        }
    }
};

struct Target {
    const char* chip;
    const char* device;  // as typed: any letter case
    std::string sample;
    const char* idLine;
    const char* firstReadLine;
    std::size_t readLines;
    const char* erasedMismatch;
};

struct Step {
    std::vector<std::string> arguments;  // the device is added
    int status;
    // What stdout holds; nothing: the chip as a HEX file.
    std::optional<std::string> out;
    std::string err;
};

TEST_F(Cli, EachCommandOnAPic16AndAnSxChip) {
    const std::vector<Target> targets = {
        {"16F84A", "16F84A", PIC_SAMPLE, "560 16F84A\n",
         ":1000000083168601831201308606072003288C0B95", 138,
         "Program ROM verify failed at word 0. (expected 0x1683, read 0x3FFF\n"},
        {"SX28", "sx28", SX_SAMPLE, "FCE SX28\n", ":10000000000C0600010C8601030AFF0FFF0FFF0F13",
         258, "Program ROM verify failed at word 0. (expected 0x0C00, read 0x0FFF\n"},
    };
    for (const Target& target : targets) {
        SCOPED_TRACE(target.chip);
        const std::vector<Step> steps = {
            {{"detect"}, 0, "", "VEK Flash programmer ready.\n"},
            {{"id"}, 0, target.idLine, ""},
            {{"blank"}, 0, "", "Device is blank\n"},
            {{"program", target.sample}, 0, "", "Programming complete.\n"},
            {{"blank"}, 1, "", "Device is not blank\n"},
            {{"verify", target.sample}, 0, "", "Verify passed\n"},
            {{"read"}, 0, std::nullopt, ""},
            {{"erase"}, 0, "", "Device is blank\n"},
            {{"verify", target.sample}, 1, "", target.erasedMismatch},
        };
        for (Step step : steps) {
            SCOPED_TRACE(step.arguments.front());
            step.arguments.insert(step.arguments.end(), {"-d", target.device});
            const CliRun run = Run(step.arguments, Chip(target.chip, target.chip));
            EXPECT_EQ(run.status, step.status);
            EXPECT_EQ(run.err, step.err);  // not a trace of a progress bar either
            if (step.out) {
                EXPECT_EQ(run.out, *step.out);
                continue;
            }
            const std::vector<std::string> lines = LinesOf(run.out);
            ASSERT_EQ(lines.size(), target.readLines);
            EXPECT_EQ(lines.front(), target.firstReadLine);
            EXPECT_EQ(lines.back(), ":00000001FF");
        }
    }
    // The window's settings file is neither read nor written.
    EXPECT_TRUE(std::filesystem::is_empty(folder / "home"));
    EXPECT_TRUE(std::filesystem::is_empty(folder / "config"));
}

struct Cause {
    const char* name;
    std::vector<std::string> arguments;
    Environment environment;
    int status;
    std::string err;
    bool programmedFirst = false;
    std::string out = "";
};

TEST_F(Cli, EachExitStatusComesFromARealCause) {
    const std::string noConfig = File("no-config.hex", ":020000000528D1\n:00000001FF\n");
    const std::string badSum = File("bad-sum.hex", "; one\n:020000000528D2\n:00000001FF\n");
    const std::string tooLarge = File("too-large.hex", ":020800000000F6\n:00000001FF\n");
    const std::string missing = (folder / "missing.hex").string();
    const std::string aFolder = (folder / "home").string();
    const Environment pic = Chip("16F84A", "pic");
    const Environment sx = Chip("SX28", "sx");
    Environment detached = pic;
    detached["VEKSIM_FAULTS"] = "detached";
    Environment readyDropped = pic;
    readyDropped["VEKSIM_FAULTS"] = "reply:0x53,0,1,0,0";
    Environment blockAckDropped = pic;
    blockAckDropped["VEKSIM_FAULTS"] = "reply:0x20000,3,0,0,0";
    const std::string fatal1b =
        "VEK Flash programmer is not responding to commands.(1b)\nDisconnect the programmer "
        "from the USB cable, check\nthe processor type and try again.\n\nThis application will "
        "now terminate!\n";
    const std::string wrongChip =
        "Warning: The processor selected (16F84A) may be different from the target\nthat is "
        "currently connected to the programmer.\nThe programmer detected an ID of FC0. \n\nValid "
        "IDs:\n16F84A: 560\t\t16F870: D00\n16F871: D20\t\t16F872: 8E0\n16F873: 960\t\t16F874: "
        "920\n16F876: 9E0\t\t16F877: 9A0\nSX28:  FCE\t\tSX48:  002 \n\n Power may need to be "
        "enabled from the Setup menu.\n";

    const std::vector<Cause> causes = {
        {"not blank and not to be erased",
         {"program", "--no-erase", "-d", "16f84a", PIC_SAMPLE},
         pic,
         1,
         "Device is not blank. Either erase the device or \nselect Auto Erase feature in the "
         "Setup menu.\n",
         true},
        {"quiet success says nothing",
         {"-q", "verify", "-d", "16F84A", PIC_SAMPLE},
         pic,
         0,
         "",
         true},
        {"quiet failure is told",
         {"blank", "--quiet", "-d", "16F84A"},
         pic,
         1,
         "Device is not blank\n",
         true},

        {"no command", {}, pic, 2, "vekflash-cli: no command given\n" + USAGE_HINT},
        {"unknown command",
         {"burn"},
         pic,
         2,
         "vekflash-cli: unknown command 'burn'\n" + USAGE_HINT},
        {"unknown option",
         {"detect", "--fast"},
         pic,
         2,
         "vekflash-cli: unknown option '--fast'\n" + USAGE_HINT},
        {"no device",
         {"blank"},
         pic,
         2,
         "vekflash-cli: blank needs the device: -d NAME\n" + USAGE_HINT},
        {"unknown device",
         {"blank", "--device=16F99"},
         pic,
         2,
         "vekflash-cli: unknown device '16F99'; one of 16F84A, 16F870, 16F871, 16F872, 16F873, "
         "16F874, 16F876, 16F877, SX28, SX48\n" +
             USAGE_HINT},
        {"no file",
         {"program", "-d", "16F84A"},
         pic,
         2,
         "vekflash-cli: program needs one HEX file\n" + USAGE_HINT},
        {"option of another command",
         {"read", "-d", "sx28", "--no-erase"},
         sx,
         2,
         "vekflash-cli: --no-erase belongs to program, not to read\n" + USAGE_HINT},
        {"PIC16 word for an SX",
         {"program", "-d", "SX28", "--config", "3FF1", SX_SAMPLE},
         sx,
         2,
         "vekflash-cli: --config is the PIC16 configuration word; an SX28 has --fuse and "
         "--fusex\n" +
             USAGE_HINT},
        {"no hexadecimal word",
         {"verify", "-d", "16F84A", "--config", "3FG1", PIC_SAMPLE},
         pic,
         2,
         "vekflash-cli: --config '3FG1' is no configuration word: 1 to 4 hexadecimal digits, at "
         "most 3FFF\n" +
             USAGE_HINT},
        {"file without its word",
         {"program", "-d", "16F84A", noConfig},
         pic,
         2,
         "vekflash-cli: " + noConfig + " carries no configuration word: give --config\n"},

        {"missing file",
         {"program", "-d", "16F84A", missing},
         pic,
         3,
         "Error: HEX file could not be opened.\n"},
        {"checksum",
         {"verify", "-d", "16F84A", badSum},
         pic,
         3,
         "Checksum error in HEX file (line 2).\n"},
        {"too large",
         {"program", "-d", "16F84A", "--config", "3FF1", tooLarge},
         pic,
         3,
         "Selected HEX file is too large to fit into device FLASH.\n"},
        {"output not writable",
         {"read", "-d", "16F84A", "-o", aFolder},
         pic,
         3,
         "Error: " + aFolder + " could not be written.\n"},

        {"no programmer",
         {"detect"},
         detached,
         4,
         "Error: Unable to detect presence of VEK Flash programmer.\n"},
        {"no answer to BEGIN", {"blank", "-d", "16F84A"}, readyDropped, 4, fatal1b},
        {"a block unanswered",
         {"program", "-d", "16F84A", PIC_SAMPLE},
         blockAckDropped,
         4,
         "Bad ACK during Flash programming. (0xA5)\n"},

        {"another chip", {"read", "-d", "16F84A"}, Chip("SX28", "sx"), 5, wrongChip},
        {"another chip's ID",
         {"id", "-d", "16f84a"},
         Chip("SX28", "sx"),
         5,
         "The chip's device ID FCE is not that of the 16F84A.\n",
         false,
         "FCE SX28\n"},
    };
    ASSERT_EQ(Run({"program", "-d", "16F84A", PIC_SAMPLE}, pic).status, 0);
    for (const Cause& cause : causes) {
        SCOPED_TRACE(cause.name);
        if (!cause.programmedFirst) {
            std::filesystem::remove(folder / "pic");
        } else if (!std::filesystem::exists(folder / "pic")) {
            ASSERT_EQ(Run({"program", "-d", "16F84A", PIC_SAMPLE}, pic).status, 0);
        }
        const CliRun run = Run(cause.arguments, cause.environment);
        EXPECT_EQ(run.status, cause.status);
        EXPECT_EQ(run.err, cause.err);
        EXPECT_EQ(run.out, cause.out);
        // No pause after the warning: nobody is there to read it.
        EXPECT_LT(run.milliseconds, 3000);
    }
}

TEST_F(Cli, VerifyAllListsEveryDifferenceWithTheirCount) {
    const Environment pic = Chip("16F84A", "pic");
    ASSERT_EQ(Run({"program", "-d", "16F84A", PIC_SAMPLE}, pic).status, 0);
    // The sample with word 0 and EEPROM location 1 changed.
    const std::string changed =
        File("changed.hex",
             ":1000000034128601831201308606072003288C0BE8\n:0400100007280800B5\n"
             ":084000000100020003000400AE\n:02400E00F13F80\n:06420000560041004B00D6\n"
             ":00000001FF\n");
    const CliRun run = Run({"verify", "--all", "--config", "3ff2", "-d", "16F84A", changed}, pic);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "program 0000: expected 1234, read 1683\n"
              "config 2007: expected 3FF2, read 3FF1\n"
              "eeprom 0001: expected 41, read 45\n"
              "3 differences\n");
    EXPECT_EQ(run.err, "Program ROM verify failed at word 0. (expected 0x1234, read 0x1683\n");

    const CliRun passed = Run({"verify", "--all", "-d", "16F84A", PIC_SAMPLE}, pic);
    EXPECT_EQ(passed.status, 0);
    EXPECT_EQ(passed.out, "0 differences\n");
}

TEST_F(Cli, TheProgressBarShowsOnATerminalOnly) {
    const CliRun onTerminal = Run({"read", "-d", "16F84A", "-o", (folder / "a.hex").string()},
                                  Chip("16F84A", "pic"), true);
    EXPECT_EQ(onTerminal.status, 0);
    EXPECT_NE(onTerminal.err.find("\rread [........................................]   0%"),
              std::string::npos)
        << onTerminal.err;
    EXPECT_NE(onTerminal.err.find("\rread [########################################] 100%"),
              std::string::npos)
        << onTerminal.err;

    const CliRun inAFile =
        Run({"read", "-d", "16F84A", "-o", (folder / "b.hex").string()}, Chip("16F84A", "pic"));
    EXPECT_EQ(inAFile.status, 0);
    EXPECT_EQ(inAFile.err, "");
    EXPECT_EQ(ReadFile(folder / "a.hex"), ReadFile(folder / "b.hex"));
}

struct RoundTrip {
    const char* device;
    std::string source;
};

TEST_F(Cli, AChipReadAndSavedProgramsABlankOneToTheSameContents) {
    const std::vector<RoundTrip> trips = {
        // Words at both ends of memory, a configuration word with the EEPROM unprotected,
        // EEPROM bytes 0x00 and 0x5A at locations 0 and 1 and 0xA5 at the last one.
        {"16F877",
         ":0600000005280000831634\n:043FFC002301FE3F60\n:02400E00723FFF\n:0442000000005A0060\n"
         ":0243FE00A50018\n:00000001FF\n"},
        {"SX48", ":04000000A5000F0C3C\n:021FFE00000AD7\n:04202000F307400F73\n:00000001FF\n"},
    };
    for (const RoundTrip& trip : trips) {
        SCOPED_TRACE(trip.device);
        const std::string device = trip.device;
        const std::string source = File(device + "-source.hex", trip.source);
        const std::string saved = (folder / (device + "-saved.hex")).string();
        const Environment first = Chip(device, device + "-first");
        const Environment second = Chip(device, device + "-second");

        ASSERT_EQ(Run({"program", "-d", device, source}, first).status, 0);
        ASSERT_EQ(Run({"read", "-d", device, "-o", saved}, first).status, 0);
        const CliRun programmed = Run({"program", "-d", device, saved}, second);
        EXPECT_EQ(programmed.status, 0);
        EXPECT_EQ(programmed.err, "Programming complete.\n");
        const CliRun verified = Run({"verify", "-d", device, saved}, second);
        EXPECT_EQ(verified.status, 0);
        EXPECT_EQ(verified.err, "Verify passed\n");
        EXPECT_EQ(Run({"verify", "-d", device, source}, second).status, 0);

        // Both chips hold the same, and the second reads as the file it was programmed from.
        EXPECT_EQ(ReadFile(folder / (device + "-first")), ReadFile(folder / (device + "-second")));
        EXPECT_EQ(Run({"read", "-d", device}, second).out, ReadFile(saved));
    }
}

TEST_F(Cli, HelpAndVersion) {
    const CliRun help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: vekflash-cli [options] COMMAND\n"));
    EXPECT_NE(help.out.find("Exit status:\n  0  success\n  1  verify found a difference, or the "
                            "chip is not blank\n  2  the command line cannot be used\n"),
              std::string::npos);
    EXPECT_NE(help.out.find("  5  the chip's device ID differs from --device\n"),
              std::string::npos);
    EXPECT_EQ(Run({"detect", "--version"}).out, "vekflash-cli 1.4\n");
}

}  // namespace
}  // namespace vek::test
