#include "link/programmer_link.h"

#include <utility>

#if defined(VEK_HAVE_LIBFTDI)
#include "link/libftdi_driver.h"
#endif

namespace vek {

const char* DefaultD2xxLibraryName() {
#if defined(_WIN32)
    return "Ftd2xx.dll";
#elif defined(__APPLE__)
    return "libftd2xx.dylib";
#else
    return "libftd2xx.so";
#endif
}

ProgrammerLink::ProgrammerLink(UserInterface& ui, std::string libraryName,
                               std::string libftdiLibraryName)
    : ui_(ui),
      libraryName_(std::move(libraryName)),
      libftdiLibraryName_(std::move(libftdiLibraryName)) {}

namespace {

// The shortest the driver allows: a reply byte then waits at most 2 ms in the USB chip
// instead of 16. The price, an idle status packet every 2 ms, is nothing to the bus.
constexpr std::uint8_t FAST_LATENCY_MS = 2;

// Looks one entry up; false when the library lacks it.
template <typename Fn>
bool BindEntry(const DynamicLibrary& library, const char* name, Fn& entry) {
    entry = reinterpret_cast<Fn>(library.Symbol(name));
    return entry != nullptr;
}

void ReportMissingEntry(UserInterface& ui, const char* name) {
    ui.ShowMessage(std::string("Error: Can't Find ") + name);
}

}  // namespace

const char* ProgrammerLink::BindD2xx() {
    const char* lastName = nullptr;
    auto bind = [this, &lastName](const char* name, auto& entry) {
        lastName = name;
        return BindEntry(library_, name, entry);
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
    BindEntry(library_, "FT_SetLatencyTimer", e.setLatencyTimer);
    return nullptr;
}

bool ProgrammerLink::BindLibftdiDriver() {
#if defined(VEK_HAVE_LIBFTDI)
    return BindLibftdi(libftdiLibrary_, libftdiLibraryName_, entries_);
#else
    return false;  // built without libftdi1's header
#endif
}

int ProgrammerLink::Bind() {
    // D2XX's missing-entry message stands unless libftdi1 takes over in its place.
    const bool tryD2xx = choice_ != UsbDriverChoice::Libftdi;
    const bool d2xxLoaded = tryD2xx && (library_.IsLoaded() || library_.Load(libraryName_));
    const char* missing = d2xxLoaded ? BindD2xx() : nullptr;
    if (d2xxLoaded && missing == nullptr) {
        driverInUse_ = UsbDriver::D2xx;
        return 0;
    }
    if (choice_ != UsbDriverChoice::D2xx && BindLibftdiDriver()) {
        driverInUse_ = UsbDriver::Libftdi;
        return 0;
    }
    if (missing != nullptr) {
        ReportMissingEntry(ui_, missing);
    }
    return 1;  // without any library the caller explains the missing driver
}

// Entries are bound in order up to the first missing one, so the last one tells.
bool ProgrammerLink::IsBound() const {
    return entries_.getQueueStatus != nullptr;
}

bool ProgrammerLink::PermissionRefused() const {
#if defined(VEK_HAVE_LIBFTDI)
    return driverInUse_ == UsbDriver::Libftdi && LibftdiPermissionRefused();
#else
    return false;
#endif
}

template <typename Fn, typename... Args>
FT_STATUS ProgrammerLink::CallBound(Fn entry, const char* name, Args... args) {
    if (entry == nullptr) {
        ui_.ShowMessage(std::string(name) + " is not valid!");
        return 1;  // an unbound entry is answered like any failed D2XX call
    }
    return entry(args...);
}

FT_STATUS ProgrammerLink::Write(const void* buffer, std::uint32_t count, std::uint32_t* written) {
    // The driver's prototype is not const-correct; it never writes to the buffer.
    return CallBound(entries_.write, "FT_Write", handle_, const_cast<void*>(buffer), count,
                     written);
}

FT_STATUS ProgrammerLink::Read(void* buffer, std::uint32_t count, std::uint32_t* received) {
    return CallBound(entries_.read, "FT_Read", handle_, buffer, count, received);
}

FT_STATUS ProgrammerLink::OpenEx(const void* argument, std::uint32_t flags) {
    return CallBound(entries_.openEx, "FT_OpenEx", const_cast<void*>(argument), flags, &handle_);
}

FT_STATUS ProgrammerLink::ListDevices(void* argument1, void* argument2, std::uint32_t flags) {
    return CallBound(entries_.listDevices, "FT_ListDevices", argument1, argument2, flags);
}

FT_STATUS ProgrammerLink::Close() {
    const FT_STATUS status = CallBound(entries_.close, "FT_Close", handle_);
    // The driver frees a closed handle; later calls pass none, which it refuses safely.
    if (entries_.close != nullptr) {
        handle_ = nullptr;
    }
    return status;
}

FT_STATUS ProgrammerLink::ResetDevice() {
    return CallBound(entries_.resetDevice, "FT_ResetDevice", handle_);
}

FT_STATUS ProgrammerLink::Purge(std::uint32_t mask) {
    return CallBound(entries_.purge, "FT_Purge", handle_, mask);
}

FT_STATUS ProgrammerLink::SetTimeouts(std::uint32_t readMilliseconds,
                                      std::uint32_t writeMilliseconds) {
    return CallBound(entries_.setTimeouts, "FT_SetTimeouts", handle_, readMilliseconds,
                     writeMilliseconds);
}

FT_STATUS ProgrammerLink::GetQueueStatus(std::uint32_t* count) {
    return CallBound(entries_.getQueueStatus, "FT_GetQueueStatus", handle_, count);
}

void ProgrammerLink::ShortenLatencyTimer() {
    latencyMs_ = DRIVER_LATENCY_MS;
    if (fastTransfers_ && entries_.setLatencyTimer != nullptr &&
        entries_.setLatencyTimer(handle_, FAST_LATENCY_MS) == FT_OK) {
        latencyMs_ = FAST_LATENCY_MS;
    }
}

}  // namespace vek
