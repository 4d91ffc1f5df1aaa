// FTDI's D2XX library as a USB transport. The library is loaded by name at run time, so the
// program starts and can tell the person what to do where it is missing. Binding looks up the
// ten functions the link needs (FT_SetLatencyTimer too when the library has it; without it
// nothing is said); a function the library lacks is reported by name, and every call of an
// unbound one shows a message of its own and fails.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/d2xx.h"
#include "link/reporter.h"
#include "link/usb_drivers.h"
#include "platform/dynamic_library.h"

namespace vek {

namespace {

// The D2XX functions the transport calls, each empty until bound.
struct D2xxEntries {
    FT_WriteFn write = nullptr;
    FT_ReadFn read = nullptr;
    FT_OpenFn open = nullptr;  // bound because the driver must have it; never called
    FT_OpenExFn openEx = nullptr;
    FT_ListDevicesFn listDevices = nullptr;
    FT_CloseFn close = nullptr;
    FT_ResetDeviceFn resetDevice = nullptr;
    FT_PurgeFn purge = nullptr;
    FT_SetTimeoutsFn setTimeouts = nullptr;
    FT_GetQueueStatusFn getQueueStatus = nullptr;
    FT_SetLatencyTimerFn setLatencyTimer = nullptr;  // optional
};

UsbStatus StatusOf(FT_STATUS status) {
    switch (status) {
        case FT_OK:
            return UsbStatus::Ok;
        case FT_INVALID_HANDLE:
            return UsbStatus::NotOpen;
        case FT_DEVICE_NOT_FOUND:
            return UsbStatus::NoBoard;
        case FT_DEVICE_NOT_OPENED:
            return UsbStatus::OpenRefused;
        case FT_INVALID_PARAMETER:
            return UsbStatus::InvalidArgument;
        default:
            return UsbStatus::IoError;
    }
}

// The library with its entries, which the transport and its channel share.
class D2xxLibrary {
  public:
    D2xxLibrary(Reporter& reporter, std::string name)
        : reporter_(reporter), name_(std::move(name)) {}

    UsbBinding Bind() {
        if (!library_.IsLoaded() && !library_.Load(name_)) {
            return {};  // without any library the caller explains the missing driver
        }
        if (const char* missing = BindEntries()) {
            return {false, std::string("Error: Can't Find ") + missing};
        }
        return {true, ""};
    }

    // Calls a bound entry, or reports the unbound one and fails like any D2XX call.
    template <typename Fn, typename... Args>
    UsbStatus Call(Fn D2xxEntries::*entry, const char* name, Args... args) {
        if (entries_.*entry == nullptr) {
            reporter_.ShowMessage(std::string(name) + " is not valid!");
            return UsbStatus::Unavailable;
        }
        return StatusOf((entries_.*entry)(args...));
    }

    const D2xxEntries& entries() const { return entries_; }

  private:
    // Binds the entries in order up to the first missing one; its name, or null.
    const char* BindEntries() {
        const char* lastName = nullptr;
        auto bind = [this, &lastName](const char* name, auto& entry) {
            lastName = name;
            return library_.BindFunction(name, entry);
        };
        D2xxEntries& e = entries_;
        const bool bound = bind("FT_Write", e.write) && bind("FT_Read", e.read) &&
                           bind("FT_Open", e.open) && bind("FT_OpenEx", e.openEx) &&
                           bind("FT_ListDevices", e.listDevices) && bind("FT_Close", e.close) &&
                           bind("FT_ResetDevice", e.resetDevice) && bind("FT_Purge", e.purge) &&
                           bind("FT_SetTimeouts", e.setTimeouts) &&
                           bind("FT_GetQueueStatus", e.getQueueStatus);
        if (!bound) {
            return lastName;
        }
        library_.BindFunction("FT_SetLatencyTimer", e.setLatencyTimer);
        return nullptr;
    }

    Reporter& reporter_;
    std::string name_;
    DynamicLibrary library_;  // loaded once, never unloaded
    D2xxEntries entries_;
};

// The device handle that the last successful open wrote. Calls after a close pass none, which
// the driver refuses safely.
class D2xxChannel final : public UsbChannel {
  public:
    explicit D2xxChannel(D2xxLibrary& library) : library_(library) {}

    UsbStatus Open(const BoardSelector& board) override {
        const D2xxDword flags = board.by == BoardSelector::By::SerialNumber
                                    ? FT_OPEN_BY_SERIAL_NUMBER
                                    : FT_OPEN_BY_DESCRIPTION;
        // The driver's prototype is not const-correct; it never writes to the text.
        return library_.Call(&D2xxEntries::openEx, "FT_OpenEx",
                             const_cast<char*>(board.text.c_str()), flags, &handle_);
    }

    UsbStatus Close() override {
        const UsbStatus status = library_.Call(&D2xxEntries::close, "FT_Close", handle_);
        if (library_.entries().close != nullptr) {
            handle_ = nullptr;  // the driver has freed it
        }
        return status;
    }

    UsbStatus Reset() override {
        return library_.Call(&D2xxEntries::resetDevice, "FT_ResetDevice", handle_);
    }

    UsbStatus Write(std::span<const std::uint8_t> bytes, std::uint32_t& written) override {
        // Not const-correct either; the driver never writes to the buffer.
        return library_.Call(&D2xxEntries::write, "FT_Write", handle_,
                             const_cast<std::uint8_t*>(bytes.data()),
                             static_cast<D2xxDword>(bytes.size()), &written);
    }

    UsbStatus Read(std::span<std::uint8_t> buffer, std::uint32_t& received) override {
        return library_.Call(&D2xxEntries::read, "FT_Read", handle_, buffer.data(),
                             static_cast<D2xxDword>(buffer.size()), &received);
    }

    UsbStatus SetTimeouts(std::uint32_t readMilliseconds,
                          std::uint32_t writeMilliseconds) override {
        return library_.Call(&D2xxEntries::setTimeouts, "FT_SetTimeouts", handle_, readMilliseconds,
                             writeMilliseconds);
    }

    UsbStatus Purge() override {
        return library_.Call(&D2xxEntries::purge, "FT_Purge", handle_, FT_PURGE_RX);
    }

    UsbStatus Queued(std::uint32_t& count) override {
        return library_.Call(&D2xxEntries::getQueueStatus, "FT_GetQueueStatus", handle_, &count);
    }

    // Optional: a driver without it is left as it is, without a message.
    UsbStatus SetLatency(std::uint8_t milliseconds) override {
        if (library_.entries().setLatencyTimer == nullptr) {
            return UsbStatus::Unavailable;
        }
        return StatusOf(library_.entries().setLatencyTimer(handle_, milliseconds));
    }

  private:
    D2xxLibrary& library_;
    FT_HANDLE handle_ = nullptr;
};

class D2xxTransport final : public UsbTransport {
  public:
    D2xxTransport(Reporter& reporter, std::string library)
        : library_(reporter, std::move(library)) {}

    UsbBinding Bind() override { return library_.Bind(); }

    // The driver counts every device it serves; which one is ours only opening tells.
    UsbStatus Count(const std::string& /*description*/, std::int32_t& count) override {
        count = 0;
        return library_.Call(&D2xxEntries::listDevices, "FT_ListDevices", &count, nullptr,
                             FT_LIST_NUMBER_ONLY);
    }

    std::vector<UsbBoard> List(const std::string& description) override {
        std::vector<UsbBoard> boards;
        std::int32_t deviceCount = 0;
        if (Count(description, deviceCount) != UsbStatus::Ok) {
            return boards;
        }
        for (int index = 0; index < deviceCount; ++index) {
            UsbBoard board{index, "", ""};
            if (ListedString(index, FT_OPEN_BY_DESCRIPTION, board.description) &&
                board.description == description &&
                ListedString(index, FT_OPEN_BY_SERIAL_NUMBER, board.serial)) {
                boards.push_back(board);
            }
        }
        return boards;
    }

    std::unique_ptr<UsbChannel> NewChannel() override {
        return std::make_unique<D2xxChannel>(library_);
    }

  private:
    // One of the device's strings, or nothing when the driver cannot tell it.
    bool ListedString(int index, D2xxDword which, std::string& text) {
        char buffer[FT_STRING_BUFFER] = {};
        // The driver takes the index in the pointer argument itself.
        void* indexArgument = reinterpret_cast<void*>(static_cast<std::uintptr_t>(index));
        if (library_.Call(&D2xxEntries::listDevices, "FT_ListDevices", indexArgument, buffer,
                          FT_LIST_BY_INDEX | which) != UsbStatus::Ok) {
            return false;
        }
        buffer[FT_STRING_BUFFER - 1] = '\0';
        text = buffer;
        return true;
    }

    D2xxLibrary library_;
};

}  // namespace

std::unique_ptr<UsbTransport> MakeD2xxTransport(Reporter& reporter, const std::string& library,
                                                const UsbSetup& /*setup*/) {
    return std::make_unique<D2xxTransport>(reporter, library);
}

}  // namespace vek
