// Our own declaration of the part of FTDI's D2XX C interface that we use. The library is
// loaded at run time, so nothing here links against it; the simulator exports the same
// functions with these prototypes.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define VEK_WINAPI __stdcall
#else
#define VEK_WINAPI
#endif

// FT_STATUS, DWORD and ULONG are 32-bit unsigned on every platform; FT_HANDLE is a pointer.
using FT_STATUS = std::uint32_t;
using FT_HANDLE = void*;
using D2xxDword = std::uint32_t;

inline constexpr FT_STATUS FT_OK = 0;
inline constexpr FT_STATUS FT_INVALID_HANDLE = 1;
inline constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
inline constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
inline constexpr FT_STATUS FT_IO_ERROR = 4;
inline constexpr FT_STATUS FT_INVALID_PARAMETER = 6;

inline constexpr D2xxDword FT_PURGE_RX = 1;
inline constexpr D2xxDword FT_OPEN_BY_SERIAL_NUMBER = 1;
inline constexpr D2xxDword FT_PURGE_TX = 2;
inline constexpr D2xxDword FT_OPEN_BY_DESCRIPTION = 2;
inline constexpr D2xxDword FT_LIST_NUMBER_ONLY = 0x80000000u;
// With FT_OPEN_BY_SERIAL_NUMBER or FT_OPEN_BY_DESCRIPTION: that string of the device whose
// index is the first argument, into the buffer of the second.
inline constexpr D2xxDword FT_LIST_BY_INDEX = 0x40000000u;
// The buffer FT_LIST_BY_INDEX fills: the driver's strings are at most 63 characters and a 0.
inline constexpr std::size_t FT_STRING_BUFFER = 64;

extern "C" {
using FT_WriteFn = FT_STATUS(VEK_WINAPI*)(FT_HANDLE handle, void* buffer, D2xxDword count,
                                          D2xxDword* written);
using FT_ReadFn = FT_STATUS(VEK_WINAPI*)(FT_HANDLE handle, void* buffer, D2xxDword count,
                                         D2xxDword* received);
using FT_OpenFn = FT_STATUS(VEK_WINAPI*)(int deviceNumber, FT_HANDLE* handle);
using FT_OpenExFn = FT_STATUS(VEK_WINAPI*)(void* argument, D2xxDword flags, FT_HANDLE* handle);
using FT_ListDevicesFn = FT_STATUS(VEK_WINAPI*)(void* argument1, void* argument2, D2xxDword flags);
using FT_CloseFn = FT_STATUS(VEK_WINAPI*)(FT_HANDLE handle);
using FT_ResetDeviceFn = FT_STATUS(VEK_WINAPI*)(FT_HANDLE handle);
using FT_PurgeFn = FT_STATUS(VEK_WINAPI*)(FT_HANDLE handle, D2xxDword mask);
using FT_SetTimeoutsFn = FT_STATUS(VEK_WINAPI*)(FT_HANDLE handle, D2xxDword readTimeout,
                                                D2xxDword writeTimeout);
using FT_GetQueueStatusFn = FT_STATUS(VEK_WINAPI*)(FT_HANDLE handle, D2xxDword* received);
// Optional: older drivers lack it, and the link works without it.
using FT_SetLatencyTimerFn = FT_STATUS(VEK_WINAPI*)(FT_HANDLE handle, std::uint8_t milliseconds);
}
