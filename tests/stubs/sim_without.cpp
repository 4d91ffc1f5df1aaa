// The simulated programmer behind a driver that lacks the one function its build names, for
// the binding's failures and for older drivers without FT_SetLatencyTimer. Every other call is
// handed on to the simulator; tests load it from the same file, so both drive one board and
// share its logs.
#include "link/d2xx.h"
#include "platform/dynamic_library.h"

#if defined(_WIN32)
#define STUB_EXPORT extern "C" __declspec(dllexport)
#else
#define STUB_EXPORT extern "C" __attribute__((visibility("default")))
#endif

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
#if !defined(WITHOUT_FT_OPEN)
STUB_EXPORT FT_STATUS VEK_WINAPI FT_Open(int deviceNumber, FT_HANDLE* handle) {
    return Forward<FT_OpenFn>("FT_Open", deviceNumber, handle);
}
#endif
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
#if !defined(WITHOUT_FT_GETQUEUESTATUS)
STUB_EXPORT FT_STATUS VEK_WINAPI FT_GetQueueStatus(FT_HANDLE handle, D2xxDword* received) {
    return Forward<FT_GetQueueStatusFn>("FT_GetQueueStatus", handle, received);
}
#endif
#if !defined(WITHOUT_FT_SETLATENCYTIMER)
STUB_EXPORT FT_STATUS VEK_WINAPI FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t latency) {
    return Forward<FT_SetLatencyTimerFn>("FT_SetLatencyTimer", handle, latency);
}
#endif
