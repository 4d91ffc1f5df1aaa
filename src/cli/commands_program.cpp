// program and save-job: one chip, the loop of chips, the watch, the job and the serial numbers.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_run.h"
#include "config/code_protection.h"
#include "link/usb_drivers.h"
#include "operations/production_loop.h"
#include "operations/program.h"
#include "operations/run_log.h"
#include "operations/verify.h"
#include "platform/file_changes.h"
#include "platform/utf8_path.h"
#include "session/hex_file_open.h"
#include "session/job_file.h"
#include "session/rebuild_watch.h"
#include "session/serial_number.h"

namespace vek::cli {

namespace {

std::string CountsText(const LoopCounts& counts) {
    return std::to_string(counts.passed) + " passed, " + std::to_string(counts.failed) +
           " failed, " + std::to_string(counts.Total()) + " in all";
}

}  // namespace

ExitStatus CommandRun::CheckCodeProtection() {
    const std::string word = WordText(Target(), *words_.fuse);
    if (TurnsOnCodeProtection(Target(), word) && !arguments_.allowCodeProtection) {
        return UsageError("the configuration word " + word +
                          " turns on code protection: the chip could no longer be read or "
                          "verified; give --allow-code-protection to program it anyway");
    }
    reporter_.SetAnswerYes(arguments_.allowCodeProtection);
    return EXIT_OK;
}

ExitStatus CommandRun::Program() {
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

ExitStatus CommandRun::ProgramTarget(std::optional<SerialNumberFile>& serialFile) {
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

ExitStatus CommandRun::ProgramLoop() {
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
             reporter_.ShowMessage(wanted == SocketWait::ForChip ? "Insert chip." : "Remove chip.");
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
                 record_.serialWritten ? "  serial " + std::to_string(*record_.serialWritten) : "";
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

ExitStatus CommandRun::ProgramOneChip() {
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

LoopCounts CommandRun::TodaysCountsInLog() const {
    if (arguments_.logFile.empty()) {
        return {};
    }
    return vek::TodaysCountsInLog(arguments_.logFile, std::string(Target().name),
                                  Sha256OfFile(PathFromUtf8(file_.path)).value_or(""));
}

ExitStatus CommandRun::CheckPinnedFile() {
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

ExitStatus CommandRun::SaveJob() {
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
        reporter_.ShowMessage("Error: the job " + arguments_.jobFile + " could not be written.");
        return EXIT_HEX_FILE;
    }
    reporter_.ShowMessage("The job " + arguments_.jobFile + " has been written.");
    return EXIT_OK;
}

ExitStatus CommandRun::WatchAndProgram() {
    const std::unique_ptr<FileChanges> changes = FileChanges::Watch(PathFromUtf8(arguments_.file));
    if (!changes) {
        reporter_.ShowMessage("Error: the folder of " + arguments_.file + " cannot be watched.");
        return EXIT_HEX_FILE;
    }
    reporter_.ShowMessage("Watching " + arguments_.file + "; Ctrl+C ends.");
    return static_cast<ExitStatus>(WatchForRebuilds(
        *changes, [this] { return ProgramRebuilt(); }, EXIT_OK, EXIT_HEX_FILE));
}

RebuildRun CommandRun::ProgramRebuilt() {
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

ExitStatus CommandRun::PlaceSerialNumber(std::optional<SerialNumberFile>& serialFile) {
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

ExitStatus CommandRun::CheckSerialPlaceFree(const std::vector<ImageWord>& words) {
    if (arguments_.serialOverwrite || !HexFileGivesAnyOf(arguments_.file, words)) {
        return EXIT_OK;
    }
    return UsageError("the serial number's place holds data of " + arguments_.file +
                      "; --serial-overwrite writes over it");
}

}  // namespace vek::cli
