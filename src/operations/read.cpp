#include "operations/read.h"

#include <utility>

#include "device/checksum.h"
#include "operations/device_id.h"
#include "operations/operation_claim.h"
#include "operations/read_stream.h"

namespace vek {

namespace {

constexpr int PAUSE_BEFORE_BEGIN_MS = 100;

// The read stream as Read takes it, inside an identified transaction.
class TargetRead {
  public:
    TargetRead(Programmer& programmer, const DeviceInfo& target)
        : programmer_(programmer),
          link_(programmer.link),
          target_(target),
          stream_(programmer, target_, image_) {}

    std::optional<ReadContents> Run() {
        if (!stream_.Request()) {
            return std::nullopt;
        }
        std::optional<ReadContents> contents;
        if (stream_.TakeFirstByte()) {
            contents = ReadTargetData();
        }
        // The stream is left for the transaction's end however far it got.
        EndTransaction(programmer_, target_);
        return contents;
    }

  private:
    bool IsPic16() const { return target_.family == TargetFamily::PIC16; }

    std::optional<ReadContents> Fail(const std::string& message) {
        programmer_.reporter.ShowMessage(message);
        return std::nullopt;
    }

    // The data phase, once CMD_READ has been accepted and its first byte taken. What was read
    // counts only once the whole stream has arrived as it must.
    std::optional<ReadContents> ReadTargetData() {
        ConfigurationWords words;
        if (!stream_.TakeConfiguration("Could not read from device. (T3)", words)) {
            return std::nullopt;
        }
        const Reply afterConfiguration = link_.ReadReply();
        if (afterConfiguration.ReadFailed()) {
            return Fail("Could not read from device. (T119)");
        }
        if (afterConfiguration.status == Reply::Status::Missing) {
            programmer_.reporter.ShowMessage("Could not read from device. (T120)");
        }
        if (!stream_.ReadMemoryBlocks("Could not read from device. (T13)")) {
            return std::nullopt;
        }
        if (IsPic16()) {
            words.fuseX = 0;  // a PIC16's second word means nothing
        }
        return ReadContents{target_, std::move(image_), words};
    }

    Programmer& programmer_;
    ProgrammerLink& link_;
    const DeviceInfo& target_;
    MemoryImage image_;
    ReadStream stream_;
};

class Reading {
  public:
    Reading(Programmer& programmer, const ReadRequest& request)
        : programmer_(programmer), target_(request.target) {}

    OperationResult Run() {
        programmer_.reporter.Pause(PAUSE_BEFORE_BEGIN_MS);
        if (!Begin()) {
            return result_;
        }
        result_.readBack = ReadInTransaction(programmer_, target_);
        if (!result_.readBack) {
            result_.outcome = Outcome::CommunicationFailed;
        }
        return result_;
    }

  private:
    bool Fail(const std::string& message) {
        programmer_.reporter.ShowMessage(message);
        return Failed();
    }
    // A failure whose message has been shown.
    bool Failed(Outcome outcome = Outcome::CommunicationFailed) {
        result_ = {outcome};
        return false;
    }

    // CMD_BEGIN, its REPLY_READY and the chip's identity.
    bool Begin() {
        switch (BeginTransaction(programmer_, target_,
                                 "VEK-Flash programmer is not responding to commands.(126)",
                                 "(6)")) {
            case TransactionStart::Ready:
                break;
            case TransactionStart::SendFailed:
                return Fail("VEK-Flash programmer is not responding to commands.(125)");
            case TransactionStart::Failed:
                return Failed();
        }
        switch (CheckTargetIdentity(programmer_, target_)) {
            case Identity::Matches:
                return true;
            case Identity::Differs:
                return Failed(Outcome::WrongDevice);
            case Identity::Unreadable:
                return Failed();
        }
        return false;
    }

    Programmer& programmer_;
    const DeviceInfo& target_;
    OperationResult result_;
};

}  // namespace

OperationResult Read(Programmer& programmer, const ReadRequest& request) {
    return RunClaimed(programmer, request.target,
                      [&] { return Reading(programmer, request).Run(); });
}

std::optional<ReadContents> ReadInTransaction(Programmer& programmer, const DeviceInfo& target) {
    return TargetRead(programmer, target).Run();
}

std::optional<std::uint16_t> ChecksumOfRead(const ReadContents& read) {
    const DeviceInfo& target = read.target;
    if (target.family == TargetFamily::PIC16 &&
        UnprotectedProgramWords(target, read.words.fuse) < target.programWords) {
        return std::nullopt;
    }
    return TargetChecksum(read.image, target, read.words);
}

}  // namespace vek
