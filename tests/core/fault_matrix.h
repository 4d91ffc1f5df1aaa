// The fault matrix: a command's good run through the simulated programmer is recorded, and the
// command is run again once for every fault the host can meet at every point of that exchange:
// each read losing its bytes, getting a wrong byte or failing as a driver call, each write
// failing, and the programmer unplugged before each call. Every run is checked for what must
// hold whatever went wrong.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim_fixture.h"
#include "temp_folder.h"

namespace vek::test {

// The chip's memory, every space, as the simulator holds it.
using ChipContents = std::vector<std::vector<int>>;

ChipContents ReadChip(SimControl& sim);

// What a message says about the world; checked at the moment it is shown, against the bench
// and the chip the good run left.
struct Claim {
    std::string message;
    std::function<bool(Bench&, const ChipContents& good)> holds;
};

struct MatrixRow {
    std::string name{};
    // Sets the bench up for the command, before anything is recorded.
    std::function<void(Bench&, const TempFolder&)> prepare{};
    std::function<void(Bench&)> run{};
    // The last message of the good run ("" for none), so that a scene that went wrong cannot
    // make the matrix shallow.
    std::string goodEnd{};
    // Every message the command may show besides the link's; an entry ending in '*' is a
    // prefix.
    std::vector<std::string> messages{};
    std::vector<Claim> claims{};
    // What an end without any message claims; without it such an end is a silent failure.
    // wrongBytes: bytes the fault changed, which a command cannot tell from the chip's own.
    std::function<bool(Bench&, int wrongBytes)> silentEndHolds{};
    // A problem that the end of any run shows, beyond the common checks ("" for none).
    std::function<std::string(Bench&)> endCheck{};
};

// Records each row's good run on each target and reruns it under every fault of that run,
// prints how many runs it made and returns every problem found.
std::vector<std::string> RunMatrix(const std::vector<MatrixRow>& rows,
                                   std::initializer_list<int> targetRows);

}  // namespace vek::test
