// vekflash-cli at a production station: a job saved from a command line and run from it, what
// the command line may change in it, and the firmware it pins.
#include <nlohmann/json.hpp>

#include "cli_fixture.h"

namespace vek::test {
namespace {

const std::string BLINK_SHA = "b8e1aee8394cfebef1c7f42add17ab40f732a461cf23bd32d9c5bfca529324c7";

class Station : public Cli {
  protected:
    // The job line.vekjob beside its HEX file, serial number file and log.
    void SaveJob() {
        hexFile = folder.Write("blink.hex", ReadFile(PIC_SAMPLE));
        serialFile = folder.Write("sn.txt", "1000\n");
        const CliRun saved =
            Run(Args("-d", "16F84A", "save-job", job, "--verify", "--preserve-eeprom",
                     "--serial-file", serialFile, "--serial-at", "eeprom:8:2", "--log",
                     Utf8FromPath(folder / "line.csv"), hexFile));
        ASSERT_EQ(saved.status, 0) << saved.err;
        EXPECT_EQ(saved.err, "The job " + job + " has been written.\n");
    }

    std::string job = Utf8FromPath(folder / "line.vekjob");
    std::string hexFile, serialFile;
};

TEST_F(Station, ASavedJobProgramsAsTheCommandLineItWasSavedFrom) {
    SaveJob();
    EXPECT_EQ(ReadFile(folder / "line.vekjob"),
              "{\n  \"vekflash_job\": 1,\n  \"device\": \"16F84A\",\n  \"hex_file\": "
              "\"blink.hex\",\n  \"hex_sha256\": \"" +
                  BLINK_SHA +
                  "\",\n  \"config\": \"3FF1\",\n  \"erase_before_program\": true,\n  "
                  "\"verify\": true,\n  \"preserve_eeprom\": true,\n  \"allow_code_protection\": "
                  "false,\n  \"serial_at\": "
                  "\"eeprom:8:2\",\n  \"serial_overwrite\": false,\n  \"serial_file\": "
                  "\"sn.txt\",\n  \"log\": \"line.csv\"\n}\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "line.csv"));  // saving programs nothing

    // The folder moves with its files: the HEX file is found beside the job.
    std::filesystem::rename(folder.Path() / "line.vekjob", folder / "home" / "line.vekjob");
    for (const char* name : {"blink.hex", "sn.txt"}) {
        std::filesystem::rename(folder / name, folder / "home" / name);
    }
    const CliRun run = Run(Args("program", "--job", Utf8FromPath(folder / "home" / "line.vekjob")));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "Programming complete.\nVerify passed\n");
    EXPECT_EQ(ReadFile(folder / "home" / "sn.txt"), "1001\n");
    const std::string log = ReadFile(folder / "home" / "line.csv");
    EXPECT_NE(log.find(",16F84A,560," + Utf8FromPath(folder / "home" / "blink.hex") + "," +
                       BLINK_SHA + ",1000,success,0,"),
              std::string::npos)
        << log;
}

TEST_F(Station, TheCommandLineOverridesTheJobButMayNotContradictIt) {
    SaveJob();
    const std::string other = folder.Write("other.hex", ReadFile(PIC_SAMPLE));
    const std::string hint = "\n" + USAGE_HINT;
    const struct {
        std::vector<std::string> words;
        int status;
        std::string err;
    } cases[] = {
        {Args("-d", "16F877"), 2,
         "vekflash-cli: --device 16F877 contradicts the job " + job + ", which is for the 16F84A" +
             hint},
        {Args(other), 2,
         "vekflash-cli: " + other + " contradicts the job " + job + ", which programs " + hexFile +
             hint},
        {Args("--config", "3FF2"), 2,
         "vekflash-cli: --config 3FF2 contradicts the job " + job + ", which writes 3FF1" + hint},
        {Args("--serial-at", "id"), 2,
         "vekflash-cli: --serial-at contradicts the job " + job +
             ", which places the number at eeprom:8:2" + hint},
        // The same device, file and word again; a serial number of its own instead of the file's.
        {Args("-d", "16f84a", "--config", "3ff1", "--serial-number", "7", hexFile), 0,
         "Programming complete.\nVerify passed\n"},
        // Now the chip is not blank, and --no-erase turns the job's erase off.
        {Args("--no-erase", "-q"), 1,
         "Device is not blank. Erase it first (vekflash-cli erase), or program without "
         "--no-erase, which erases it.\n"},
    };
    for (const auto& [words, status, err] : cases) {
        std::vector<std::string> arguments = Args("program", "--job", job);
        arguments.insert(arguments.end(), words.begin(), words.end());
        SCOPED_TRACE(arguments.back());
        const CliRun run = Run(arguments);
        EXPECT_EQ(run.status, status);
        EXPECT_EQ(run.err, err);
    }
    EXPECT_EQ(ReadFile(serialFile), "1000\n");  // the number of the command line was used
}

TEST_F(Station, AJobRefusesAnotherBuildOfItsFileAndAFileThatIsNoJob) {
    SaveJob();
    folder.Write("blink.hex", ReadFile(PIC_SAMPLE) + ":00000001FF\n");
    const CliRun changed = Run(Args("program", "--job", job));
    EXPECT_EQ(changed.status, 3);
    EXPECT_EQ(changed.err, "Error: " + hexFile +
                               " has the SHA-256 "
                               "10ed85f24a2c027a9a453dd289a65fad2d1771d3f02d7b2fc8e92f79f4a40b5c,"
                               " but the job " +
                               job + " programs the one with " + BLINK_SHA + ".\n");
    // Refused before the chip was touched: the log has no row of a run started on it.
    EXPECT_EQ(ReadFile(folder / "line.csv").find(",started,"), std::string::npos);

    const std::string notJob = folder.Write("not.vekjob", "{}");
    const CliRun refused = Run(Args("program", "--job", notJob, "--json"));
    EXPECT_EQ(refused.status, 3);
    EXPECT_EQ(refused.err, "Error: " + notJob +
                               " is no VEK Flash job: vekflash_job 1 is missing "
                               "or wrong.\n");
    EXPECT_NE(refused.out.find("\"exit_status\":3"), std::string::npos);

    for (const auto& words : {Args("-d", "16F84A", "save-job", hexFile),
                              Args("-d", "16F84A", "save-job", job, "--serial-number", "1",
                                   "--serial-at", "id", hexFile),
                              Args("-d", "16F84A", "save-job", "--job", job, job, hexFile),
                              Args("-d", "16F84A", "verify", "--job", job, hexFile)}) {
        EXPECT_EQ(Run(words).status, 2);
    }
}

// The socket as a line sees it: the chip in, programmed, out, and Ctrl+C (the simulator's
// "interrupt") once the socket is empty again.
TEST_F(Station, TheLoopProgramsChipAfterChipUntilCtrlCAndCountsTheDayFromTheLog) {
    SaveJob();
    environment = {{"VEKSIM_SOCKET", "16F84A:fail-verify,interrupt"}};
    const CliRun failed = Run(Args("program", "--job", job, "--loop"));
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "FAIL  serial 1000  0 passed, 1 failed, 1 in all\n");
    EXPECT_EQ(failed.err,
              "Today so far: 0 passed, 0 failed, 0 in all.\nInsert chip.\nProgramming "
              "complete.\nProgram ROM verify failed at word 0. (expected 0x1683, read "
              "0x3FFF)\nRemove chip.\nInsert chip.\nTotals: 0 passed, 1 failed, 1 in all.\n");
    EXPECT_EQ(ReadFile(serialFile), "1000\n");  // a failed chip uses up no number

    environment = {{"VEKSIM_SOCKET", "16F84A,interrupt"}};
    const CliRun passed = Run(Args("program", "--job", job, "--loop", "--json", "-q"));
    EXPECT_EQ(passed.status, 0);
    ASSERT_EQ(passed.out.find('\n'), passed.out.size() - 1) << "one object per chip";
    const nlohmann::json chip = nlohmann::json::parse(passed.out);
    EXPECT_EQ(chip["outcome"], "success");
    EXPECT_EQ(chip["serial_number"], 1000);
    EXPECT_EQ(chip["messages"],
              nlohmann::json::array({"Today so far: 0 passed, 1 failed, 1 in all.", "Insert chip.",
                                     "Programming complete.", "Verify passed"}));
    EXPECT_EQ(ReadFile(serialFile), "1001\n");

    // Each chip's row before it is touched and its row at the end, after the header.
    std::vector<std::string> rows;
    for (const std::string& line : Lines(ReadFile(folder / "line.csv"))) {
        const std::size_t from = line.find(BLINK_SHA) + BLINK_SHA.size();
        const std::size_t seconds = line.rfind(',', line.rfind(',') - 1);  // then the checksum
        rows.push_back(rows.empty() ? line : line.substr(from, seconds - from));
    }
    EXPECT_EQ(rows,
              Args("time,board_serial,device,device_word,hex_file,hex_sha256,serial_number,"
                   "outcome,exit_status,seconds,checksum",
                   ",1000,started,", ",1000,difference,1", ",1000,started,", ",1000,success,0"));
}

#if !defined(_WIN32)  // the limit on a file's size stands for a full disk on POSIX only
TEST_F(Station, TheLoopEndsWhenTheLogCanTakeNoMoreLines) {
    SaveJob();
    environment = {{"VEKSIM_SOCKET", "16F84A,interrupt"}};
    ASSERT_EQ(Run(Args("program", "--job", job, "--loop", "-q")).status, 0);
    const std::string logged = ReadFile(folder / "line.csv");
    // The next chip's started line fits, the line of its end does not.
    const std::size_t header = logged.find('\n') + 1;
    fileSizeLimit = logged.size() + (logged.find('\n', header) + 1 - header) + 5;
    environment = {{"VEKSIM_SOCKET", "16F84A,empty:500ms,16F84A,interrupt"}};
    const CliRun run = Run(Args("program", "--job", job, "--loop"));
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "");  // no PASS for a chip whose line is missing
    EXPECT_TRUE(run.err.ends_with("Error: the log " + Utf8FromPath(folder / "line.csv") +
                                  " could not be written.\nTotals: 0 passed, 0 failed, 0 in "
                                  "all.\n"))
        << run.err;
    // The second chip was never started on.
    const std::string log = ReadFile(folder / "line.csv");
    EXPECT_EQ(log.substr(0, logged.size()), logged);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4);
    EXPECT_EQ(ReadFile(serialFile), "1002\n");  // the chip holds 1001, verified
}
#endif

}  // namespace
}  // namespace vek::test
