#include "operations/program.h"

#include "config/code_protection.h"
#include "device/checksum.h"
#include "device/hex_file.h"
#include "device/hex_text.h"
#include "link/link_messages.h"
#include "link/protocol.h"
#include "operations/blank_erase.h"
#include "operations/device_id.h"
#include "operations/operation_claim.h"
#include "operations/read.h"
#include "operations/verify.h"
#include "session/hex_file_open.h"
#include "session/pinned_file.h"

namespace vek {

namespace {

constexpr const char* MSG_COMMUNICATING = "Error communicating with programmer.";
constexpr const char* MSG_NOT_RESPONDING = "VEK-Flash programmer is not responding to commands.";
constexpr const char* MSG_NOT_RESPONDING_CODED =
    "VEK Flash programmer is not responding to commands.";
// Bit 8 of a PIC16 configuration word clear: the data EEPROM is to be protected.
constexpr int DATA_UNPROTECTED_BIT = 0x100;
// What the second configuration block keeps of the word: bit 8 and everything above 13 cleared.
constexpr int PROTECTED_CONFIG_MASK = 0x3EFF;
constexpr int LEFTOVER_BYTES = 100;
constexpr const char* MSG_NO_CONFIGURATION_WORD =
    "The configuration bits are not set (the Config Bits field shows no word).\nSet them with "
    "the Set button, or open a HEX file that holds the configuration word.";
constexpr const char* MSG_NO_FUSE_WORD =
    "The configuration bits are not set (the Fuse field shows no word).\nSet them with the Set "
    "button, open a HEX file that holds the FUSE word, or press \"R\" to use the last "
    "configuration.";
constexpr const char* MSG_NO_FUSEX_WORD =
    "The FuseX bits are not set (the FuseX field shows no word).\nSet them with the FuseX Set "
    "button, or open a HEX file that holds the FUSEX word.";
constexpr int PAUSE_BEFORE_END_MS = 100;
constexpr const char* MSG_PROGRAMMING_COMPLETE = "Programming complete.";
// A kept EEPROM byte as a programming block carries it: written, whatever the file gives.
constexpr std::int32_t KEPT_BYTE_MASK = EEPROM_PRESENT | 0xFF;

// The configuration words as the chip holds them once programmed; a PIC16 has no FUSEX.
ConfigurationWords WordsWritten(const GivenWords& words) {
    return {words.fuse.value_or(ABSENT_WORD_VALUE), words.fuseX.value_or(0)};
}

// The file's words as Program writes them. False as LoadHexInto says.
bool LoadProgramImage(const ProgramRequest& request, MemoryImage& image, int* damagedLine,
                      std::string* sha256) {
    return LoadHexInto(request.file.path, image, LoadVariant::Program, request.target.family,
                       nullptr, damagedLine, sha256);
}

// The kept EEPROM bytes and then the overlay over the file's words.
void PlaceOverFile(const ProgramRequest& request, const std::vector<ImageWord>& kept,
                   MemoryImage& image) {
    image.Place(kept);
    image.Place(request.overlay);
}

enum class ReplyCheck { Expected, ReadFailed, Wrong };

ReplyCheck CheckReply(ProgrammerLink& link, std::uint8_t expected) {
    const Reply reply = link.ReadReply();
    if (reply.ReadFailed()) {
        return ReplyCheck::ReadFailed;
    }
    return reply.Is(expected) ? ReplyCheck::Expected : ReplyCheck::Wrong;
}

// The messages of one configuration block's two replies.
struct ConfigBlockMessages {
    const char* readyUnreadable;
    const char* readyWrongCode;
    const char* ackUnreadable;
    const char* ackWrong;
};

class Programming {
  public:
    Programming(Programmer& programmer, const ProgramRequest& request)
        : programmer_(programmer),
          reporter_(programmer.reporter),
          link_(programmer.link),
          request_(request),
          target_(request.target) {}

    OperationResult Run() {
        const ChosenHexFile& file = request_.file;
        if (file.name.size() < 2) {
            Fail(Outcome::NoHexFile, "Error: No Hex datafile selected.");
            return result_;
        }
        int lineNo = 0;
        const HexScanResult scan = ScanHexFile(file.path, target_, nullptr, lineNo);
        if (scan != HexScanResult::Ok) {
            Fail(Outcome::HexFileError, HexScanMessage(target_, file, scan, lineNo));
            return result_;
        }
        if (!LoadFile() || !CheckConfigurationWords() || !CheckIdentityAndBlankness()) {
            return result_;
        }
        PlaceWords();
        if (!Stream()) {
            return result_;
        }
        result_ = {Outcome::Done};
        result_.checksum = TargetChecksum(image_, target_, WordsWritten(request_.words));
        result_.keptEeprom = kept_;
        if (!request_.verifyAfterProgram) {
            reporter_.ShowMessage(MSG_PROGRAMMING_COMPLETE);
            return result_;
        }
        OperationResult verified = VerifyJustProgrammed(
            programmer_, VerifyRequestAfter(request_, result_), MSG_PROGRAMMING_COMPLETE);
        verified.checksum = result_.checksum;
        verified.keptEeprom = kept_;
        return verified;
    }

  private:
    TargetFamily Family() const { return target_.family; }
    bool IsPic16() const { return Family() == TargetFamily::PIC16; }

    bool Fail(Outcome outcome, const std::string& message) {
        reporter_.ShowMessage(message);
        return Failed(outcome);
    }
    // A failure whose message has already been shown.
    bool Failed(Outcome outcome) {
        result_ = {outcome};
        return false;
    }
    bool FailCommunicating(const std::string& message) {
        return Fail(Outcome::CommunicationFailed, message);
    }

    // An absent word is no word at all, and a word that locks the chip's program memory away
    // must be what the person wants.
    bool CheckConfigurationWords() {
        const GivenWords& words = request_.words;
        if (!words.fuse) {
            return Fail(Outcome::NoConfiguration,
                        IsPic16() ? MSG_NO_CONFIGURATION_WORD : MSG_NO_FUSE_WORD);
        }
        if (!IsPic16() && !words.fuseX) {
            return Fail(Outcome::NoConfiguration, MSG_NO_FUSEX_WORD);
        }
        const std::string fuse = WordText(target_, *words.fuse);
        if (TurnsOnCodeProtection(target_, fuse) &&
            !reporter_.AskYesNo(CodeProtectionQuestion(fuse))) {
            return Failed(Outcome::Declined);
        }
        return true;
    }

    // CMD_BEGIN and its REPLY_READY.
    bool Begin(const char* readUnreadableCode, const char* fatalCode) {
        if (!link_.SendCommand({CMD_BEGIN, target_.processorIndex})) {
            return FailCommunicating(MSG_COMMUNICATING);
        }
        switch (CheckReply(link_, REPLY_READY)) {
            case ReplyCheck::Expected:
                return true;
            case ReplyCheck::ReadFailed:
                return FailCommunicating(std::string(MSG_NOT_RESPONDING) + readUnreadableCode);
            case ReplyCheck::Wrong:
                break;
        }
        reporter_.ShowMessage(FatalMessage(fatalCode));
        link_.FatalLinkShutdown();
        return Failed(Outcome::CommunicationFailed);
    }

    // The first transaction: the chip's identity and whether it is blank, erasing it when
    // it is not and the person allows that.
    bool CheckIdentityAndBlankness() {
        if (!Begin("(1130)", "(1c)")) {
            return false;
        }
        switch (CheckTargetIdentity(programmer_, target_)) {
            case Identity::Matches:
                break;
            case Identity::Differs:
                return Failed(Outcome::WrongDevice);
            case Identity::Unreadable:
                return Failed(Outcome::CommunicationFailed);
        }
        if (KeepsEeprom() && !KeepEeprom()) {
            return false;
        }
        switch (BlankCheckTarget(programmer_, target_)) {
            case BlankResult::Blank:
                return true;
            case BlankResult::SendFailed:
                return FailCommunicating("Could not write the device during Blank Check.");
            case BlankResult::NoAnswer:
                return FailCommunicating("Could not read from the device during Blank Check.");
            case BlankResult::NotBlank:
                break;
        }
        if (!request_.eraseBeforeProgram) {
            return Fail(Outcome::NotBlank,
                        "Device is not blank. Either erase the device or \nselect Auto Erase "
                        "feature in the Setup menu.");
        }
        switch (BulkEraseTarget(programmer_, target_)) {
            case EraseResult::Done:
                return true;
            case EraseResult::NotStarted:
                return FailCommunicating("Could not write the device during Blank Check.");
            case EraseResult::SendFailed:
            case EraseResult::NoCompletion:
                break;
        }
        return FailCommunicating("Error during Bulk Erase function.");
    }

    bool KeepsEeprom() const { return request_.preserveEeprom && target_.eepromBytes > 0; }

    // Before the chip can be erased: its EEPROM bytes, read in the transaction that has
    // identified it, which the read stream ends; the blank check gets one of its own. A chip
    // whose protected EEPROM reads as zeros is refused.
    bool KeepEeprom() {
        const std::optional<ReadContents> read = ReadInTransaction(programmer_, target_);
        if (!read) {
            return Failed(Outcome::CommunicationFailed);
        }
        if (target_.ProtectsData(read->words.fuse)) {
            return Fail(Outcome::EepromProtected,
                        "The chip's EEPROM is protected and cannot be kept.");
        }
        for (int address = EEPROM_ADDR; address < EEPROM_ADDR + target_.eepromBytes; ++address) {
            kept_.push_back({address, KEPT_BYTE_MASK, read->image[address] | EEPROM_PRESENT});
        }
        return Begin("(1130)", "(1c)");
    }

    // The file's words into the image, before the chip is touched: a file that cannot be
    // loaded, or is not the one pinned, leaves the chip as it is.
    bool LoadFile() {
        const ChosenHexFile& file = request_.file;
        const std::optional<PinnedHexFile>& pin = request_.pin;
        int damagedLine = 0;
        std::string loadedSha256;
        if (!LoadProgramImage(request_, image_, &damagedLine, pin ? &loadedSha256 : nullptr)) {
            // The file changed since its scan; what it holds now was never checked.
            return Fail(Outcome::HexFileError,
                        damagedLine > 0 ? HexScanMessage(target_, file,
                                                         HexScanResult::ChecksumError, damagedLine)
                                        : "The hex file " + file.name + " could not be opened.");
        }
        if (pin && loadedSha256 != pin->sha256) {
            return Fail(Outcome::HexFileError,
                        NotTheJobsFile(file.path, loadedSha256, pin->jobFile, pin->sha256));
        }
        return true;
    }

    // Over the file's words: the kept EEPROM bytes, the overlay, and the requested
    // configuration words.
    void PlaceWords() {
        PlaceOverFile(request_, kept_, image_);
        configValue_ = *request_.words.fuse;
        if (IsPic16()) {
            protectData_ = (configValue_ & DATA_UNPROTECTED_BIT) == 0;
            configValue_ |= DATA_UNPROTECTED_BIT;
        }
        image_[CONFIG_WORD_ADDR] = configValue_;
        fuseXValue_ = request_.words.fuseX.value_or(ABSENT_WORD_VALUE);
    }

    bool SendProgramFrame(std::uint8_t code) {
        const int words = target_.programWords;
        const int bytes = target_.eepromBytes;
        return link_.SendCommand({code, target_.processorIndex, LowByte(words), HighByte(words),
                                  LowByte(bytes), HighByte(bytes), LowByte(configValue_),
                                  HighByte(configValue_), LowByte(fuseXValue_),
                                  HighByte(fuseXValue_)});
    }

    // The second transaction: the programming stream.
    bool Stream() {
        if (!Begin("(1131)", "(1d)")) {
            return false;
        }
        if (!IsPic16() && !ProgramFuseX()) {
            return false;
        }
        if (!SendProgramFrame(CMD_PROGRAM)) {
            return FailCommunicating(MSG_COMMUNICATING);
        }
        if (!IsPic16() && !CheckFuseResult()) {
            return false;
        }
        if (!ProgramMemory()) {
            return false;
        }
        if (IsPic16() && !ProgramConfigurationAndEeprom()) {
            return false;
        }
        SendBlock(BLOCK_END, 0);
        switch (CheckReply(link_, REPLY_OK)) {
            case ReplyCheck::Expected:
                break;
            case ReplyCheck::ReadFailed:
                return FailCommunicating("Bad ACK attempting to terminate Flash programming.(1)");
            case ReplyCheck::Wrong:
                return FailCommunicating("Bad ACK attempting to terminate Flash programming.(2)");
        }
        reporter_.Pause(PAUSE_BEFORE_END_MS);
        if (!link_.SendCommand({CMD_END, target_.processorIndex})) {
            return FailCommunicating("Error communicating with programmer. (99)");
        }
        return true;
    }

    bool ProgramFuseX() {
        if (!SendProgramFrame(CMD_PROGRAM_FUSEX)) {
            return FailCommunicating(MSG_COMMUNICATING);
        }
        switch (CheckReply(link_, REPLY_OK)) {
            case ReplyCheck::Expected:
                return true;
            case ReplyCheck::ReadFailed:
                return FailCommunicating(
                    "VEK-Flash programmer is not responding to the program Fusex command.");
            case ReplyCheck::Wrong:
                break;
        }
        return FailCommunicating("FuseX program failed.");
    }

    bool CheckFuseResult() {
        switch (CheckReply(link_, REPLY_READY)) {
            case ReplyCheck::Expected:
                break;
            case ReplyCheck::ReadFailed:
                return FailCommunicating(std::string(MSG_NOT_RESPONDING) + "(1731)");
            case ReplyCheck::Wrong:
                return FailCommunicating(std::string(MSG_NOT_RESPONDING_CODED) + "(145d)");
        }
        const Reply fuse = link_.ReadReply();
        // A result that never came says nothing about the FUSE word: not a success.
        if (fuse.status != Reply::Status::Arrived) {
            return FailCommunicating(
                "VEK-Flash programmer is not responding to the program Fuse command.");
        }
        if (fuse.byte == REPLY_FAIL) {
            return FailCommunicating("Fuse program failed.");
        }
        return true;
    }

    void SendBlock(int address, int firstEntry) {
        link_.SendBlock(address, image_.Block(firstEntry));
    }

    bool ProgramMemory() {
        const int words = target_.programWords;
        for (int address = 0; address < words; address += BLOCK_WORDS) {
            reporter_.PumpOneEvent();
            reporter_.SetProgress(address * 100 / words);
            SendBlock(address, address);
            switch (CheckReply(link_, REPLY_OK)) {
                case ReplyCheck::Expected:
                    continue;
                case ReplyCheck::ReadFailed:
                    return FailCommunicating(
                        "VEK-Flash programmer is not responding correctly to program ROM "
                        "command.");
                case ReplyCheck::Wrong:
                    return FailCommunicating("Bad ACK during Flash programming. (0xA5)");
            }
        }
        return true;
    }

    bool ProgramConfigBlock(const ConfigBlockMessages& messages) {
        SendBlock(BLOCK_CONFIG, CONFIG_AREA_ADDR);
        switch (CheckReply(link_, REPLY_READY)) {
            case ReplyCheck::Expected:
                break;
            case ReplyCheck::ReadFailed:
                return FailCommunicating(messages.readyUnreadable);
            case ReplyCheck::Wrong:
                return FailCommunicating(std::string(MSG_NOT_RESPONDING_CODED) +
                                         messages.readyWrongCode);
        }
        switch (CheckReply(link_, REPLY_OK)) {
            case ReplyCheck::Expected:
                return true;
            case ReplyCheck::ReadFailed:
                return FailCommunicating(messages.ackUnreadable);
            case ReplyCheck::Wrong:
                break;
        }
        return FailCommunicating(messages.ackWrong);
    }

    // Bytes the programmer sent after the configuration block are noted and dropped.
    void CheckLeftOver() {
        link_.SetTimeouts(TIMEOUT_LEFTOVER_MS, TIMEOUT_LEFTOVER_MS);
        std::uint8_t leftOver[LEFTOVER_BYTES];
        std::uint32_t received = 0;
        link_.Read(leftOver, received);
        if (received > 0) {
            reporter_.ShowMessage("data left over 2");
        }
        link_.SetTimeouts(TIMEOUT_NORMAL_MS, TIMEOUT_NORMAL_MS);
    }

    bool ProgramEeprom() {
        for (int offset = 0; offset < target_.eepromBytes; offset += BLOCK_WORDS) {
            SendBlock(EEPROM_ADDR + offset, EEPROM_ADDR + offset);
            if (offset == 0) {
                switch (CheckReply(link_, REPLY_READY)) {
                    case ReplyCheck::Expected:
                        break;
                    case ReplyCheck::ReadFailed:
                        return FailCommunicating(std::string(MSG_NOT_RESPONDING) + "(1137f)");
                    case ReplyCheck::Wrong:
                        return FailCommunicating(std::string(MSG_NOT_RESPONDING_CODED) + "(1u)");
                }
            }
            if (CheckReply(link_, REPLY_OK) != ReplyCheck::Expected) {
                return FailCommunicating("Bad ACK during EE Data programming.");
            }
        }
        return true;
    }

    // The configuration word goes first with the data EEPROM writable, so that the EEPROM
    // blocks can be written, and once more protected at the end when that was asked for.
    bool ProgramConfigurationAndEeprom() {
        if (!ProgramConfigBlock({"VEK-Flash programmer is not responding to commands.(1137f)",
                                 "(1tr)", "Bad ACK during Configuration programming (CF0).",
                                 "Bad ACK during Configuration programming (CF1)."})) {
            return false;
        }
        CheckLeftOver();
        if (!ProgramEeprom()) {
            return false;
        }
        if (!protectData_) {
            return true;
        }
        image_[CONFIG_WORD_ADDR] &= PROTECTED_CONFIG_MASK;
        return ProgramConfigBlock({"VEK-Flash programmer is not responding to commands.(1137s)",
                                   "(1trj)", "Bad ACK during Configuration programming (CF2).",
                                   "Bad ACK during Configuration programming (CF3)."});
    }

    Programmer& programmer_;
    Reporter& reporter_;
    ProgrammerLink& link_;
    const ProgramRequest& request_;
    const DeviceInfo& target_;
    MemoryImage image_;
    OperationResult result_;
    std::vector<ImageWord> kept_;
    int configValue_ = 0;
    int fuseXValue_ = 0;
    bool protectData_ = false;
};

}  // namespace

std::string CodeProtectionQuestion(const std::string& wordText) {
    return "The configuration word " + wordText +
           " turns on code protection: the chip can no longer be read or verified. Program it "
           "anyway?";
}

OperationResult Program(Programmer& programmer, const ProgramRequest& request) {
    return RunClaimed(programmer, request.target,
                      [&] { return Programming(programmer, request).Run(); });
}

std::optional<std::uint16_t> ProgramChecksum(const ProgramRequest& request) {
    const DeviceInfo& target = request.target;
    const bool sx = target.family == TargetFamily::SX;
    if (!request.words.fuse || (sx && !request.words.fuseX)) {
        return std::nullopt;
    }
    int lineNo = 0;
    MemoryImage image;
    if (request.file.name.size() < 2 ||
        ScanHexFile(request.file.path, target, nullptr, lineNo) != HexScanResult::Ok ||
        !LoadProgramImage(request, image, nullptr, nullptr)) {
        return std::nullopt;
    }
    PlaceOverFile(request, {}, image);
    return TargetChecksum(image, target, WordsWritten(request.words));
}

}  // namespace vek
