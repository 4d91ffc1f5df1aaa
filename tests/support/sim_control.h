// The simulated programmer's control interface with std types, for tests. The library is
// loaded once by path; the link under test loads the same file and so drives the same board.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/usb_transport.h"
#include "platform/dynamic_library.h"

namespace vek::test {

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

    void Reset();
    bool SelectChip(const std::string& name);
    void SetDeviceId(unsigned raw);
    int ReadWord(int space, int index);
    bool WriteWord(int space, int index, int value);

    void SetAttached(bool attached);
    void SetOpenFails(bool fails);
    void UnplugAfterCalls(int calls);
    void FailCall(const std::string& fn, int occurrence, unsigned status = 4);
    void FaultReply(int anchor, int occurrence, int byteIndex, int action, int value = 0);
    void FaultRead(int occurrence, int byteIndex, int action, int value = 0);
    void ShortReadBlock(int block, int times, int bytesSent);
    void ShortEepromBlock(int block, int bytesSent);
    void InjectStrayBytes(std::vector<std::uint8_t> bytes);

    std::vector<std::uint8_t> HostBytes();
    std::vector<std::uint8_t> DeviceBytes();
    std::vector<std::string> CallLog();
    void ClearLogs();

    unsigned long long ElapsedMs();
    struct Counters {
        unsigned long long writeCalls;
        unsigned long long readCalls;
        unsigned long long boardBusyMs;
        unsigned long long elapsedMs;
    };
    Counters GetCounters();
    void ResetCounters();
    int PowerState();
    bool InTransaction();

  private:
    explicit SimControl(std::string path);

    std::string path_;
    DynamicLibrary library_;
};

}  // namespace vek::test
