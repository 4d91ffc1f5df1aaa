#include "operations/verify.h"

#include <utility>

#include "device/hex_file.h"
#include "device/hex_text.h"
#include "device/image_compare.h"
#include "operations/device_id.h"
#include "operations/operation_claim.h"
#include "operations/read_stream.h"
#include "session/hex_file_open.h"

namespace vek {

namespace {

std::string MismatchMessage(const ImageDifference& difference) {
    switch (difference.kind) {
        case DifferenceKind::ProgramWord:
            // Without a closing parenthesis, as the person has always seen it.
            return Printf("Program ROM verify failed at word %d. (expected 0x%4.4X, read 0x%4.4X",
                          difference.address, static_cast<unsigned>(difference.expected),
                          static_cast<unsigned>(difference.read));
        case DifferenceKind::FuseXWord:
            return Printf("Verify FuseX failed. Read %3.3X, expected %3.3X",
                          static_cast<unsigned>(difference.read),
                          static_cast<unsigned>(difference.expected));
        case DifferenceKind::FuseWord:
            return Printf("Verify Fuse failed. Read %4.4X, expected %4.4X",
                          static_cast<unsigned>(difference.read),
                          static_cast<unsigned>(difference.expected));
        case DifferenceKind::EepromByte:
            return Printf("EE Data Verify failed at %Xh (EE location %d)", difference.address,
                          difference.address - EEPROM_ADDR);
    }
    return "";
}

class Verification {
  public:
    // programmed: the message of a Program that this Verify follows, shown with the verdict.
    Verification(Programmer& programmer, const VerifyRequest& request, std::string programmed = "")
        : programmer_(programmer),
          link_(programmer.link),
          request_(request),
          target_(request.target),
          stream_(programmer, target_, image_),
          programmed_(std::move(programmed)) {}

    OperationResult Run() {
        OperationResult result = Steps();
        // Program's result is named in a final message even when Verify reached no verdict.
        if (!programmed_.empty() && !concluded_) {
            programmer_.reporter.ShowMessage(programmed_ + "\nVerify could not be completed.");
        }
        return result;
    }

  private:
    OperationResult Steps() {
        const ChosenHexFile& file = request_.file;
        if (file.name.empty()) {
            return Conclude(Outcome::NoHexFile, "Error: You must first load a HEX file.");
        }
        // A file without a data byte would pass against any chip.
        if (FindHexData(file.path) == HexScanResult::NoData) {
            return Conclude(Outcome::HexFileError, NoHexDataMessage(file.name));
        }
        if (!link_.SendCommand({CMD_BEGIN, target_.processorIndex})) {
            return {Outcome::CommunicationFailed};
        }
        // Whatever the reply says, the read-back goes on; only a failed read stops it.
        if (link_.ReadReply().ReadFailed()) {
            return Conclude(Outcome::CommunicationFailed,
                            "VEK-Flash programmer is not responding to commands.(134)");
        }
        switch (CheckTargetIdentity(programmer_, target_)) {
            case Identity::Matches:
                break;
            case Identity::Differs:
                return {Outcome::WrongDevice};
            case Identity::Unreadable:
                return {Outcome::CommunicationFailed};
        }
        if (!ReadBackForVerify()) {
            return {Outcome::CommunicationFailed};
        }
        return Compare();
    }

    // Shows the message that ends the operation and keeps its outcome.
    OperationResult Conclude(Outcome outcome, const std::string& message) {
        programmer_.reporter.ShowMessage(programmed_.empty() ? message
                                                             : programmed_ + "\n" + message);
        concluded_ = true;
        result_.outcome = outcome;
        return result_;
    }

    // The whole chip into the image and its configuration words into the read-back; the
    // transaction is ended when all has arrived. False after a failure that has been reported.
    bool ReadBackForVerify() {
        ConfigurationWords read;
        if (!stream_.Request() || !stream_.TakeFirstByte() ||
            !stream_.TakeConfiguration("Could not read from device. (T15)", read)) {
            return false;
        }
        if (link_.ReadReply().ReadFailed()) {
            programmer_.reporter.ShowMessage(
                "VEK-Flash programmer not responding to commands.(1161)");
            return false;
        }
        if (!stream_.ReadMemoryBlocks("Could not read from device. (T19)")) {
            return false;
        }
        EndTransaction(programmer_, target_);
        result_.readBack = ReadContents{target_, std::move(image_), read};
        return true;
    }

    // The file as it stands on disk now, against what the chip holds and the words requested.
    OperationResult Compare() {
        const ChosenHexFile& file = request_.file;
        MemoryImage fileImage;
        if (!LoadHexInto(file.path, fileImage, LoadVariant::Verify, target_.family)) {
            return Conclude(Outcome::HexFileError,
                            "The hex file " + file.name + " could not be opened.");
        }
        fileImage.Place(request_.overlay);
        const ConfigurationWords expected{request_.words.fuse.value_or(ABSENT_WORD_VALUE),
                                          request_.words.fuseX.value_or(ABSENT_WORD_VALUE)};
        const ReadContents& chip = *result_.readBack;
        result_.differences = CompareWithFile(fileImage, chip.image, target_, expected, chip.words);
        if (!result_.differences.empty()) {
            return Conclude(Outcome::Mismatch, MismatchMessage(result_.differences.front()));
        }
        EndTransaction(programmer_, target_);
        return Conclude(Outcome::Done, "Verify passed");
    }

    Programmer& programmer_;
    ProgrammerLink& link_;
    const VerifyRequest& request_;
    const DeviceInfo& target_;
    MemoryImage image_;
    ReadStream stream_;
    OperationResult result_;
    const std::string programmed_;
    bool concluded_ = false;
};

}  // namespace

VerifyRequest VerifyRequestAfter(const ProgramRequest& program, const OperationResult& programmed) {
    std::vector<ImageWord> overlay = programmed.keptEeprom;
    overlay.insert(overlay.end(), program.overlay.begin(), program.overlay.end());
    return {program.target, program.file, program.words, std::move(overlay)};
}

OperationResult VerifyJustProgrammed(Programmer& programmer, const VerifyRequest& request,
                                     const std::string& programmed) {
    return Verification(programmer, request, programmed).Run();
}

OperationResult Verify(Programmer& programmer, const VerifyRequest& request) {
    return RunClaimed(programmer, request.target,
                      [&] { return Verification(programmer, request).Run(); });
}

}  // namespace vek
