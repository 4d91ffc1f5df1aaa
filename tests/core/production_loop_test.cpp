// The production loop on the simulator's scripted socket: the chips in turn, their verdicts and
// counts, the waits between polls (recorded, never slept), and the ways the loop ends; and a
// job's chip, whose counter and log are checked before it is touched; the day's chips in a log.
#include <fstream>

#include "environment.h"
#include "operations/job_chip.h"
#include "operations/production_loop.h"
#include "operations/run_log.h"
#include "sim_fixture.h"
#include "temp_folder.h"

namespace vek::test {
namespace {

const std::string PIC_SAMPLE = VEK_EXAMPLES_DIR "/blink-16f84a.hex";

class ProductionLoop : public SimTest {
  protected:
    void TearDown() override { RemoveEnvironment("VEKSIM_SOCKET"); }
    // The board open on a 16F84A job with the socket as scripted.
    void Start(const std::string& socket) {
        SetEnvironment("VEKSIM_SOCKET", socket);
        sim.Reset();
        ASSERT_TRUE(programmer.link.Bind());
        ASSERT_EQ(programmer.link.Open(BoardWithDescription("VEK Flash")), UsbStatus::Ok);
        programmer.Connected = true;
        UseFile(PIC_SAMPLE, "3FF1", "0");
    }
    // What the loop did, in order: its waits ("insert", "remove"), the pauses between polls
    // ("wait") and the verdicts with their counts.
    ProductionLoopHooks Hooks() {
        return {
            [this] { return stopRequested(); },
            [this](SocketWait wanted) {
                FlushPauses();
                trace.push_back(wanted == SocketWait::ForChip ? "insert" : "remove");
                waits += wanted == SocketWait::ForChip;
            },
            [this] {
                FlushPauses();
                const bool passed = Program().Succeeded() && Verify().Succeeded();
                return passed ? ChipVerdict::Passed : ChipVerdict::Failed;
            },
            [this](ChipVerdict verdict, const LoopCounts& counts) {
                trace.push_back((verdict == ChipVerdict::Passed ? "PASS " : "FAIL ") +
                                std::to_string(counts.passed) + "/" +
                                std::to_string(counts.failed));
            },
        };
    }
    // The pauses so far, of which only the loop's 500 ms between polls are traced.
    void FlushPauses() {
        trace.insert(trace.end(), std::count(ui.pauses.begin(), ui.pauses.end(), 500), "wait");
        ui.pauses.clear();
    }
    LoopResult Run() {
        const LoopResult result = RunProductionLoop(programmer, DeviceTable[0], Hooks());
        FlushPauses();
        return result;
    }

    std::vector<std::string> trace;
    int waits = 0;
    std::function<bool()> stopRequested = [this] { return waits == 3; };
};

TEST_F(ProductionLoop, ProgramsEachChipPutInAndWaitsForTheSocketToEmpty) {
    Start("empty:1s,16F84A,empty:1s,16F84A:fail-verify,empty");
    const LoopResult result = Run();
    EXPECT_EQ(result.end, LoopEnd::Stopped);
    EXPECT_EQ(result.counts.passed, 1);
    EXPECT_EQ(result.counts.failed, 1);
    // The pauses of the chip's operations are not the loop's; only its 500 ms waits count.
    EXPECT_EQ(Join(trace),
              "insert wait wait PASS 1/0 remove wait insert wait FAIL 1/1 remove "
              "wait insert");
    EXPECT_EQ(last.outcome, Outcome::Mismatch);  // the second chip's word 0 would not program
}

TEST_F(ProductionLoop, EndsWhenTheBoardIsLostOrTheCallerEndsIt) {
    Start("empty");
    int asked = 0;
    stopRequested = [&] {
        if (++asked == 3) {
            sim.SetAttached(false);
        }
        return false;
    };
    EXPECT_EQ(Run().end, LoopEnd::LinkFailed);
    EXPECT_EQ(Join(trace), "insert wait");
    EXPECT_FALSE(ui.messages.empty());  // the link said why

    trace.clear();
    Start("16F84A,16F84A");
    ProductionLoopHooks hooks = Hooks();
    hooks.workOnChip = [] { return ChipVerdict::EndLoop; };
    const LoopResult ended = RunProductionLoop(programmer, DeviceTable[0], hooks);
    EXPECT_EQ(ended.end, LoopEnd::Ended);
    EXPECT_EQ(ended.counts.Total(), 0);
}

TEST_F(ProductionLoop, AJobsCounterOrLogThatCannotBeUsedLeavesTheChipUntouched) {
    const TempFolder folder;
    const std::string counter = folder.Write("sn.txt", "65535\n");
    struct Case {
        std::string serialAt, serialFile, logFile, message;
    };
    const std::vector<Case> cases = {
        {"eeprom:999", counter, "",
         "Error: the job's serial number place 'eeprom:999' cannot be used: the EEPROM location "
         "999 is out of range: 0 to 255."},
        {"id", "", "", "Error: the job numbers its chips but names no serial number file."},
        {"eeprom:0:1", counter, "",
         "Error: serial number 65535 does not fit its place, which holds at most 255."},
        {"id", counter, "",
         "Error: the serial number's place holds data of " + PIC_SAMPLE +
             ", which the job does not write over."},
        {"eeprom:62:4", counter, "",
         "Error: the job's serial number place 'eeprom:62:4' cannot be used: it lies beyond the "
         "64 EEPROM bytes of the 16F84A."},
        {"", "", folder.Path().string(),
         "Error: the log " + folder.Path().string() +
             " could not be written: it is not a regular file."},
        // The next number was ready in the counter's place when the log was refused.
        {"eeprom:8:2", counter, folder.Path().string(),
         "Error: the log " + folder.Path().string() +
             " could not be written: it is not a regular file."},
    };
    Start("16F84A");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ui.messages.clear();
        ProductionJob job;
        job.target = Target();
        job.hexFile = PIC_SAMPLE;
        job.serialAt = c.serialAt;
        job.serialFile = c.serialFile;
        job.logFile = c.logFile;
        EXPECT_FALSE(
            ProgramJobChip(programmer, job, {Target(), file, WordsInFields(fields), true}));
        EXPECT_EQ(ui.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF);
        // Windows pads the file for the next number beforehand; the number is what counts.
        std::ifstream in(counter);
        unsigned number = 0;
        EXPECT_TRUE(in >> number);
        EXPECT_EQ(number, 65535u);
    }
}

// Of a day's rows only the finished runs of the device and the file on a chip that answered
// count: not a run's start, another device, file or day, nor a run on an empty socket.
TEST(DaysCounts, CountTheFinishedRunsOnChipsOfTheJob) {
    const TempFolder folder;
    const std::string sha(64, 'a');
    const std::string log = folder.Write(
        "line.csv",
        "started_at,board_serial,device,device_word,hex_file,hex_sha256,serial_number,outcome,"
        "exit_status,seconds,checksum\n"
        "2026-12-08T08:00:00Z,VF1,16F84A,,a.hex," +
            sha +
            ",1,started,,,\n"
            "2026-12-08T08:00:01Z,VF1,16F84A,560,a.hex," +
            sha +
            ",1,success,0,1.0,98B3\n"
            "2026-12-08T08:01:01Z,VF1,16F84A,560,a.hex," +
            sha +
            ",2,difference,1,1.0,98B3\n"
            "2026-12-08T08:02:01Z,VF1,16F84A,000,a.hex," +
            sha +
            ",,wrong-device,5,0.1,\n"
            "2026-12-08T08:02:02Z,VF1,16F84A,3FFF,a.hex," +
            sha +
            ",,wrong-device,5,0.1,\n"
            "2026-12-08T08:03:01Z,VF1,16F84A,,a.hex," +
            sha +
            ",,programmer,4,0.1,\n"
            "2026-12-08T08:04:01Z,VF1,16F877,D00,a.hex," +
            sha +
            ",,success,0,1.0,\n"
            "2026-12-08T08:05:01Z,VF1,16F84A,560,a.hex," +
            std::string(64, 'b') +
            ",,success,0,1,\n"
            "2026-12-07T23:59:59Z,VF1,16F84A,560,a.hex," +
            sha +
            ",,success,0,1.0,\n"
            // A log begun before the checksum column.
            "2026-12-08T09:00:00Z,VF1,16F84A,560,a.hex," +
            sha + ",,success,0,1.0\n");
    const LoopCounts counts = CountsInLog(log, "16F84A", sha, "2026-12-08");
    EXPECT_EQ(counts.passed, 2);
    EXPECT_EQ(counts.failed, 1);
    EXPECT_EQ(
        CountsInLog(folder.Path().string() + "/none.csv", "16F84A", sha, "2026-12-08").Total(), 0);
}

}  // namespace
}  // namespace vek::test
