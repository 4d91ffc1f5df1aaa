#include "operations/read.h"

#include <utility>

#include "operations/device_id.h"
#include "operations/operation_claim.h"
#include "operations/read_stream.h"

namespace vek {

namespace {

constexpr int PAUSE_BEFORE_BEGIN_MS = 100;

class Reading {
  public:
    Reading(Programmer& programmer, const ReadRequest& request)
        : programmer_(programmer),
          link_(programmer.link),
          target_(request.target),
          stream_(programmer, target_, image_) {}

    OperationResult Run() {
        programmer_.reporter.Pause(PAUSE_BEFORE_BEGIN_MS);
        if (!Begin()) {
            return result_;
        }
        if (!stream_.Request()) {
            return {Outcome::CommunicationFailed};
        }
        if (stream_.TakeFirstByte()) {
            ReadTargetData();
        } else {
            Failed();
        }
        // The stream is left for the transaction's end however far it got.
        EndTransaction(programmer_, target_);
        return result_;
    }

  private:
    bool IsPic16() const { return target_.family == TargetFamily::PIC16; }

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

    // The data phase, once CMD_READ has been accepted and its first byte taken. What was read
    // counts only once the whole stream has arrived as it must.
    bool ReadTargetData() {
        ConfigurationWords words;
        if (!stream_.TakeConfiguration("Could not read from device. (T3)", words)) {
            return Failed();
        }
        const Reply afterConfiguration = link_.ReadReply();
        if (afterConfiguration.ReadFailed()) {
            return Fail("Could not read from device. (T119)");
        }
        if (afterConfiguration.status == Reply::Status::Missing) {
            programmer_.reporter.ShowMessage("Could not read from device. (T120)");
        }
        if (!stream_.ReadMemoryBlocks("Could not read from device. (T13)")) {
            return Failed();
        }
        if (IsPic16()) {
            words.fuseX = 0;  // a PIC16's second word means nothing
        }
        result_.readBack = ReadContents{target_, std::move(image_), words};
        return true;
    }

    Programmer& programmer_;
    ProgrammerLink& link_;
    const DeviceInfo& target_;
    MemoryImage image_;
    ReadStream stream_;
    OperationResult result_;
};

}  // namespace

OperationResult Read(Programmer& programmer, const ReadRequest& request) {
    return RunClaimed(programmer, request.target,
                      [&] { return Reading(programmer, request).Run(); });
}

}  // namespace vek
