#include "operations/job_chip.h"

#include <chrono>

#include "link/attached_boards.h"
#include "operations/program.h"
#include "operations/run_log.h"
#include "platform/utc_time.h"
#include "platform/utf8_path.h"
#include "session/serial_number.h"

namespace vek {

namespace {

// Why the place cannot hold a number on the chip; empty when it can.
std::string MisfitText(const SerialPlace& place, const DeviceInfo& target) {
    switch (FitOfSerialPlace(place, target)) {
        case SerialPlaceFit::NoPlaceOnSx:
            return "an " + std::string(target.name) + " has no EEPROM and no ID locations";
        case SerialPlaceFit::BeyondEeprom:
            return "it lies beyond the " + std::to_string(target.eepromBytes) +
                   " EEPROM bytes of the " + std::string(target.name);
        case SerialPlaceFit::Fits:
            break;
    }
    return "";
}

// The counter holding the chip's number, the number's words over the request's and the next
// number ready in the file's place; nothing after a message when it cannot be used.
std::optional<SerialNumberFile> PrepareSerialNumber(Reporter& reporter, const ProductionJob& job,
                                                    ProgramRequest& request) {
    std::string error;
    const std::optional<SerialPlace> place = ParseSerialPlace(job.serialAt, error);
    if (place) {
        error = MisfitText(*place, job.target);
    }
    if (!error.empty()) {
        reporter.ShowMessage("Error: the job's serial number place '" + job.serialAt +
                             "' cannot be used: " + error + ".");
        return std::nullopt;
    }
    if (job.serialFile.empty()) {
        reporter.ShowMessage("Error: the job numbers its chips but names no serial number file.");
        return std::nullopt;
    }
    std::optional<SerialNumberFile> counter = SerialNumberFile::Open(job.serialFile, error);
    if (!counter) {
        reporter.ShowMessage(error);
        return std::nullopt;
    }
    const unsigned number = counter->Number();
    if (number > LargestSerialAt(*place)) {
        reporter.ShowMessage("Error: serial number " + std::to_string(number) +
                             " does not fit its place, which holds at most " +
                             std::to_string(LargestSerialAt(*place)) + ".");
        return std::nullopt;
    }
    const std::vector<ImageWord> words = SerialWords(number, *place);
    const std::string hexFile = Utf8FromPath(job.hexFile);
    if (!job.serialOverwrite && HexFileGivesAnyOf(hexFile, words)) {
        reporter.ShowMessage("Error: the serial number's place holds data of " + hexFile +
                             ", which the job does not write over.");
        return std::nullopt;
    }
    if (!counter->PrepareAdvance()) {
        reporter.ShowMessage(counter->NotPreparedMessage());
        return std::nullopt;
    }
    request.overlay.insert(request.overlay.end(), words.begin(), words.end());
    request.verifyAfterProgram = true;
    return counter;
}

// The board a row names, as the command line names it: the one chosen, else the first attached,
// which is the one the link opens.
std::string BoardOfRow(Programmer& programmer) {
    if (!programmer.BoardSerial.empty()) {
        return programmer.BoardSerial;
    }
    const std::vector<AttachedBoard> boards = ListAttachedBoards(programmer.link);
    return boards.empty() ? "" : boards.front().serial;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

std::optional<JobChip> ProgramJobChip(Programmer& programmer, const ProductionJob& job,
                                      ProgramRequest request) {
    Reporter& reporter = programmer.reporter;
    const auto start = std::chrono::steady_clock::now();
    RunLogRow row{IsoTimeUtc(std::chrono::system_clock::now()), BoardOfRow(programmer),
                  std::string(job.target.name), "", Utf8FromPath(job.hexFile)};
    std::optional<SerialNumberFile> counter;
    if (!job.serialAt.empty()) {
        if (!(counter = PrepareSerialNumber(reporter, job, request))) {
            return std::nullopt;
        }
        row.serialNumber = counter->Number();
    }
    const std::string logFile = Utf8FromPath(job.logFile);
    std::optional<RunLog> log;
    if (!logFile.empty()) {
        std::string error;
        if (!(log = RunLog::Open(logFile, error))) {
            reporter.ShowMessage(error);
            return std::nullopt;
        }
        if (!log->Append(row)) {
            reporter.ShowMessage(LogNotWrittenMessage(logFile));
            return std::nullopt;
        }
    }

    JobChip chip{Program(programmer, request)};
    row.status = StatusOf(chip.result);
    if (counter && chip.result.checksum) {
        chip.serialNumber = counter->Number();
    }
    if (counter && chip.result.Succeeded() && !counter->Advance()) {
        reporter.ShowMessage(counter->NotAdvancedMessage());
        row.status = EXIT_HEX_FILE;
        chip.bookkeepingFailed = true;
    }
    row.deviceWord = chip.result.targetId ? IdText(*chip.result.targetId) : "";
    row.serialNumber = chip.serialNumber;
    row.seconds = SecondsSince(start);
    row.checksum = chip.result.checksum;
    if (log && !log->Append(row)) {
        reporter.ShowMessage(LogNotWrittenMessage(logFile));
        chip.bookkeepingFailed = true;
    }
    return chip;
}

LoopCounts TodaysCountsOfJob(const ProductionJob& job) {
    if (job.logFile.empty()) {
        return {};
    }
    return TodaysCountsInLog(Utf8FromPath(job.logFile), std::string(job.target.name),
                             job.hexSha256);
}

}  // namespace vek
