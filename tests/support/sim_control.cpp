#include "sim_control.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "vek_sim.h"

namespace vek::test {

// The exported function, typed like its declaration in vek_sim.h (which is only looked at,
// never linked: the library is reached through its exported names alone).
#define VEKSIM_CALL(function) (*reinterpret_cast<decltype(&function)>(Symbol(#function)))

SimControl& SimControl::Get() {
    static SimControl control(VEK_SIM_LIBRARY);
    return control;
}

SimControl::SimControl(std::string path) : path_(std::move(path)) {
    if (!library_.Load(path_)) {
        std::fprintf(stderr, "Cannot load the simulated programmer %s\n", path_.c_str());
        std::abort();
    }
}

// Without the simulator no test can run, so a missing one ends the run.
void* SimControl::Symbol(const char* name) const {
    void* symbol = library_.Symbol(name);
    if (symbol == nullptr) {
        std::fprintf(stderr, "The simulated programmer lacks %s\n", name);
        std::abort();
    }
    return symbol;
}

void SimControl::Reset() {
    VEKSIM_CALL(VekSim_Reset)();
}

bool SimControl::SelectChip(const std::string& name) {
    return VEKSIM_CALL(VekSim_SelectChip)(name.c_str()) == 0;
}

void SimControl::SetDeviceId(unsigned raw) {
    VEKSIM_CALL(VekSim_SetDeviceId)(raw);
}

int SimControl::ReadWord(int space, int index) {
    return VEKSIM_CALL(VekSim_ReadWord)(space, index);
}

bool SimControl::WriteWord(int space, int index, int value) {
    return VEKSIM_CALL(VekSim_WriteWord)(space, index, value) == 0;
}

void SimControl::SetAttached(bool attached) {
    VEKSIM_CALL(VekSim_SetAttached)(attached);
}

void SimControl::SetOpenFails(bool fails) {
    VEKSIM_CALL(VekSim_SetOpenFails)(fails);
}

void SimControl::UnplugAfterCalls(int calls) {
    VEKSIM_CALL(VekSim_UnplugAfterCalls)(calls);
}

void SimControl::FailCall(const std::string& fn, int occurrence, unsigned status) {
    VEKSIM_CALL(VekSim_FailCall)(fn.c_str(), occurrence, status);
}

void SimControl::FaultReply(int anchor, int occurrence, int byteIndex, int action, int value) {
    VEKSIM_CALL(VekSim_FaultReply)(anchor, occurrence, byteIndex, action, value);
}

void SimControl::FaultRead(int occurrence, int byteIndex, int action, int value) {
    VEKSIM_CALL(VekSim_FaultRead)(occurrence, byteIndex, action, value);
}

void SimControl::ShortReadBlock(int block, int times, int bytesSent) {
    VEKSIM_CALL(VekSim_ShortReadBlock)(block, times, bytesSent);
}

void SimControl::ShortEepromBlock(int block, int bytesSent) {
    VEKSIM_CALL(VekSim_ShortEepromBlock)(block, bytesSent);
}

void SimControl::InjectStrayBytes(std::vector<std::uint8_t> bytes) {
    VEKSIM_CALL(VekSim_InjectStrayBytes)(bytes.data(), bytes.size());
}

std::vector<std::uint8_t> SimControl::HostBytes() {
    std::vector<std::uint8_t> bytes(VEKSIM_CALL(VekSim_HostBytes)(nullptr, 0));
    VEKSIM_CALL(VekSim_HostBytes)(bytes.data(), bytes.size());
    return bytes;
}

std::vector<std::uint8_t> SimControl::DeviceBytes() {
    std::vector<std::uint8_t> bytes(VEKSIM_CALL(VekSim_DeviceBytes)(nullptr, 0));
    VEKSIM_CALL(VekSim_DeviceBytes)(bytes.data(), bytes.size());
    return bytes;
}

std::vector<std::string> SimControl::CallLog() {
    std::string text(VEKSIM_CALL(VekSim_CallLog)(nullptr, 0), '\0');
    VEKSIM_CALL(VekSim_CallLog)(text.data(), text.size() + 1);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

void SimControl::ClearLogs() {
    VEKSIM_CALL(VekSim_ClearLogs)();
}

unsigned long long SimControl::ElapsedMs() {
    return VEKSIM_CALL(VekSim_ElapsedMs)();
}

SimControl::Counters SimControl::GetCounters() {
    VekSimCounters counted{};
    VEKSIM_CALL(VekSim_Counters)(&counted);
    return {counted.writeCalls, counted.readCalls, counted.boardBusyMs, counted.elapsedMs};
}

void SimControl::ResetCounters() {
    VEKSIM_CALL(VekSim_ResetCounters)();
}

int SimControl::PowerState() {
    return VEKSIM_CALL(VekSim_PowerState)();
}

bool SimControl::InTransaction() {
    return VEKSIM_CALL(VekSim_InTransaction)() != 0;
}

}  // namespace vek::test
