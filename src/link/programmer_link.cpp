#include "link/programmer_link.h"

#include <utility>

namespace vek {

namespace {

// The shortest the driver allows: a reply byte then waits at most 2 ms in the USB chip
// instead of 16. The price, an idle status packet every 2 ms, is nothing to the bus.
constexpr std::uint8_t FAST_LATENCY_MS = 2;

}  // namespace

ProgrammerLink::ProgrammerLink(Reporter& reporter, const UsbSetup& usb) : reporter_(reporter) {
    for (const UsbDriver& driver : UsbDrivers()) {
        const auto library = usb.libraries.find(driver.key);
        const std::string name = library == usb.libraries.end()
                                     ? std::string(LibraryFileName(driver.library))
                                     : library->second;
        transports_.push_back(driver.make == nullptr ? nullptr : driver.make(reporter_, name, usb));
    }
    UseTransport(0);  // answers, as unbound as it is, until a driver binds
}

void ProgrammerLink::UseTransport(std::size_t row) {
    if (channel_ == nullptr || row != transportInUse_) {
        transportInUse_ = row;
        channel_ = Transport().NewChannel();
    }
}

bool ProgrammerLink::Bind() {
    // A problem stands unless another driver binds in its place.
    std::vector<std::string> problems;
    const std::span<const UsbDriver> drivers = UsbDrivers();
    for (std::size_t row = 0; row < drivers.size(); ++row) {
        if (transports_[row] == nullptr ||
            (choice_ != AUTO_USB_DRIVER && choice_ != drivers[row].key)) {
            continue;
        }
        UsbBinding binding = transports_[row]->Bind();
        if (binding.bound) {
            UseTransport(row);
            driverInUse_ = &drivers[row];
            return true;
        }
        if (!binding.problem.empty()) {
            problems.push_back(std::move(binding.problem));
        }
    }
    for (const std::string& problem : problems) {
        reporter_.ShowMessage(problem);
    }
    return false;  // without any library the caller explains the missing driver
}

bool ProgrammerLink::PermissionRefused() const {
    return IsBound() && transports_[transportInUse_]->PermissionRefused();
}

void ProgrammerLink::ShortenLatencyTimer() {
    latencyMs_ = DRIVER_LATENCY_MS;
    if (fastTransfers_ && channel_->SetLatency(FAST_LATENCY_MS) == UsbStatus::Ok) {
        latencyMs_ = FAST_LATENCY_MS;
    }
}

UsbStatus ProgrammerLink::CountBoards(const std::string& description, std::int32_t& count) {
    return Transport().Count(description, count);
}

std::vector<UsbBoard> ProgrammerLink::ListBoards(const std::string& description) {
    return Transport().List(description);
}

UsbStatus ProgrammerLink::Open(const BoardSelector& board) {
    return channel_->Open(board);
}

UsbStatus ProgrammerLink::Write(std::span<const std::uint8_t> bytes, std::uint32_t& written) {
    return channel_->Write(bytes, written);
}

UsbStatus ProgrammerLink::Read(std::span<std::uint8_t> buffer, std::uint32_t& received) {
    return channel_->Read(buffer, received);
}

UsbStatus ProgrammerLink::Close() {
    return channel_->Close();
}

UsbStatus ProgrammerLink::Reset() {
    return channel_->Reset();
}

UsbStatus ProgrammerLink::Purge() {
    return channel_->Purge();
}

UsbStatus ProgrammerLink::SetTimeouts(std::uint32_t readMilliseconds,
                                      std::uint32_t writeMilliseconds) {
    return channel_->SetTimeouts(readMilliseconds, writeMilliseconds);
}

UsbStatus ProgrammerLink::Queued(std::uint32_t& count) {
    return channel_->Queued(count);
}

}  // namespace vek
