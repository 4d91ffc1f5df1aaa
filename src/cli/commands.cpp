#include "cli/commands.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "cli/udev_rule.h"
#include "config/code_protection.h"
#include "device/hex_file.h"
#include "device/hex_text.h"
#include "device/hex_writer.h"
#include "link/attached_boards.h"
#include "link/link_messages.h"
#include "operations/blank_erase.h"
#include "operations/device_id.h"
#include "operations/program.h"
#include "operations/read.h"
#include "operations/verify.h"
#include "platform/utf8_path.h"
#include "platform/whole_file.h"
#include "session/connection.h"
#include "session/hex_file_open.h"

namespace vek::cli {

const char* OutcomeName(ExitStatus status) {
    switch (status) {
        case EXIT_OK:
            return "success";
        case EXIT_DIFFERS:
            return "difference";
        case EXIT_USAGE:
            return "usage";
        case EXIT_HEX_FILE:
            return "file";
        case EXIT_PROGRAMMER:
            return "programmer";
        case EXIT_WRONG_DEVICE:
            return "wrong-device";
    }
    return "programmer";
}

namespace {

// An ID of all zeros or all ones that fits no device: nothing answered in the socket.
bool LooksLikeEmptySocket(const DeviceInfo& target, int id) {
    const int compared = id & target.IdMask();
    return (compared == 0 || compared == target.IdMask()) && DevicesFittingId(id).empty();
}

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

ExitStatus StatusOf(const OperationResult& result) {
    switch (result.outcome) {
        case Outcome::Done:
            return EXIT_OK;
        case Outcome::NotBlank:
        case Outcome::Mismatch:
        case Outcome::EepromProtected:
            return EXIT_DIFFERS;
        case Outcome::NoHexFile:
        case Outcome::HexFileError:
            return EXIT_HEX_FILE;
        case Outcome::WrongDevice:
            return EXIT_WRONG_DEVICE;
        case Outcome::NoConfiguration:
        case Outcome::Declined:
            return EXIT_USAGE;
        case Outcome::Refused:
        case Outcome::NoProgrammer:
        case Outcome::CommunicationFailed:
            break;
    }
    return EXIT_PROGRAMMER;
}

class CommandRun {
  public:
    CommandRun(const Arguments& arguments, Programmer& programmer, TerminalReporter& reporter,
               std::FILE* results, RunRecord& record, const BeforeTarget& beforeTarget)
        : arguments_(arguments),
          programmer_(programmer),
          reporter_(reporter),
          results_(results),
          record_(record),
          beforeTarget_(beforeTarget) {}

    ExitStatus Run() {
        const ExitStatus status = RunNamedCommand();
        record_.driver = UsbDriverKey(programmer_.link.DriverInUse());
        if (targetId_) {
            record_.deviceWord = IdText(*targetId_);
        }
        if (status == EXIT_WRONG_DEVICE && targetId_ &&
            LooksLikeEmptySocket(Target(), *targetId_)) {
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
                return Program();
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

    // The row of -d; every command that works on a chip has one.
    const DeviceInfo& Target() const { return DeviceTable[arguments_.deviceRow]; }
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
        if (!IdFits(Target(), id)) {
            reporter_.ShowMessage("The chip's device ID " + word + " is not that of the " +
                                  std::string(Target().name) + ".");
            return EXIT_WRONG_DEVICE;
        }
        return EXIT_OK;
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
        reporter_.SetProgressLabel("program");
        const ProgramRequest request{
            Target(), file_, words_, !arguments_.noErase, overlay_, arguments_.preserveEeprom};
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
        reporter_.ShowMessage("Error: " + arguments_.serialFile +
                              " could not be written; the chip holds serial number " +
                              std::to_string(*serialNumber_) + ".");
        return EXIT_HEX_FILE;
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
        if (!arguments_.serialOverwrite && FileGivesAnyOf(words)) {
            return UsageError("the serial number's place holds data of " + arguments_.file +
                              "; --serial-overwrite writes over it");
        }
        // After a verified chip only the step that cannot fail for room is left.
        if (serialFile && !serialFile->PrepareAdvance()) {
            reporter_.ShowMessage("Error: the serial number file " + arguments_.serialFile +
                                  " could not take the next number, " +
                                  std::to_string(*serialNumber_ + 1) +
                                  "; the chip was not touched.");
            return EXIT_HEX_FILE;
        }
        overlay_ = words;
        record_.serialToWrite = serialNumber_;
        return EXIT_OK;
    }

    bool FileGivesAnyOf(const std::vector<ImageWord>& words) const {
        MemoryImage given;
        LoadHexInto(arguments_.file, given, LoadVariant::Listing, TargetFamily::PIC16);
        return std::any_of(words.begin(), words.end(), [&](const ImageWord& word) {
            return (given[word.address] & LOADED_MARK) != 0;
        });
    }

    ExitStatus Verify() {
        if (const ExitStatus chosen = ChooseFile(); chosen != EXIT_OK) {
            return chosen;
        }
        if (const std::optional<ExitStatus> refused = ReachTarget()) {
            return *refused;
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
    // What program and verify work from: the file, the words and the serial number's entries.
    ChosenHexFile file_;
    GivenWords words_;
    std::vector<ImageWord> overlay_;
    std::optional<unsigned> serialNumber_;
    // The target's ID as last read, for the record.
    std::optional<int> targetId_;
};

}  // namespace

ExitStatus RunCommand(const Arguments& arguments, Programmer& programmer,
                      TerminalReporter& reporter, std::FILE* results, RunRecord& record,
                      const BeforeTarget& beforeTarget) {
    const ExitStatus status =
        CommandRun(arguments, programmer, reporter, results, record, beforeTarget).Run();
    reporter.FinishProgress(status == EXIT_OK);
    if (programmer.Connected) {
        programmer.link.Close();
    }
    return status;
}

}  // namespace vek::cli
