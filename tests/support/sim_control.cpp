#include "sim_control.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace vek::test {

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

SimControl::Counters SimControl::GetCounters() {
    VekSimCounters counted{};
    VEKSIM_CALL(VekSim_Counters)(&counted);
    return {counted.writeCalls, counted.readCalls, counted.boardBusyMs, counted.elapsedMs};
}

}  // namespace vek::test
