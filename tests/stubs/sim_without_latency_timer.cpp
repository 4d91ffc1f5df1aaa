// The simulated programmer behind a driver that lacks FT_SetLatencyTimer, as older ones do:
// the ten functions the link needs, each handed on to the simulator. Tests load the simulator
// from the same file, so both drive one board and share its logs.
#include "link/d2xx.h"
#include "platform/dynamic_library.h"
#include "stub_export.h"

namespace {

template <typename Fn, typename... Args>
FT_STATUS Forward(const char* name, Args... args) {
    static const vek::DynamicLibrary simulator = [] {
        vek::DynamicLibrary library;
        library.Load(VEK_SIM_LIBRARY);
        return library;
    }();
    return reinterpret_cast<Fn>(simulator.Symbol(name))(args...);
}

}  // namespace

STUB_EXPORT FT_STATUS VEK_WINAPI FT_Write(FT_HANDLE handle, void* buffer, D2xxDword count,
                                          D2xxDword* written) {
    return Forward<FT_WriteFn>("FT_Write", handle, buffer, count, written);
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_Read(FT_HANDLE handle, void* buffer, D2xxDword count,
                                         D2xxDword* received) {
    return Forward<FT_ReadFn>("FT_Read", handle, buffer, count, received);
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_Open(int deviceNumber, FT_HANDLE* handle) {
    return Forward<FT_OpenFn>("FT_Open", deviceNumber, handle);
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_OpenEx(void* argument, D2xxDword flags, FT_HANDLE* handle) {
    return Forward<FT_OpenExFn>("FT_OpenEx", argument, flags, handle);
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_ListDevices(void* argument1, void* argument2, D2xxDword flags) {
    return Forward<FT_ListDevicesFn>("FT_ListDevices", argument1, argument2, flags);
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_Close(FT_HANDLE handle) {
    return Forward<FT_CloseFn>("FT_Close", handle);
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_ResetDevice(FT_HANDLE handle) {
    return Forward<FT_ResetDeviceFn>("FT_ResetDevice", handle);
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_Purge(FT_HANDLE handle, D2xxDword mask) {
    return Forward<FT_PurgeFn>("FT_Purge", handle, mask);
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_SetTimeouts(FT_HANDLE handle, D2xxDword readTimeout,
                                                D2xxDword writeTimeout) {
    return Forward<FT_SetTimeoutsFn>("FT_SetTimeouts", handle, readTimeout, writeTimeout);
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_GetQueueStatus(FT_HANDLE handle, D2xxDword* received) {
    return Forward<FT_GetQueueStatusFn>("FT_GetQueueStatus", handle, received);
}
