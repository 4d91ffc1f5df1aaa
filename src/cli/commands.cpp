#include "cli/commands.h"

#include <cstdio>
#include <string>

#include "device/hex_text.h"
#include "device/hex_writer.h"
#include "device/utf8_path.h"
#include "link/connection.h"
#include "operations/blank_erase.h"
#include "operations/device_id.h"
#include "operations/program.h"
#include "operations/read.h"
#include "operations/verify.h"
#include "session/hex_file_open.h"
#include "settings/whole_file.h"

namespace vek::cli {

namespace {

ExitStatus StatusOf(const OperationResult& result) {
    switch (result.outcome) {
        case Outcome::Done:
            return EXIT_OK;
        case Outcome::NotBlank:
        case Outcome::Mismatch:
            return EXIT_DIFFERS;
        case Outcome::NoHexFile:
        case Outcome::HexFileError:
            return EXIT_HEX_FILE;
        case Outcome::WrongDevice:
            return EXIT_WRONG_DEVICE;
        case Outcome::Refused:
        case Outcome::NoProgrammer:
        case Outcome::CommunicationFailed:
            break;
    }
    return EXIT_PROGRAMMER;
}

bool IsSx(const Session& session) {
    return FamilyOfIndex(session.CurrentTarget.processorIndex) == TargetFamily::SX;
}

class CommandRun {
  public:
    CommandRun(const Arguments& arguments, Session& session, TerminalUserInterface& ui,
               std::FILE* results)
        : arguments_(arguments), session_(session), ui_(ui), results_(results) {}

    ExitStatus Run() {
        switch (arguments_.command) {
            case Command::Detect:
                return Connect() && TestCommunication(session_) ? EXIT_OK : EXIT_PROGRAMMER;
            case Command::Id:
                return Id();
            case Command::Blank:
                return Connected([this] { return OnBlankCheck(session_); });
            case Command::Erase:
                return Connected([this] { return OnErase(session_); });
            case Command::Program:
                return Program();
            case Command::Verify:
                return Verify();
            case Command::Read:
                return Read();
        }
        return EXIT_USAGE;
    }

  private:
    // The start-up connection of the window; its failures have been reported.
    bool Connect() {
        StartupConnection(session_);
        return session_.Connected;
    }

    template <typename Operation>
    ExitStatus Connected(Operation operation) {
        if (!Connect()) {
            return EXIT_PROGRAMMER;
        }
        return StatusOf(operation());
    }

    ExitStatus UsageError(const std::string& text) {
        ui_.ShowMessage("vekflash-cli: " + text);
        return EXIT_USAGE;
    }

    // "9A0 16F877": the word, then the devices it fits.
    ExitStatus Id() {
        if (!Connect()) {
            return EXIT_PROGRAMMER;
        }
        const ChipIdentification identification = IdentifyChip(session_);
        if (!identification.id) {
            return StatusOf(identification.result);
        }
        const int id = *identification.id;
        std::string line = HexDigits(static_cast<unsigned>(id), 3);
        for (const std::string_view name : DevicesFittingId(id)) {
            line += " " + std::string(name);
        }
        std::fprintf(results_, "%s\n", line.c_str());
        if (!IdFits(session_.CurrentTarget, id)) {
            ui_.ShowMessage("The chip's device ID " + HexDigits(static_cast<unsigned>(id), 3) +
                            " is not that of the " + std::string(session_.CurrentTarget.name) +
                            ".");
            return EXIT_WRONG_DEVICE;
        }
        return EXIT_OK;
    }

    // The file as the window opens it, its configuration records going into the fields; the
    // words given on the command line take their place.
    ExitStatus ChooseFile() {
        session_.HexFilePath = arguments_.file;
        session_.HexFileName = Utf8FileName(arguments_.file);
        FieldTexts fields = ui_.TakeFieldTexts();
        fields.HexFileText = session_.HexFileName;
        // Empty until a record or an option gives the word; a PIC16 sends no FUSEX word of
        // its own, and the window shows "0" there after a change of target.
        fields.FuseText.clear();
        fields.FuseXText = IsSx(session_) ? "" : "0";
        ui_.ShowFieldTexts(fields);
        int lineNo = 0;
        const HexScanResult scan = ScanHexFile(session_, true, lineNo);
        if (scan != HEX_OK) {
            ui_.ShowMessage(HexScanMessage(scan, lineNo));
            return EXIT_HEX_FILE;
        }
        fields = ui_.TakeFieldTexts();
        if (arguments_.config) {
            fields.FuseText = HexDigits(static_cast<unsigned>(*arguments_.config), 4);
        }
        if (arguments_.fuse) {
            fields.FuseText = HexDigits(static_cast<unsigned>(*arguments_.fuse), 3);
        }
        if (arguments_.fuseX) {
            fields.FuseXText = HexDigits(static_cast<unsigned>(*arguments_.fuseX), 3);
        }
        ui_.ShowFieldTexts(fields);
        if (fields.FuseText.empty()) {
            return UsageError(
                arguments_.file + " carries no " +
                (IsSx(session_) ? "FUSE word: give --fuse" : "configuration word: give --config"));
        }
        if (fields.FuseXText.empty()) {
            return UsageError(arguments_.file + " carries no FUSEX word: give --fusex");
        }
        return EXIT_OK;
    }

    ExitStatus Program() {
        if (const ExitStatus chosen = ChooseFile(); chosen != EXIT_OK) {
            return chosen;
        }
        session_.EraseBeforeProgram = !arguments_.noErase;
        ui_.SetProgressLabel("program");
        return Connected([this] { return OnProgram(session_); });
    }

    ExitStatus Verify() {
        if (const ExitStatus chosen = ChooseFile(); chosen != EXIT_OK) {
            return chosen;
        }
        if (!Connect()) {
            return EXIT_PROGRAMMER;
        }
        ui_.SetProgressLabel("verify");
        const OperationResult result = VerifyTarget(session_);
        ui_.FinishProgress(result.Succeeded());
        if (arguments_.all && (result.outcome == Outcome::Mismatch || result.Succeeded())) {
            ListDifferences(result.differences);
        }
        return StatusOf(result);
    }

    void ListDifferences(const std::vector<ImageDifference>& differences) {
        const bool isSx = IsSx(session_);
        for (const ImageDifference& difference : differences) {
            std::fprintf(results_, "%s\n", DifferenceLine(difference, isSx).c_str());
        }
        std::fprintf(results_, "%zu difference%s\n", differences.size(),
                     differences.size() == 1 ? "" : "s");
    }

    // "KIND ADDRESS: expected VALUE, read VALUE"; the address is the word address, an EEPROM
    // byte's its location.
    static std::string DifferenceLine(const ImageDifference& difference, bool isSx) {
        const int wordDigits = isSx ? 3 : 4;
        std::string kind = "program";
        int address = difference.address;
        int digits = wordDigits;
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
        return kind + " " + HexDigits(static_cast<unsigned>(address), 4) + ": expected " +
               HexDigits(static_cast<unsigned>(difference.expected), digits) + ", read " +
               HexDigits(static_cast<unsigned>(difference.read), digits);
    }

    ExitStatus Read() {
        if (!Connect()) {
            return EXIT_PROGRAMMER;
        }
        ui_.SetProgressLabel("read");
        const OperationResult result = ReadTarget(session_);
        ui_.FinishProgress(result.Succeeded());
        if (!result.Succeeded() || !session_.lastRead) {
            return StatusOf(result);
        }
        const ReadContents& read = *session_.lastRead;
        const std::string text = HexFileText(read.image, read.target, read.words);
        if (arguments_.outputFile.empty()) {
            std::fputs(text.c_str(), results_);
            return EXIT_OK;
        }
        if (!ReplaceWholeFile(PathFromUtf8(arguments_.outputFile), text)) {
            ui_.ShowMessage("Error: " + arguments_.outputFile + " could not be written.");
            return EXIT_HEX_FILE;
        }
        return EXIT_OK;
    }

    const Arguments& arguments_;
    Session& session_;
    TerminalUserInterface& ui_;
    std::FILE* results_;
};

}  // namespace

ExitStatus RunCommand(const Arguments& arguments, Session& session, TerminalUserInterface& ui,
                      std::FILE* results) {
    const ExitStatus status = CommandRun(arguments, session, ui, results).Run();
    ui.FinishProgress(status == EXIT_OK);
    if (session.Connected) {
        session.link.Close();
    }
    return status;
}

}  // namespace vek::cli
