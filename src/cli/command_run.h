// One run of a vekflash-cli command. Its members are defined by topic: running a command,
// the board and the chip's ID; programming; comparing the chip with a file and reading it.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/terminal_ui.h"
#include "device/device_table.h"
#include "device/image_compare.h"
#include "device/memory_image.h"
#include "link/attached_boards.h"
#include "operations/operation_result.h"
#include "operations/production_loop.h"
#include "operations/requests.h"
#include "operations/run_outcome.h"
#include "session/programmer.h"
#include "session/rebuild_watch.h"
#include "session/serial_number.h"
#include "session/workspace.h"

namespace vek::cli {

class CommandRun {
  public:
    CommandRun(const Arguments& arguments, Programmer& programmer, TerminalReporter& reporter,
               std::FILE* results, RunRecord& record, const BeforeTarget& beforeTarget,
               const ChipHooks& chip);

    ExitStatus Run();

  private:
    ExitStatus RunNamedCommand();

    // The row of -d; every command that works on a chip has one. Until -d auto has found its
    // row, the row whose entry asks for the ID.
    const DeviceInfo& Target() const { return DeviceTable[row_]; }
    bool IsSx() const { return Target().family == TargetFamily::SX; }

    // The result of an operation, its target's ID noted for the record.
    OperationResult Noted(OperationResult result);

    // Results for a person or a script go to stdout, unless --json gathers them.
    void Result(const std::string& text);

    // The boards attached, or nothing after the message that says why there are none.
    std::optional<std::vector<AttachedBoard>> AttachedBoards();

    // The board of --board when it is attached, else the first; the driver opens the same.
    bool ChooseBoard();

    // The start-up connection of the window; its failures have been reported. A person
    // without the right to open the board learns how to get it, which the window leaves to
    // the README.
    bool Connect();

    // The board open and the run's start recorded; nothing when the chip may be worked on,
    // else the status that ends the run.
    std::optional<ExitStatus> ReachTarget();

    // One line per board: index, serial number, description and driver, separated by tabs.
    ExitStatus List();

    ExitStatus UdevRule();

    ExitStatus Detect();

    template <typename Operation>
    ExitStatus OnTarget(Operation operation);

    ExitStatus UsageError(const std::string& text);

    // "9A0 16F877": the word, then the devices it fits.
    ExitStatus Id();

    // -d auto: the row of AUTO_FAMILY that the chip's ID fits becomes the target; none or
    // several refuse the run.
    ExitStatus ChooseRowFitting(int id);

    // After ReachTarget: with -d auto, asks the chip which row it is.
    ExitStatus FindAutoDevice();

    // The file as the window opens it, with the configuration words of its records; the words
    // given on the command line take their place.
    ExitStatus ChooseFile();

    // Nobody is asked on a command line: a word that locks the chip needs the option.
    ExitStatus CheckCodeProtection();

    ExitStatus Program();

    // The open programmer's chip programmed, verified when asked or numbered, and its number
    // used up.
    ExitStatus ProgramTarget(std::optional<SerialNumberFile>& serialFile);

    // program --loop: the checks of program once, then chip after chip until Ctrl+C.
    ExitStatus ProgramLoop();

    // One chip of the loop, with the checks a single program makes before the chip is
    // touched: the file may have been rebuilt and the serial number file changed meanwhile.
    ExitStatus ProgramOneChip();

    // The chips of this job in the log today: its device and the HEX file's SHA-256.
    LoopCounts TodaysCountsInLog() const;

    // A job pins the exact firmware: any other build of the file is refused.
    ExitStatus CheckPinnedFile();

    // The command line as program takes it, kept in a job that program --job runs; the words
    // go in as program would write them, so that the job holds them all.
    ExitStatus SaveJob();

    // program --watch: programs the file each time it has been written anew, until Ctrl+C.
    ExitStatus WatchAndProgram();

    // One run of the watch, as a command of its own: the board is opened for it and closed
    // after it, so that a board plugged in again meanwhile is found.
    RebuildRun ProgramRebuilt();

    // The serial number of the option or the file, placed over the file's words where the
    // command line says; the file stays locked until the run ends.
    ExitStatus PlaceSerialNumber(std::optional<SerialNumberFile>& serialFile);

    ExitStatus CheckSerialPlaceFree(const std::vector<ImageWord>& words);

    // With -d auto the file is read for the row found, once the chip has answered.
    ExitStatus Verify();

    // The verify of the open programmer's chip; verify --all lists every difference. The
    // verify command records the checksum of the chip as read; program keeps its own.
    ExitStatus CompareWithTarget(const VerifyRequest& request);

    // "KIND ADDRESS: expected VALUE, read VALUE" each, then their count.
    void ListDifferences(const std::vector<ImageDifference>& differences);

    // The file and its words as program takes them, the chip untouched.
    ExitStatus Checksum();

    // Checked before the chip is read: a mistyped folder is not made for the file, and only a
    // regular file is replaced, never a FIFO, a device or a link that names nothing.
    std::string OutputProblem() const;

    ExitStatus Read();

    const Arguments& arguments_;
    Programmer& programmer_;
    TerminalReporter& reporter_;
    std::FILE* results_;
    RunRecord& record_;
    const BeforeTarget& beforeTarget_;
    const ChipHooks& chip_;
    // What program and verify work from: the file, the words and the serial number's entries.
    ChosenHexFile file_;
    GivenWords words_;
    std::vector<ImageWord> overlay_;
    std::optional<unsigned> serialNumber_;
    // The row worked on: -d's, or the one -d auto asks with and then finds.
    int row_;
    // The target's ID as last read, for the record.
    std::optional<int> targetId_;
};

}  // namespace vek::cli
