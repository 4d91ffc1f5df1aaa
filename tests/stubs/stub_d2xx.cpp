// A D2XX library that exports all functions but the one named by its build, so the binding
// can be tested against a driver that lacks one. Every call succeeds and does nothing.
#include "link/d2xx.h"
#include "stub_export.h"

STUB_EXPORT FT_STATUS VEK_WINAPI FT_Write(FT_HANDLE, void*, D2xxDword count, D2xxDword* written) {
    *written = count;
    return FT_OK;
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_Read(FT_HANDLE, void*, D2xxDword, D2xxDword* received) {
    *received = 0;
    return FT_OK;
}
#ifndef STUB_WITHOUT_FT_OPEN
STUB_EXPORT FT_STATUS VEK_WINAPI FT_Open(int, FT_HANDLE*) {
    return FT_OK;
}
#endif
STUB_EXPORT FT_STATUS VEK_WINAPI FT_OpenEx(void*, D2xxDword, FT_HANDLE* handle) {
    static int device;
    *handle = &device;
    return FT_OK;
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_ListDevices(void* count, void*, D2xxDword) {
    *static_cast<D2xxDword*>(count) = 1;
    return FT_OK;
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_Close(FT_HANDLE) {
    return FT_OK;
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_ResetDevice(FT_HANDLE) {
    return FT_OK;
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_Purge(FT_HANDLE, D2xxDword) {
    return FT_OK;
}
STUB_EXPORT FT_STATUS VEK_WINAPI FT_SetTimeouts(FT_HANDLE, D2xxDword, D2xxDword) {
    return FT_OK;
}
#ifndef STUB_WITHOUT_FT_GETQUEUESTATUS
STUB_EXPORT FT_STATUS VEK_WINAPI FT_GetQueueStatus(FT_HANDLE, D2xxDword* received) {
    *received = 0;
    return FT_OK;
}
#endif
