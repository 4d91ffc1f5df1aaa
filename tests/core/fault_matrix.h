// The fault matrix: a command's good run through the simulated programmer is recorded, and the
// command is run again once for every fault the host can meet at every point of that exchange:
// each read losing its bytes, getting a wrong byte or failing as a driver call, each write
// failing, and the programmer unplugged before each call. Every run is checked for what must
// hold whatever went wrong.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "memory_settings.h"
#include "recording_ui.h"
#include "session/session.h"
#include "sim_control.h"
#include "temp_folder.h"

namespace vek::test {

enum class FaultKind { ReadMissing, ReadWrong, ReadFails, WriteFails, Unplugged };

// One fault at one point of the exchange. index: the read or write (0 = the command's first),
// or for an unplug the number of D2XX calls that still succeed. byteIndex: the wrong byte, or
// the first of the bytes a read loses.
struct Fault {
    FaultKind kind;
    int index;
    int byteIndex = 0;
    std::uint8_t value = 0;  // the wrong byte

    void Arm(SimControl& sim) const;
    std::string Describe() const;
};

// What the good run's call log says about the exchange.
struct RecordedExchange {
    std::vector<std::vector<std::uint8_t>> reads;  // what each FT_Read got
    int writes = 0;
    int calls = 0;
};

RecordedExchange ParseCallLog(const std::vector<std::string>& log);
// Every fault of the matrix for this exchange, in the order of the exchange.
std::vector<Fault> FaultsOf(const RecordedExchange& exchange);

// A programmer opened on a fresh simulated board with the target selected and its chip in the
// socket, and the window doubles the command reports to.
struct Scene {
    explicit Scene(int targetRow);
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    SimControl& sim = SimControl::Get();
    RecordingUi ui;
    MemorySettings settings;
    Session session{ui, settings, SimControl::Get().LibraryPath()};
};

// The chip's memory, every space, as the simulator holds it.
struct ChipContents {
    std::vector<std::vector<int>> spaces;
    bool operator==(const ChipContents&) const = default;
};
ChipContents ReadChip(SimControl& sim);

// What a message says about the world; checked at the moment it is shown.
struct Claim {
    std::string message;
    // good: the chip after the good run.
    std::function<bool(Scene&, const ChipContents& good)> holds;
};

struct MatrixRow {
    std::string name{};
    // Sets the scene for the command, before anything is recorded.
    std::function<void(Scene&, const TempFolder&)> prepare{};
    std::function<void(Session&)> run{};
    // The last message of the good run ("" for none), so that a scene that went wrong cannot
    // make the matrix shallow.
    std::string goodEnd{};
    // Every message the command may show; an entry ending in '*' is a prefix.
    std::vector<std::string> messages{};
    // Messages that tell the person the command did what was asked.
    std::vector<std::string> successes{};
    std::vector<Claim> claims{};
    // What an end without any message claims; without it such an end is a silent failure.
    // wrongBytes: bytes the fault changed, which a command cannot tell from the chip's own.
    std::function<bool(Scene&, int wrongBytes)> silentEndHolds{};
    // What must hold at the end of every run, if anything beyond the common checks.
    std::function<std::string(Scene&)> endCheck{};
};

// What the matrix found, summed over every row and target.
struct MatrixSummary {
    int runs = 0;
    std::map<std::string, int> outcomes;  // by the first line of the last message
    // Success shown after a failure message, its claim true (a step whose outcome the command
    // does not examine failed): "failure -> success", with how often.
    std::map<std::string, int> successAfterFailure;
    unsigned long long longestRunMs = 0;
    std::vector<std::string> problems;
};

// Records the row's good run on the target, then runs every fault of it.
void RunMatrixRow(const MatrixRow& row, int targetRow, const TempFolder& folder,
                  MatrixSummary& summary);

std::string FormatSummary(const MatrixSummary& summary, double cpuSeconds);

}  // namespace vek::test
