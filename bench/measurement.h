// Full Program, Verify and Read of one target on the simulated programmer, in both transfer
// modes, and what each of them cost.
#pragma once

#include <string>

namespace vek::bench {

struct Figures {
    // The simulator's clock: the USB link, read time-outs that ran out and the board's work.
    unsigned long long simMs = 0;
    // The board's own work within it; the rest is the host's time on the link.
    unsigned long long chipMs = 0;
    unsigned long long writes = 0;  // FT_Write calls
    unsigned long long reads = 0;   // FT_Read calls
    // Processor time of the whole process, the simulator's own work included.
    double cpuSeconds = 0;
    // Pauses the operation asked of the window; they take no simulated time.
    int pausedMs = 0;

    unsigned long long OverheadMs() const { return simMs - chipMs; }
};

struct ModeFigures {
    Figures fast;
    Figures perWord;
};

struct TargetFigures {
    std::string name;
    ModeFigures program;
    ModeFigures read;
    ModeFigures verify;
};

// The target of the Device list row; false, with the reason, when an operation failed.
bool MeasureTarget(int row, TargetFigures& figures, std::string& failure);

}  // namespace vek::bench
