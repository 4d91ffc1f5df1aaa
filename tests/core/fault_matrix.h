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

// A programmer opened on a fresh simulated board with the target selected and its chip in the
// socket.
struct Scene : Bench {
    explicit Scene(int targetRow) { Open(targetRow); }

    ChipContents good;  // the chip after the good run, which claims may be held against
};

ChipContents ReadChip(SimControl& sim);

// What a message says about the world; checked at the moment it is shown.
struct Claim {
    std::string message;
    std::function<bool(Scene&)> holds;
};

struct MatrixRow {
    std::string name{};
    // Sets the scene for the command, before anything is recorded.
    std::function<void(Scene&, const TempFolder&)> prepare{};
    std::function<void(Scene&)> run{};
    // The last message of the good run ("" for none), so that a scene that went wrong cannot
    // make the matrix shallow.
    std::string goodEnd{};
    // Every message the command may show besides the link's; an entry ending in '*' is a
    // prefix.
    std::vector<std::string> messages{};
    // Messages that tell the person the command did what was asked.
    std::vector<std::string> successes{};
    std::vector<Claim> claims{};
    // What an end without any message claims; without it such an end is a silent failure.
    // wrongBytes: bytes the fault changed, which a command cannot tell from the chip's own.
    std::function<bool(Scene&, int wrongBytes)> silentEndHolds{};
    // A problem that the end of any run shows, beyond the common checks ("" for none).
    std::function<std::string(Scene&)> endCheck{};
};

// Records each row's good run on each target and reruns it under every fault of that run,
// prints a summary of the outcomes and returns every problem found.
std::vector<std::string> RunMatrix(const std::vector<MatrixRow>& rows,
                                   std::initializer_list<int> targetRows);

}  // namespace vek::test
