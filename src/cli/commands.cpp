#include "cli/commands.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_run.h"
#include "cli/udev_rule.h"
#include "link/attached_boards.h"
#include "link/link_messages.h"
#include "link/usb_drivers.h"
#include "operations/blank_erase.h"
#include "operations/device_id.h"
#include "platform/utf8_path.h"
#include "session/connection.h"
#include "session/hex_file_open.h"

namespace vek::cli {

CommandRun::CommandRun(const Arguments& arguments, Programmer& programmer,
                       TerminalReporter& reporter, std::FILE* results, RunRecord& record,
                       const BeforeTarget& beforeTarget, const ChipHooks& chip)
    : arguments_(arguments),
      programmer_(programmer),
      reporter_(reporter),
      results_(results),
      record_(record),
      beforeTarget_(beforeTarget),
      chip_(chip),
      row_(arguments.autoDevice ? FirstAutoDevice().processorIndex : arguments.deviceRow) {}

ExitStatus CommandRun::Run() {
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

ExitStatus CommandRun::RunNamedCommand() {
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

OperationResult CommandRun::Noted(OperationResult result) {
    if (result.targetId) {
        targetId_ = result.targetId;
    }
    return result;
}

void CommandRun::Result(const std::string& text) {
    if (!arguments_.json) {
        std::fputs(text.c_str(), results_);
    }
}

std::optional<std::vector<AttachedBoard>> CommandRun::AttachedBoards() {
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

bool CommandRun::ChooseBoard() {
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
                              Escaped(arguments_.board) +
                              " is attached. Attached: " + Escaped(SerialNumbers(*boards)) + ".");
        return false;
    }
    programmer_.BoardSerial = record_.boardSerial = arguments_.board;
    return true;
}

bool CommandRun::Connect() {
    if (!ChooseBoard()) {
        return false;
    }
    StartupConnection(programmer_);
    if (!programmer_.Connected && programmer_.link.PermissionRefused()) {
        reporter_.ShowMessage(std::string("vekflash-cli: the board is attached, but this user may "
                                          "not open it. The udev rule ") +
                              VEK_UDEV_RULE +
                              " gives it to the plugdev group: add yourself (sudo usermod -aG "
                              "plugdev $USER), log in again and plug the board in again.");
    }
    return programmer_.Connected;
}

std::optional<ExitStatus> CommandRun::ReachTarget() {
    if (!Connect()) {
        return EXIT_PROGRAMMER;
    }
    if (!beforeTarget_()) {
        return EXIT_HEX_FILE;
    }
    return std::nullopt;
}

ExitStatus CommandRun::List() {
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

ExitStatus CommandRun::UdevRule() {
    Result(UdevRuleFileText());
    record_.found["rule"] = UDEV_RULE_TEXT;
    record_.found["path"] = UDEV_RULE_PATH;
    return EXIT_OK;
}

ExitStatus CommandRun::Detect() {
    const bool answered = Connect() && TestCommunication(programmer_);
    // Named whether or not a board answered: it is what a person looking for one needs.
    if (programmer_.link.DriverInUse() != nullptr) {
        Result("USB driver: " + UsbDriverKey(programmer_.link.DriverInUse()) + "\n");
    }
    return answered ? EXIT_OK : EXIT_PROGRAMMER;
}

template <typename Operation>
ExitStatus CommandRun::OnTarget(Operation operation) {
    if (const std::optional<ExitStatus> refused = ReachTarget()) {
        return *refused;
    }
    return StatusOf(Noted(operation()));
}

ExitStatus CommandRun::UsageError(const std::string& text) {
    reporter_.ShowMessage("vekflash-cli: " + text);
    return EXIT_USAGE;
}

ExitStatus CommandRun::Id() {
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

ExitStatus CommandRun::ChooseRowFitting(int id) {
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

ExitStatus CommandRun::FindAutoDevice() {
    if (!arguments_.autoDevice) {
        return EXIT_OK;
    }
    const OperationResult identification = Noted(ReadId(programmer_, {Target()}));
    if (!identification.targetId) {
        return StatusOf(identification);
    }
    return ChooseRowFitting(*identification.targetId);
}

ExitStatus CommandRun::ChooseFile() {
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
