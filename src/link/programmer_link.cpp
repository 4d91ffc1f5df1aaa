#include "link/programmer_link.h"

#include <utility>

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

ProgrammerLink::ProgrammerLink(UserInterface& ui, std::string libraryName)
    : ui_(ui), libraryName_(std::move(libraryName)) {}

namespace {

// The shortest the driver allows: a reply byte then waits at most 2 ms in the USB chip
// instead of 16. The price, an idle status packet every 2 ms, is nothing to the bus.
constexpr std::uint8_t FAST_LATENCY_MS = 2;

// Looks one entry up; at the first missing name the binding stops with its message.
template <typename Fn>
bool BindEntry(const DynamicLibrary& library, UserInterface& ui, const char* name, Fn& entry) {
    entry = reinterpret_cast<Fn>(library.Symbol(name));
    if (entry == nullptr) {
        ui.ShowMessage(std::string("Error: Can't Find ") + name);
        return false;
    }
    return true;
}

}  // namespace

int ProgrammerLink::Bind() {
    if (!library_.IsLoaded() && !library_.Load(libraryName_)) {
        return 1;  // the caller explains the missing driver
    }
    const bool bound = BindEntry(library_, ui_, "FT_Write", write_) &&
                       BindEntry(library_, ui_, "FT_Read", read_) &&
                       BindEntry(library_, ui_, "FT_Open", open_) &&
                       BindEntry(library_, ui_, "FT_OpenEx", openEx_) &&
                       BindEntry(library_, ui_, "FT_ListDevices", listDevices_) &&
                       BindEntry(library_, ui_, "FT_Close", close_) &&
                       BindEntry(library_, ui_, "FT_ResetDevice", resetDevice_) &&
                       BindEntry(library_, ui_, "FT_Purge", purge_) &&
                       BindEntry(library_, ui_, "FT_SetTimeouts", setTimeouts_) &&
                       BindEntry(library_, ui_, "FT_GetQueueStatus", getQueueStatus_);
    if (!bound) {
        return 1;
    }
    setLatencyTimer_ =
        reinterpret_cast<FT_SetLatencyTimerFn>(library_.Symbol("FT_SetLatencyTimer"));
    return 0;
}

// Entries are bound in order up to the first missing one, so the last one tells.
bool ProgrammerLink::IsBound() const {
    return getQueueStatus_ != nullptr;
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
    return CallBound(write_, "FT_Write", handle_, const_cast<void*>(buffer), count, written);
}

FT_STATUS ProgrammerLink::Read(void* buffer, std::uint32_t count, std::uint32_t* received) {
    return CallBound(read_, "FT_Read", handle_, buffer, count, received);
}

FT_STATUS ProgrammerLink::OpenEx(const void* argument, std::uint32_t flags) {
    return CallBound(openEx_, "FT_OpenEx", const_cast<void*>(argument), flags, &handle_);
}

FT_STATUS ProgrammerLink::ListDevices(void* argument1, void* argument2, std::uint32_t flags) {
    return CallBound(listDevices_, "FT_ListDevices", argument1, argument2, flags);
}

FT_STATUS ProgrammerLink::Close() {
    const FT_STATUS status = CallBound(close_, "FT_Close", handle_);
    // The driver frees a closed handle; later calls pass none, which it refuses safely.
    if (close_ != nullptr) {
        handle_ = nullptr;
    }
    return status;
}

FT_STATUS ProgrammerLink::ResetDevice() {
    return CallBound(resetDevice_, "FT_ResetDevice", handle_);
}

FT_STATUS ProgrammerLink::Purge(std::uint32_t mask) {
    return CallBound(purge_, "FT_Purge", handle_, mask);
}

FT_STATUS ProgrammerLink::SetTimeouts(std::uint32_t readMilliseconds,
                                      std::uint32_t writeMilliseconds) {
    return CallBound(setTimeouts_, "FT_SetTimeouts", handle_, readMilliseconds, writeMilliseconds);
}

FT_STATUS ProgrammerLink::GetQueueStatus(std::uint32_t* count) {
    return CallBound(getQueueStatus_, "FT_GetQueueStatus", handle_, count);
}

void ProgrammerLink::ShortenLatencyTimer() {
    if (fastTransfers_ && setLatencyTimer_ != nullptr) {
        setLatencyTimer_(handle_, FAST_LATENCY_MS);
    }
}

}  // namespace vek
