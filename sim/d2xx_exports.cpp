// The D2XX functions the host binds, answering from the simulated board. Every call is
// logged with the arguments that matter and its status.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "link/d2xx.h"
#include "simulator.h"
#include "usb_timing.h"
#include "vek_sim.h"

using vek::sim::Sim;

namespace {

constexpr const char* PROGRAMMER_DESCRIPTION = "VEK Flash";

// Every read and write is logged, so this runs for every byte the tests exchange.
std::string HexBytes(const std::uint8_t* bytes, std::size_t count) {
    constexpr char DIGITS[] = "0123456789ABCDEF";
    std::string text(count == 0 ? 0 : count * 3 - 1, ' ');
    for (std::size_t i = 0; i < count; ++i) {
        text[3 * i] = DIGITS[bytes[i] >> 4];
        text[3 * i + 1] = DIGITS[bytes[i] & 0x0F];
    }
    return text;
}

FT_STATUS Logged(const std::string& call, FT_STATUS status, const std::string& results = "") {
    Sim().GetLogs().calls.push_back(call + " -> " + std::to_string(status) +
                                    (results.empty() ? "" : " " + results));
    return status;
}

// The injected or unplugged failure of a call on the device handle, if there is one.
std::optional<FT_STATUS> HandleCallFailure(const char* function, FT_HANDLE handle) {
    if (auto failure = Sim().CallFailure(function)) {
        return failure;
    }
    return Sim().HandleFailure(handle);
}

// One board's serial number or description, by its index.
FT_STATUS ListByIndex(std::uintptr_t index, char* buffer, D2xxDword flags) {
    const auto& boards = Sim().Boards();
    if (!Sim().Attached() || index >= boards.size()) {
        return FT_DEVICE_NOT_FOUND;
    }
    const std::string text =
        (flags & FT_OPEN_BY_SERIAL_NUMBER) != 0 ? boards[index].serial : PROGRAMMER_DESCRIPTION;
    std::snprintf(buffer, FT_STRING_BUFFER, "%s", text.c_str());
    return FT_OK;
}

}  // namespace

extern "C" {

VEKSIM_API FT_STATUS VEK_WINAPI FT_Write(FT_HANDLE handle, void* buffer, D2xxDword count,
                                         D2xxDword* written) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const std::string call = "FT_Write " + (bytes ? HexBytes(bytes, count) : "null");
    if (written != nullptr) {
        *written = 0;
    }
    if (auto failure = HandleCallFailure("FT_Write", handle)) {
        return Logged(call, *failure);
    }
    if ((bytes == nullptr && count > 0) || written == nullptr) {
        return Logged(call, FT_INVALID_PARAMETER);
    }
    Sim().Send(bytes, count);
    *written = count;
    return Logged(call, FT_OK);
}

VEKSIM_API FT_STATUS VEK_WINAPI FT_Read(FT_HANDLE handle, void* buffer, D2xxDword count,
                                        D2xxDword* received) {
    const std::string call = "FT_Read " + std::to_string(count);
    // Every call counts towards the read fault's occurrence, whatever becomes of it.
    const std::optional<vek::sim::ReadFault> readFault = Sim().GetFaults().TakeReadFault();
    if (received != nullptr) {
        *received = 0;
    }
    if (auto failure = HandleCallFailure("FT_Read", handle)) {
        return Logged(call, *failure, "[]");
    }
    if ((buffer == nullptr && count > 0) || received == nullptr) {
        return Logged(call, FT_INVALID_PARAMETER, "[]");
    }
    const std::vector<std::uint8_t> bytes = Sim().Receive(count, readFault);
    if (!bytes.empty()) {
        std::memcpy(buffer, bytes.data(), bytes.size());
    }
    *received = static_cast<D2xxDword>(bytes.size());
    return Logged(call, FT_OK, "[" + HexBytes(bytes.data(), bytes.size()) + "]");
}

VEKSIM_API FT_STATUS VEK_WINAPI FT_Open(int deviceNumber, FT_HANDLE* /*handle*/) {
    const std::string call = "FT_Open " + std::to_string(deviceNumber);
    if (auto failure = Sim().CallFailure("FT_Open")) {
        return Logged(call, *failure);
    }
    return Logged(call, FT_DEVICE_NOT_OPENED);
}

VEKSIM_API FT_STATUS VEK_WINAPI FT_OpenEx(void* argument, D2xxDword flags, FT_HANDLE* handle) {
    const auto* text = static_cast<const char*>(argument);
    const bool byDescription = flags == FT_OPEN_BY_DESCRIPTION;
    const bool bySerial = flags == FT_OPEN_BY_SERIAL_NUMBER;
    const std::string shown =
        (byDescription || bySerial) && text ? "\"" + std::string(text) + "\"" : "?";
    const std::string call = "FT_OpenEx " + shown + " " + std::to_string(flags);
    if (auto failure = Sim().CallFailure("FT_OpenEx")) {
        return Logged(call, *failure);
    }
    if (handle == nullptr) {
        return Logged(call, FT_INVALID_PARAMETER);
    }
    // Every board carries our description; the driver opens the first of them.
    std::optional<std::size_t> board;
    if (byDescription && text != nullptr && std::strcmp(text, PROGRAMMER_DESCRIPTION) == 0) {
        board = 0;
    } else if (bySerial && text != nullptr) {
        board = Sim().BoardWithSerial(text);
    }
    if (!board) {
        return Logged(call, FT_DEVICE_NOT_FOUND);
    }
    return Logged(call, Sim().Open(*board, handle));
}

VEKSIM_API FT_STATUS VEK_WINAPI FT_ListDevices(void* argument1, void* argument2, D2xxDword flags) {
    char shownFlags[16];
    std::snprintf(shownFlags, sizeof shownFlags, "%08X", flags);
    const std::string call = "FT_ListDevices " + std::string(shownFlags);
    if (auto failure = Sim().CallFailure("FT_ListDevices")) {
        return Logged(call, *failure);
    }
    const D2xxDword listed = flags & ~(FT_OPEN_BY_SERIAL_NUMBER | FT_OPEN_BY_DESCRIPTION);
    const D2xxDword which = flags & (FT_OPEN_BY_SERIAL_NUMBER | FT_OPEN_BY_DESCRIPTION);
    if (listed == FT_LIST_BY_INDEX && argument2 != nullptr &&
        (which == FT_OPEN_BY_SERIAL_NUMBER || which == FT_OPEN_BY_DESCRIPTION)) {
        // The index travels in the pointer argument itself, as the driver takes it.
        const auto index = reinterpret_cast<std::uintptr_t>(argument1);
        auto* buffer = static_cast<char*>(argument2);
        const FT_STATUS status = ListByIndex(index, buffer, which);
        return Logged(call + " " + std::to_string(index), status,
                      status == FT_OK ? "[" + std::string(buffer) + "]" : "");
    }
    if (flags != FT_LIST_NUMBER_ONLY || argument1 == nullptr) {
        return Logged(call, FT_INVALID_PARAMETER);
    }
    const D2xxDword count = Sim().Attached() ? static_cast<D2xxDword>(Sim().Boards().size()) : 0;
    std::memcpy(argument1, &count, sizeof count);
    return Logged(call, FT_OK, "[" + std::to_string(count) + "]");
}

VEKSIM_API FT_STATUS VEK_WINAPI FT_Close(FT_HANDLE handle) {
    if (auto failure = Sim().CallFailure("FT_Close")) {
        return Logged("FT_Close", *failure);
    }
    if (auto failure = Sim().HandleFailure(handle)) {
        // The handle of an unplugged board is still forgotten.
        if (*failure == FT_IO_ERROR) {
            Sim().Close();
        }
        return Logged("FT_Close", *failure);
    }
    Sim().Close();
    return Logged("FT_Close", FT_OK);
}

VEKSIM_API FT_STATUS VEK_WINAPI FT_ResetDevice(FT_HANDLE handle) {
    if (auto failure = HandleCallFailure("FT_ResetDevice", handle)) {
        return Logged("FT_ResetDevice", *failure);
    }
    Sim().ResetDevice();
    return Logged("FT_ResetDevice", FT_OK);
}

VEKSIM_API FT_STATUS VEK_WINAPI FT_Purge(FT_HANDLE handle, D2xxDword mask) {
    const std::string call = "FT_Purge " + std::to_string(mask);
    if (auto failure = HandleCallFailure("FT_Purge", handle)) {
        return Logged(call, *failure);
    }
    if ((mask & FT_PURGE_RX) != 0) {
        Sim().Purge();
    }
    return Logged(call, FT_OK);
}

VEKSIM_API FT_STATUS VEK_WINAPI FT_SetTimeouts(FT_HANDLE handle, D2xxDword readTimeout,
                                               D2xxDword writeTimeout) {
    const std::string call =
        "FT_SetTimeouts " + std::to_string(readTimeout) + " " + std::to_string(writeTimeout);
    if (auto failure = HandleCallFailure("FT_SetTimeouts", handle)) {
        return Logged(call, *failure);
    }
    Sim().SetReadTimeout(readTimeout);
    return Logged(call, FT_OK);
}

VEKSIM_API FT_STATUS VEK_WINAPI FT_GetQueueStatus(FT_HANDLE handle, D2xxDword* received) {
    if (auto failure = HandleCallFailure("FT_GetQueueStatus", handle)) {
        return Logged("FT_GetQueueStatus", *failure);
    }
    if (received == nullptr) {
        return Logged("FT_GetQueueStatus", FT_INVALID_PARAMETER);
    }
    *received = static_cast<D2xxDword>(Sim().ReadyCount());
    return Logged("FT_GetQueueStatus", FT_OK, "[" + std::to_string(*received) + "]");
}

VEKSIM_API FT_STATUS VEK_WINAPI FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t milliseconds) {
    const std::string call = "FT_SetLatencyTimer " + std::to_string(milliseconds);
    if (auto failure = HandleCallFailure("FT_SetLatencyTimer", handle)) {
        return Logged(call, *failure);
    }
    if (milliseconds < vek::sim::LATENCY_MIN_MS || milliseconds > vek::sim::LATENCY_MAX_MS) {
        return Logged(call, FT_INVALID_PARAMETER);
    }
    Sim().SetLatencyTimer(milliseconds);
    return Logged(call, FT_OK);
}

}  // extern "C"

// The exports must keep the prototypes the host binds them with.
static_assert(std::is_same_v<decltype(&FT_Write), FT_WriteFn>);
static_assert(std::is_same_v<decltype(&FT_Read), FT_ReadFn>);
static_assert(std::is_same_v<decltype(&FT_Open), FT_OpenFn>);
static_assert(std::is_same_v<decltype(&FT_OpenEx), FT_OpenExFn>);
static_assert(std::is_same_v<decltype(&FT_ListDevices), FT_ListDevicesFn>);
static_assert(std::is_same_v<decltype(&FT_Close), FT_CloseFn>);
static_assert(std::is_same_v<decltype(&FT_ResetDevice), FT_ResetDeviceFn>);
static_assert(std::is_same_v<decltype(&FT_Purge), FT_PurgeFn>);
static_assert(std::is_same_v<decltype(&FT_SetTimeouts), FT_SetTimeoutsFn>);
static_assert(std::is_same_v<decltype(&FT_GetQueueStatus), FT_GetQueueStatusFn>);
static_assert(std::is_same_v<decltype(&FT_SetLatencyTimer), FT_SetLatencyTimerFn>);
