// The control interface of vek_sim.h, through which tests set the scene and look back.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "simulator.h"
#include "vek_sim.h"

using vek::sim::Sim;

namespace {

std::size_t CopyBytes(const std::vector<std::uint8_t>& bytes, unsigned char* buffer,
                      std::size_t capacity) {
    if (buffer != nullptr) {
        std::copy_n(bytes.begin(), std::min(capacity, bytes.size()), buffer);
    }
    return bytes.size();
}

}  // namespace

extern "C" {

void VekSim_Reset(void) {
    Sim().Reset();
}

int VekSim_SelectChip(const char* name) {
    return name != nullptr && Sim().SelectChip(name) ? 0 : -1;
}

void VekSim_SetDeviceId(unsigned raw) {
    Sim().Chip().SetDeviceId(raw);
}

int VekSim_ReadWord(int space, int index) {
    return Sim().Chip().Read(space, index);
}

int VekSim_WriteWord(int space, int index, int value) {
    const bool written = Sim().Chip().Write(space, index, value);
    Sim().SaveIfChanged();
    return written ? 0 : -1;
}

void VekSim_SetAttached(int attached) {
    Sim().SetAttached(attached != 0);
}

void VekSim_SetOpenFails(int fails) {
    Sim().SetOpenFails(fails != 0);
}

void VekSim_UnplugAfterCalls(int calls) {
    Sim().UnplugAfterCalls(calls);
}

void VekSim_FailCall(const char* function, int occurrence, unsigned status) {
    if (function != nullptr) {
        Sim().GetFaults().FailCall(function, occurrence, status);
    }
}

void VekSim_FaultReply(int anchor, int occurrence, int byteIndex, int action, int value) {
    Sim().GetFaults().FaultReply(anchor, occurrence, byteIndex, action, value);
}

void VekSim_FaultRead(int occurrence, int byteIndex, int action, int value) {
    Sim().GetFaults().FaultRead(occurrence, byteIndex, action, value);
}

void VekSim_ShortReadBlock(int block, int times, int bytesSent) {
    Sim().GetFaults().ShortReadBlock(block, times, bytesSent);
}

void VekSim_ShortEepromBlock(int block, int bytesSent) {
    Sim().GetFaults().ShortEepromBlock(block, bytesSent);
}

void VekSim_InjectStrayBytes(const unsigned char* bytes, size_t count) {
    if (bytes != nullptr) {
        Sim().InjectStrayBytes(std::vector<std::uint8_t>(bytes, bytes + count));
    }
}

size_t VekSim_HostBytes(unsigned char* buffer, size_t capacity) {
    return CopyBytes(Sim().GetLogs().hostBytes, buffer, capacity);
}

size_t VekSim_DeviceBytes(unsigned char* buffer, size_t capacity) {
    return CopyBytes(Sim().GetLogs().deviceBytes, buffer, capacity);
}

size_t VekSim_CallLog(char* buffer, size_t capacity) {
    std::string text;
    for (const std::string& line : Sim().GetLogs().calls) {
        text += line + '\n';
    }
    if (buffer != nullptr && capacity > 0) {
        const std::size_t copied = std::min(capacity - 1, text.size());
        std::memcpy(buffer, text.data(), copied);
        buffer[copied] = '\0';
    }
    return text.size();
}

void VekSim_ClearLogs(void) {
    Sim().GetLogs() = vek::sim::Logs{};
}

unsigned long long VekSim_ElapsedMs(void) {
    return Sim().ElapsedMs();
}

void VekSim_Counters(VekSimCounters* counters) {
    if (counters == nullptr) {
        return;
    }
    const vek::sim::Counters counted = Sim().GetCounters();
    counters->writeCalls = counted.writeCalls;
    counters->readCalls = counted.readCalls;
    counters->boardBusyMs = counted.boardBusyMs;
    counters->elapsedMs = counted.elapsedMs;
}

void VekSim_ResetCounters(void) {
    Sim().ResetCounters();
}

int VekSim_PowerState(void) {
    return Sim().Board().PowerState();
}

int VekSim_InTransaction(void) {
    return Sim().Board().InTransaction() ? 1 : 0;
}

}  // extern "C"
