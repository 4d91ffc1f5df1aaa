// The simulated programmer's control interface with std types, for tests. The library is
// loaded once by path; the link under test loads the same file and so drives the same board.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/usb_transport.h"
#include "platform/dynamic_library.h"
#include "vek_sim.h"

namespace vek::test {

// The exported function, typed like its declaration in vek_sim.h (which is only looked at,
// never linked: the library is reached through its exported names alone).
#define VEKSIM_CALL(function) (*reinterpret_cast<decltype(&function)>(Symbol(#function)))

// The link's USB setup with D2XX loaded from path: the simulator or a stand-in for it.
inline UsbSetup D2xxFrom(const std::string& path) {
    return {.libraries = {{"d2xx", path}}};
}

class SimControl {
  public:
    static SimControl& Get();

    const std::string& LibraryPath() const { return path_; }
    // An exported symbol of the loaded simulator, such as "FT_Write".
    void* Symbol(const char* name) const;

    void Reset() { VEKSIM_CALL(VekSim_Reset)(); }
    bool SelectChip(const std::string& name) {
        return VEKSIM_CALL(VekSim_SelectChip)(name.c_str()) == 0;
    }
    void SetDeviceId(unsigned raw) { VEKSIM_CALL(VekSim_SetDeviceId)(raw); }
    int ReadWord(int space, int index) { return VEKSIM_CALL(VekSim_ReadWord)(space, index); }
    bool WriteWord(int space, int index, int value) {
        return VEKSIM_CALL(VekSim_WriteWord)(space, index, value) == 0;
    }

    void SetAttached(bool attached) { VEKSIM_CALL(VekSim_SetAttached)(attached); }
    void SetOpenFails(bool fails) { VEKSIM_CALL(VekSim_SetOpenFails)(fails); }
    void UnplugAfterCalls(int calls) { VEKSIM_CALL(VekSim_UnplugAfterCalls)(calls); }
    void FailCall(const std::string& fn, int occurrence, unsigned status = 4) {
        VEKSIM_CALL(VekSim_FailCall)(fn.c_str(), occurrence, status);
    }
    void FaultReply(int anchor, int occurrence, int byteIndex, int action, int value = 0) {
        VEKSIM_CALL(VekSim_FaultReply)(anchor, occurrence, byteIndex, action, value);
    }
    void FaultRead(int occurrence, int byteIndex, int action, int value = 0) {
        VEKSIM_CALL(VekSim_FaultRead)(occurrence, byteIndex, action, value);
    }
    void ShortReadBlock(int block, int times, int bytesSent) {
        VEKSIM_CALL(VekSim_ShortReadBlock)(block, times, bytesSent);
    }
    void ShortEepromBlock(int block, int bytesSent) {
        VEKSIM_CALL(VekSim_ShortEepromBlock)(block, bytesSent);
    }
    void InjectStrayBytes(std::vector<std::uint8_t> bytes) {
        VEKSIM_CALL(VekSim_InjectStrayBytes)(bytes.data(), bytes.size());
    }

    std::vector<std::uint8_t> HostBytes();
    std::vector<std::uint8_t> DeviceBytes();
    std::vector<std::string> CallLog();
    void ClearLogs() { VEKSIM_CALL(VekSim_ClearLogs)(); }

    unsigned long long ElapsedMs() { return VEKSIM_CALL(VekSim_ElapsedMs)(); }
    struct Counters {
        unsigned long long writeCalls;
        unsigned long long readCalls;
        unsigned long long boardBusyMs;
        unsigned long long elapsedMs;
    };
    Counters GetCounters();
    void ResetCounters() { VEKSIM_CALL(VekSim_ResetCounters)(); }
    int PowerState() { return VEKSIM_CALL(VekSim_PowerState)(); }
    bool InTransaction() { return VEKSIM_CALL(VekSim_InTransaction)() != 0; }

  private:
    explicit SimControl(std::string path);

    std::string path_;
    DynamicLibrary library_;
};

}  // namespace vek::test
