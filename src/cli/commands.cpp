#include "cli/commands.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/run_report.h"
#include "cli/udev_rule.h"
#include "config/code_protection.h"
#include "device/hex_file.h"
#include "device/hex_text.h"
#include "device/hex_writer.h"
#include "link/attached_boards.h"
#include "link/link_messages.h"
#include "operations/blank_erase.h"
#include "operations/device_id.h"
#include "operations/production_loop.h"
#include "operations/program.h"
#include "operations/read.h"
#include "operations/run_log.h"
#include "operations/verify.h"
#include "platform/file_changes.h"
#include "platform/utf8_path.h"
#include "platform/whole_file.h"
#include "session/connection.h"
#include "session/hex_file_open.h"
#include "session/job_file.h"
#include "session/rebuild_watch.h"

namespace vek::cli {

namespace {

// One place where the chip differs, as verify --all lists it and --json gives it.
struct DifferenceText {
    std::string kind, address, expected, read;
};

// The address is the word address, an EEPROM byte's its location.
DifferenceText DescribeDifference(const ImageDifference& difference, const DeviceInfo& target) {
    const bool isSx = target.family == TargetFamily::SX;
    std::string kind = "program";
    int address = difference.address;
    int digits = target.WordDigits();
    switch (difference.kind) {
        case DifferenceKind::ProgramWord:
            break;
        case DifferenceKind::FuseXWord:
            kind = "fusex";
            break;
        case DifferenceKind::FuseWord:
            kind = isSx ? "fuse" : "config";
            break;
        case DifferenceKind::EepromByte:
            kind = "eeprom";
            address -= EEPROM_ADDR;
            digits = 2;
            break;
    }
    return {kind, HexDigits(static_cast<unsigned>(address), 4),
            HexDigits(static_cast<unsigned>(difference.expected), digits),
            HexDigits(static_cast<unsigned>(difference.read), digits)};
}

class CommandRun {
  public:
    CommandRun(const Arguments& arguments, Programmer& programmer, TerminalReporter& reporter,
               std::FILE* results, RunRecord& record, const BeforeTarget& beforeTarget,
               const ChipHooks& chip)
        : arguments_(arguments),
          programmer_(programmer),
          reporter_(reporter),
          results_(results),
          record_(record),
          beforeTarget_(beforeTarget),
          chip_(chip),
          row_(arguments.autoDevice ? FirstAutoDevice().processorIndex : arguments.deviceRow) {}

    ExitStatus Run() {
        const ExitStatus status = RunNamedCommand();
        record_.driver = UsbDriverKey(programmer_.link.DriverInUse());
        if (targetId_) {
            record_.deviceWord = IdText(*targetId_);
        }
        if (status == EXIT_WRONG_DEVICE && targetId_ && IdOfEmptySocket(Target(), *targetId_)) {
            reporter_.ShowMessage(
                "An ID of all zeros or all ones: no chip in the socket, a chip the wrong way "
                "round, or no target power are the usual causes.");
        }
        return status;
    }

  private:
    ExitStatus RunNamedCommand() {
        switch (arguments_.command) {
            case Command::Detect:
                return Detect();
            case Command::Id:
                return Id();
            case Command::Blank:
                return OnTarget([this] { return BlankCheck(programmer_, {Target()}); });
            case Command::Erase:
                return OnTarget([this] { return Erase(programmer_, {Target()}); });
            case Command::Program:
                return arguments_.loop    ? ProgramLoop()
                       : arguments_.watch ? WatchAndProgram()
                                          : Program();
            case Command::SaveJob:
                return SaveJob();
            case Command::Verify:
                return Verify();
            case Command::Read:
                return Read();
            case Command::Checksum:
                return Checksum();
            case Command::List:
                return List();
            case Command::UdevRule:
                return UdevRule();
        }
        return EXIT_USAGE;
    }

    // The row of -d; every command that works on a chip has one. Until -d auto has found its
    // row, the row whose entry asks for the ID.
    const DeviceInfo& Target() const { return DeviceTable[row_]; }
    bool IsSx() const { return Target().family == TargetFamily::SX; }

    // The result of an operation, its target's ID noted for the record.
    OperationResult Noted(OperationResult result) {
        if (result.targetId) {
            targetId_ = result.targetId;
        }
        return result;
    }

    // Results for a person or a script go to stdout, unless --json gathers them.
    void Result(const std::string& text) {
        if (!arguments_.json) {
            std::fputs(text.c_str(), results_);
        }
    }

    // The boards attached, or nothing after the message that says why there are none.
    std::optional<std::vector<AttachedBoard>> AttachedBoards() {
        if (!programmer_.link.Bind()) {
            reporter_.ShowMessage(MissingDriverMessage());
            return std::nullopt;
        }
        std::vector<AttachedBoard> boards = ListAttachedBoards(programmer_.link);
        if (boards.empty()) {
            reporter_.ShowMessage(MSG_UNABLE_TO_DETECT);
            return std::nullopt;
        }
        return boards;
    }

    // The board of --board when it is attached, else the first; the driver opens the same.
    bool ChooseBoard() {
        // Without --board the connection opens the first board with the description, as the
        // window does, and reports its own failures; the list only names it for the record.
        if (arguments_.board.empty()) {
            if (programmer_.link.Bind()) {
                const std::vector<AttachedBoard> boards = ListAttachedBoards(programmer_.link);
                record_.boardSerial = boards.empty() ? "" : boards.front().serial;
            }
            return true;
        }
        const std::optional<std::vector<AttachedBoard>> boards = AttachedBoards();
        if (!boards) {
            return false;
        }
        const bool attached = std::any_of(boards->begin(), boards->end(), [&](const auto& board) {
            return board.serial == arguments_.board;
        });
        if (!attached) {
            reporter_.ShowMessage("Error: No VEK Flash programmer with the serial number " +
                                  Escaped(arguments_.board) + " is attached. Attached: " +
                                  Escaped(SerialNumbers(*boards)) + ".");
            return false;
        }
        programmer_.BoardSerial = record_.boardSerial = arguments_.board;
        return true;
    }

    // The start-up connection of the window; its failures have been reported. A person
    // without the right to open the board learns how to get it, which the window leaves to
    // the README.
    bool Connect() {
        if (!ChooseBoard()) {
            return false;
        }
        StartupConnection(programmer_);
        if (!programmer_.Connected && programmer_.link.PermissionRefused()) {
            reporter_.ShowMessage(
                std::string("vekflash-cli: the board is attached, but this user may "
                            "not open it. The udev rule ") +
                VEK_UDEV_RULE +
                " gives it to the plugdev group: add yourself (sudo usermod -aG "
                "plugdev $USER), log in again and plug the board in again.");
        }
        return programmer_.Connected;
    }

    // The board open and the run's start recorded; nothing when the chip may be worked on,
    // else the status that ends the run.
    std::optional<ExitStatus> ReachTarget() {
        if (!Connect()) {
            return EXIT_PROGRAMMER;
        }
        if (!beforeTarget_()) {
            return EXIT_HEX_FILE;
        }
        return std::nullopt;
    }

    // One line per board: index, serial number, description and driver, separated by tabs.
    ExitStatus List() {
        const std::optional<std::vector<AttachedBoard>> boards = AttachedBoards();
        record_.found["boards"] = nlohmann::json::array();
        if (!boards) {
            return EXIT_PROGRAMMER;
        }
        for (const AttachedBoard& board : *boards) {
            Result(std::to_string(board.index) + "\t" + Escaped(board.serial) + "\t" +
                   Escaped(board.description) + "\t" + board.driver + "\n");
            record_.found["boards"].push_back({{"index", board.index},
                                               {"serial", board.serial},
                                               {"description", board.description},
                                               {"driver", board.driver}});
        }
        return EXIT_OK;
    }

    ExitStatus UdevRule() {
        Result(UdevRuleFileText());
        record_.found["rule"] = UDEV_RULE_TEXT;
        record_.found["path"] = UDEV_RULE_PATH;
        return EXIT_OK;
    }

    ExitStatus Detect() {
        const bool answered = Connect() && TestCommunication(programmer_);
        // Named whether or not a board answered: it is what a person looking for one needs.
        if (programmer_.link.DriverInUse() != nullptr) {
            Result("USB driver: " + UsbDriverKey(programmer_.link.DriverInUse()) + "\n");
        }
        return answered ? EXIT_OK : EXIT_PROGRAMMER;
    }

    template <typename Operation>
    ExitStatus OnTarget(Operation operation) {
        if (const std::optional<ExitStatus> refused = ReachTarget()) {
            return *refused;
        }
        return StatusOf(Noted(operation()));
    }

    ExitStatus UsageError(const std::string& text) {
        reporter_.ShowMessage("vekflash-cli: " + text);
        return EXIT_USAGE;
    }

    // "9A0 16F877": the word, then the devices it fits.
    ExitStatus Id() {
        if (const std::optional<ExitStatus> refused = ReachTarget()) {
            return *refused;
        }
        const OperationResult identification = Noted(ReadId(programmer_, {Target()}));
        if (!identification.targetId) {
            return StatusOf(identification);
        }
        const int id = *identification.targetId;
        const std::string word = IdText(id);
        std::string line = word;
        nlohmann::json fits = nlohmann::json::array();
        for (const std::string_view name : DevicesFittingId(id)) {
            line += " " + std::string(name);
            fits.push_back(name);
        }
        Result(line + "\n");
        record_.found["id"] = {{"word", word}, {"devices", fits}};
        if (arguments_.autoDevice) {
            return ChooseRowFitting(id);
        }
        if (!IdFits(Target(), id)) {
            reporter_.ShowMessage("The chip's device ID " + word + " is not that of the " +
                                  std::string(Target().name) + ".");
            return EXIT_WRONG_DEVICE;
        }
        return EXIT_OK;
    }

    // -d auto: the row of AUTO_FAMILY that the chip's ID fits becomes the target; none or
    // several refuse the run.
    ExitStatus ChooseRowFitting(int id) {
        const std::vector<const DeviceInfo*> rows = RowsFittingId(id, AUTO_FAMILY);
        if (rows.size() == 1) {
            row_ = record_.autoDeviceRow = rows.front()->processorIndex;
            return EXIT_OK;
        }
        std::string names;
        for (const DeviceInfo* row : rows) {
            names += (names.empty() ? "" : ", ") + std::string(row->name);
        }
        reporter_.ShowMessage("-d auto: the chip reports ID " + IdText(id) +
                              (rows.empty()
                                   ? ", which fits no PIC16; an SX is never asked with its own "
                                     "sequence by -d auto: give -d SX28 or -d SX48"
                                   : ", which fits " + names + ": give -d NAME") +
                              ".");
        return EXIT_WRONG_DEVICE;
    }

    // After ReachTarget: with -d auto, asks the chip which row it is.
    ExitStatus FindAutoDevice() {
        if (!arguments_.autoDevice) {
            return EXIT_OK;
        }
        const OperationResult identification = Noted(ReadId(programmer_, {Target()}));
        if (!identification.targetId) {
            return StatusOf(identification);
        }
        return ChooseRowFitting(*identification.targetId);
    }

    // The file as the window opens it, with the configuration words of its records; the words
    // given on the command line take their place.
    ExitStatus ChooseFile() {
        file_ = {arguments_.file, Utf8FileName(arguments_.file)};
        const HexFileScan scan = ScanWithWords(Target(), file_.path);
        if (scan.result != HexScanResult::Ok) {
            reporter_.ShowMessage(HexScanMessage(Target(), file_, scan.result, scan.lineNo));
            return EXIT_HEX_FILE;
        }
        // A PIC16 sends no FUSEX word of its own; the window shows "0" there after a change of
        // target.
        words_ = {scan.words.fuse, IsSx() ? scan.words.fuseX : 0};
        if (arguments_.config) {
            words_.fuse = arguments_.config;
        }
        if (arguments_.fuse) {
            words_.fuse = arguments_.fuse;
        }
        if (arguments_.fuseX) {
            words_.fuseX = arguments_.fuseX;
        }
        if (!words_.fuse) {
            return UsageError(
                arguments_.file + " carries no " +
                (IsSx() ? "FUSE word: give --fuse" : "configuration word: give --config"));
        }
        if (!words_.fuseX) {
            return UsageError(arguments_.file + " carries no FUSEX word: give --fusex");
        }
        return EXIT_OK;
    }

    // Nobody is asked on a command line: a word that locks the chip needs the option.
    ExitStatus CheckCodeProtection() {
        const std::string word = WordText(Target(), *words_.fuse);
        if (TurnsOnCodeProtection(Target(), word) && !arguments_.allowCodeProtection) {
            return UsageError("the configuration word " + word +
                              " turns on code protection: the chip could no longer be read or "
                              "verified; give --allow-code-protection to program it anyway");
        }
        reporter_.SetAnswerYes(arguments_.allowCodeProtection);
        return EXIT_OK;
    }

    ExitStatus Program() {
        if (const ExitStatus chosen = ChooseFile(); chosen != EXIT_OK) {
            return chosen;
        }
        if (const ExitStatus pinned = CheckPinnedFile(); pinned != EXIT_OK) {
            return pinned;
        }
        if (const ExitStatus allowed = CheckCodeProtection(); allowed != EXIT_OK) {
            return allowed;
        }
        std::optional<SerialNumberFile> serialFile;
        if (const ExitStatus placed = PlaceSerialNumber(serialFile); placed != EXIT_OK) {
            return placed;
        }
        if (const std::optional<ExitStatus> refused = ReachTarget()) {
            return *refused;
        }
        return ProgramTarget(serialFile);
    }

    // The open programmer's chip programmed, verified when asked or numbered, and its number
    // used up.
    ExitStatus ProgramTarget(std::optional<SerialNumberFile>& serialFile) {
        reporter_.SetProgressLabel("program");
        ProgramRequest request{
            Target(), file_, words_, !arguments_.noErase, overlay_, arguments_.preserveEeprom};
        if (!arguments_.pinnedSha256.empty()) {
            request.pin = PinnedHexFile{arguments_.pinnedSha256, arguments_.jobFile};
        }
        const OperationResult programmed = Noted(vek::Program(programmer_, request));
        reporter_.FinishProgress(programmed.Succeeded());
        if (!programmed.Succeeded()) {
            return StatusOf(programmed);
        }
        record_.checksum = programmed.checksum;
        record_.serialWritten = serialNumber_;
        // A number is used up only by a chip that holds it as verified.
        if (!arguments_.verifyAfterProgram && !serialFile) {
            return EXIT_OK;
        }
        const ExitStatus verified = CompareWithTarget(VerifyRequestAfter(request, programmed));
        if (verified != EXIT_OK || !serialFile || serialFile->Advance()) {
            return verified;
        }
        reporter_.ShowMessage(serialFile->NotAdvancedMessage());
        return EXIT_HEX_FILE;
    }

    // program --loop: the checks of program once, then chip after chip until Ctrl+C.
    ExitStatus ProgramLoop() {
        for (const auto& check : {&CommandRun::ChooseFile, &CommandRun::CheckPinnedFile,
                                  &CommandRun::CheckCodeProtection}) {
            if (const ExitStatus checked = (this->*check)(); checked != EXIT_OK) {
                return checked;
            }
        }
        if (!Connect()) {
            return EXIT_PROGRAMMER;
        }
        record_.driver = UsbDriverKey(programmer_.link.DriverInUse());
        const LoopCounts before = TodaysCountsInLog();
        if (!arguments_.logFile.empty()) {
            reporter_.ShowMessage("Today so far: " + CountsText(before) + ".");
        }
        ExitStatus chipStatus = EXIT_OK;
        const LoopResult loop = RunProductionLoop(
            programmer_, Target(),
            {chip_.stopRequested,
             [this](SocketWait wanted) {
                 reporter_.ShowMessage(wanted == SocketWait::ForChip ? "Insert chip."
                                                                     : "Remove chip.");
             },
             [&] {
                 chipStatus = ProgramOneChip();
                 if (!chip_.chipDone(chipStatus)) {
                     chipStatus = EXIT_HEX_FILE;  // its log line could not be written
                     return ChipVerdict::EndLoop;
                 }
                 // What fails beyond the chip would fail the next one too.
                 if (chipStatus == EXIT_HEX_FILE || chipStatus == EXIT_USAGE) {
                     return ChipVerdict::EndLoop;
                 }
                 return chipStatus == EXIT_OK ? ChipVerdict::Passed : ChipVerdict::Failed;
             },
             [&](ChipVerdict verdict, const LoopCounts& counts) {
                 const std::string serial =
                     record_.serialWritten ? "  serial " + std::to_string(*record_.serialWritten)
                                           : "";
                 Result((verdict == ChipVerdict::Passed ? "PASS" : "FAIL") + serial + "  " +
                        CountsText({before.passed + counts.passed, before.failed + counts.failed}) +
                        "\n");
             }});
        reporter_.ShowMessage("Totals: " + CountsText(loop.counts) + ".");
        switch (loop.end) {
            case LoopEnd::Stopped:
                return loop.counts.failed == 0 ? EXIT_OK : EXIT_DIFFERS;
            case LoopEnd::LinkFailed:
                return EXIT_PROGRAMMER;
            case LoopEnd::Ended:
                break;
        }
        return chipStatus;
    }

    // One chip of the loop, with the checks a single program makes before the chip is
    // touched: the file may have been rebuilt and the serial number file changed meanwhile.
    ExitStatus ProgramOneChip() {
        record_.serialToWrite.reset();
        record_.serialWritten.reset();
        record_.found.erase("differences");
        record_.deviceWord.clear();
        targetId_.reset();
        overlay_.clear();
        const ExitStatus status = [&] {
            if (const ExitStatus pinned = CheckPinnedFile(); pinned != EXIT_OK) {
                return pinned;
            }
            std::optional<SerialNumberFile> serialFile;
            if (const ExitStatus placed = PlaceSerialNumber(serialFile); placed != EXIT_OK) {
                return placed;
            }
            return beforeTarget_() ? ProgramTarget(serialFile) : EXIT_HEX_FILE;
        }();
        record_.deviceWord = targetId_ ? IdText(*targetId_) : "";
        return status;
    }

    // The chips of this job in the log today: its device and the HEX file's SHA-256.
    LoopCounts TodaysCountsInLog() const {
        if (arguments_.logFile.empty()) {
            return {};
        }
        return vek::TodaysCountsInLog(arguments_.logFile, std::string(Target().name),
                                      Sha256OfFile(PathFromUtf8(file_.path)).value_or(""));
    }

    static std::string CountsText(const LoopCounts& counts) {
        return std::to_string(counts.passed) + " passed, " + std::to_string(counts.failed) +
               " failed, " + std::to_string(counts.Total()) + " in all";
    }

    // A job pins the exact firmware: any other build of the file is refused.
    ExitStatus CheckPinnedFile() {
        if (arguments_.pinnedSha256.empty()) {
            return EXIT_OK;
        }
        const std::string hash = Sha256OfFile(PathFromUtf8(file_.path)).value_or("");
        if (hash == arguments_.pinnedSha256) {
            return EXIT_OK;
        }
        reporter_.ShowMessage(
            NotTheJobsFile(arguments_.file, hash, arguments_.jobFile, arguments_.pinnedSha256));
        return EXIT_HEX_FILE;
    }

    // The command line as program takes it, kept in a job that program --job runs; the words
    // go in as program would write them, so that the job holds them all.
    ExitStatus SaveJob() {
        if (const ExitStatus chosen = ChooseFile(); chosen != EXIT_OK) {
            return chosen;
        }
        if (const ExitStatus allowed = CheckCodeProtection(); allowed != EXIT_OK) {
            return allowed;
        }
        const std::optional<std::string> hash = Sha256OfFile(PathFromUtf8(file_.path));
        if (!hash) {
            reporter_.ShowMessage(HexScanMessage(Target(), file_, HexScanResult::OpenFailed, 0));
            return EXIT_HEX_FILE;
        }
        ProductionJob job;
        job.target = Target();
        job.hexFile = PathFromUtf8(file_.path);
        job.hexSha256 = *hash;
        job.words = words_;
        job.eraseBeforeProgram = !arguments_.noErase;
        job.verify = arguments_.verifyAfterProgram;
        job.preserveEeprom = arguments_.preserveEeprom;
        job.allowCodeProtection = arguments_.allowCodeProtection;
        if (arguments_.serialAt) {
            if (const ExitStatus free = CheckSerialPlaceFree(SerialWords(0, *arguments_.serialAt));
                free != EXIT_OK) {
                return free;
            }
            job.serialAt = SerialPlaceText(*arguments_.serialAt);
        }
        job.serialOverwrite = arguments_.serialOverwrite;
        job.serialFile = PathFromUtf8(arguments_.serialFile);
        job.logFile = PathFromUtf8(arguments_.logFile);
        if (!WriteJobFile(PathFromUtf8(arguments_.jobFile), job)) {
            reporter_.ShowMessage("Error: the job " + arguments_.jobFile +
                                  " could not be written.");
            return EXIT_HEX_FILE;
        }
        reporter_.ShowMessage("The job " + arguments_.jobFile + " has been written.");
        return EXIT_OK;
    }

    // program --watch: programs the file each time it has been written anew, until Ctrl+C.
    ExitStatus WatchAndProgram() {
        const std::unique_ptr<FileChanges> changes =
            FileChanges::Watch(PathFromUtf8(arguments_.file));
        if (!changes) {
            reporter_.ShowMessage("Error: the folder of " + arguments_.file +
                                  " cannot be watched.");
            return EXIT_HEX_FILE;
        }
        reporter_.ShowMessage("Watching " + arguments_.file + "; Ctrl+C ends.");
        return static_cast<ExitStatus>(WatchForRebuilds(
            *changes, [this] { return ProgramRebuilt(); }, EXIT_OK, EXIT_HEX_FILE));
    }

    // One run of the watch, as a command of its own: the board is opened for it and closed
    // after it, so that a board plugged in again meanwhile is found.
    RebuildRun ProgramRebuilt() {
        ExitStatus status = EXIT_HEX_FILE;
        if (const std::string problem =
                HalfWrittenProblem({arguments_.file, Utf8FileName(arguments_.file)});
            !problem.empty()) {
            reporter_.ShowMessage(problem);
        } else {
            status = Program();
        }
        reporter_.FinishProgress(status == EXIT_OK);
        if (status != EXIT_OK) {
            reporter_.ReportHeldMessages();
        }
        if (programmer_.Connected) {
            programmer_.link.Close();
            programmer_.Connected = false;
        }
        reporter_.ShowMessage("program: " + std::string(OutcomeName(status)) + "; watching " +
                              arguments_.file + ", Ctrl+C ends.");
        return {status, !programmer_.link.IsShutDown()};
    }

    // The serial number of the option or the file, placed over the file's words where the
    // command line says; the file stays locked until the run ends.
    ExitStatus PlaceSerialNumber(std::optional<SerialNumberFile>& serialFile) {
        if (!arguments_.serialAt) {
            return EXIT_OK;
        }
        const SerialPlace& place = *arguments_.serialAt;
        serialNumber_ = arguments_.serialNumber;
        if (!arguments_.serialFile.empty()) {
            std::string error;
            serialFile = SerialNumberFile::Open(PathFromUtf8(arguments_.serialFile), error);
            if (!serialFile) {
                reporter_.ShowMessage(error);
                return EXIT_HEX_FILE;
            }
            serialNumber_ = serialFile->Number();
        }
        if (*serialNumber_ > LargestSerialAt(place)) {
            return UsageError("serial number " + std::to_string(*serialNumber_) +
                              " does not fit its place, which holds at most " +
                              std::to_string(LargestSerialAt(place)));
        }
        const std::vector<ImageWord> words = SerialWords(*serialNumber_, place);
        if (const ExitStatus free = CheckSerialPlaceFree(words); free != EXIT_OK) {
            return free;
        }
        // After a verified chip only the step that cannot fail for room is left.
        if (serialFile && !serialFile->PrepareAdvance()) {
            reporter_.ShowMessage(serialFile->NotPreparedMessage());
            return EXIT_HEX_FILE;
        }
        overlay_ = words;
        record_.serialToWrite = serialNumber_;
        return EXIT_OK;
    }

    ExitStatus CheckSerialPlaceFree(const std::vector<ImageWord>& words) {
        if (arguments_.serialOverwrite || !HexFileGivesAnyOf(arguments_.file, words)) {
            return EXIT_OK;
        }
        return UsageError("the serial number's place holds data of " + arguments_.file +
                          "; --serial-overwrite writes over it");
    }

    // With -d auto the file is read for the row found, once the chip has answered.
    ExitStatus Verify() {
        if (!arguments_.autoDevice) {
            if (const ExitStatus chosen = ChooseFile(); chosen != EXIT_OK) {
                return chosen;
            }
        }
        if (const std::optional<ExitStatus> refused = ReachTarget()) {
            return *refused;
        }
        if (arguments_.autoDevice) {
            if (const ExitStatus found = FindAutoDevice(); found != EXIT_OK) {
                return found;
            }
            if (const ExitStatus chosen = ChooseFile(); chosen != EXIT_OK) {
                return chosen;
            }
        }
        return CompareWithTarget({Target(), file_, words_, overlay_});
    }

    // The verify of the open programmer's chip; verify --all lists every difference. The
    // verify command records the checksum of the chip as read; program keeps its own.
    ExitStatus CompareWithTarget(const VerifyRequest& request) {
        reporter_.SetProgressLabel("verify");
        const OperationResult result = Noted(vek::Verify(programmer_, request));
        reporter_.FinishProgress(result.Succeeded());
        if (arguments_.command == Command::Verify && result.readBack) {
            record_.checksum = ChecksumOfRead(*result.readBack);
        }
        if (result.outcome == Outcome::Mismatch || result.Succeeded()) {
            ListDifferences(result.differences);
        }
        return StatusOf(result);
    }

    // "KIND ADDRESS: expected VALUE, read VALUE" each, then their count.
    void ListDifferences(const std::vector<ImageDifference>& differences) {
        nlohmann::json found = nlohmann::json::array();
        std::string lines;
        for (const ImageDifference& difference : differences) {
            const DifferenceText text = DescribeDifference(difference, Target());
            lines += text.kind + " " + text.address + ": expected " + text.expected + ", read " +
                     text.read + "\n";
            found.push_back({{"kind", text.kind},
                             {"address", text.address},
                             {"expected", text.expected},
                             {"read", text.read}});
        }
        record_.found["differences"] = found;
        if (arguments_.all) {
            Result(lines + std::to_string(differences.size()) + " difference" +
                   (differences.size() == 1 ? "" : "s") + "\n");
        }
    }

    // The file and its words as program takes them, the chip untouched.
    ExitStatus Checksum() {
        if (const ExitStatus chosen = ChooseFile(); chosen != EXIT_OK) {
            return chosen;
        }
        record_.checksum = ProgramChecksum({Target(), file_, words_});
        if (!record_.checksum) {
            // The file has changed since its scan.
            reporter_.ShowMessage("The hex file " + file_.name + " could not be opened.");
            return EXIT_HEX_FILE;
        }
        Result(HexDigits(*record_.checksum, 4) + "\n");
        return EXIT_OK;
    }

    // Checked before the chip is read: a mistyped folder is not made for the file, and only a
    // regular file is replaced, never a FIFO, a device or a link that names nothing.
    std::string OutputProblem() const {
        const std::filesystem::path output = PathFromUtf8(arguments_.outputFile);
        if (const std::filesystem::path folder = output.parent_path();
            !folder.empty() && !std::filesystem::is_directory(folder)) {
            return "there is no folder " + Utf8FromPath(folder);
        }
        std::error_code error;
        const bool link = std::filesystem::is_symlink(output, error);
        const std::filesystem::file_type type = std::filesystem::status(output, error).type();
        if ((link || type != std::filesystem::file_type::not_found) &&
            type != std::filesystem::file_type::regular) {
            return "it is not a regular file";
        }
        return "";
    }

    ExitStatus Read() {
        if (!arguments_.outputFile.empty()) {
            if (const std::string problem = OutputProblem(); !problem.empty()) {
                reporter_.ShowMessage("Error: " + arguments_.outputFile +
                                      " could not be written: " + problem + ".");
                return EXIT_HEX_FILE;
            }
        }
        if (const std::optional<ExitStatus> refused = ReachTarget()) {
            return *refused;
        }
        if (const ExitStatus found = FindAutoDevice(); found != EXIT_OK) {
            return found;
        }
        reporter_.SetProgressLabel("read");
        const OperationResult result = Noted(vek::Read(programmer_, {Target()}));
        reporter_.FinishProgress(result.Succeeded());
        if (!result.Succeeded() || !result.readBack) {
            return StatusOf(result);
        }
        const ReadContents& read = *result.readBack;
        record_.checksum = ChecksumOfRead(read);
        const std::string text = HexFileText(read.image, read.target, read.words);
        if (arguments_.outputFile.empty()) {
            Result(text);
            record_.found["file"] = nullptr;
            record_.found["hex"] = text;
            return EXIT_OK;
        }
        if (!ReplaceWholeFile(PathFromUtf8(arguments_.outputFile), text)) {
            reporter_.ShowMessage("Error: " + arguments_.outputFile + " could not be written.");
            return EXIT_HEX_FILE;
        }
        record_.found["file"] = arguments_.outputFile;
        return EXIT_OK;
    }

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

}  // namespace

ExitStatus RunCommand(const Arguments& arguments, Programmer& programmer,
                      TerminalReporter& reporter, std::FILE* results, RunRecord& record,
                      const BeforeTarget& beforeTarget, const ChipHooks& chip) {
    const ExitStatus status =
        CommandRun(arguments, programmer, reporter, results, record, beforeTarget, chip).Run();
    reporter.FinishProgress(status == EXIT_OK);
    if (programmer.Connected) {
        programmer.link.Close();
    }
    return status;
}

}  // namespace vek::cli
