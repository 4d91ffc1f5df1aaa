// The commands of vekflash-cli, each a core operation of the window run once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/arguments.h"
#include "cli/terminal_ui.h"
#include "session/programmer.h"

namespace vek::cli {

// What a run came to besides its exit status, for --json and --log.
struct RunRecord {
    std::string boardSerial;  // --board's, else the first attached board's
    std::string deviceWord;   // the chip's ID as read, empty when none was read
    std::string driver;       // the USB driver in use, as --driver names it; empty for none
    int autoDeviceRow = -1;   // the row that -d auto found, once it found one
    std::optional<unsigned> serialToWrite;  // program: the number placed in the image
    std::optional<unsigned> serialWritten;  // once the chip holds it
    // program: of what was written; verify and read: of the chip as read; checksum: of the
    // file. None when unknown.
    std::optional<std::uint16_t> checksum;
    // What the command found, by command: the ID, the differences, the file read, the boards.
    nlohmann::json found = nlohmann::json::object();
};

// Called once the board is chosen and open, before the chip is touched; false stops the run
// (after its own message).
using BeforeTarget = std::function<bool()>;

// program --loop: Ctrl+C, and the end of each chip, whose record is then complete; chipDone
// returns false to end the loop (its log could not be written).
struct ChipHooks {
    std::function<bool()> stopRequested = [] { return false; };
    std::function<bool(ExitStatus)> chipDone = [](ExitStatus) { return true; };
};

// Runs the command on the programmer, which reports through reporter; results go to `results`
// unless --json gathers them in the record.
ExitStatus RunCommand(const Arguments& arguments, Programmer& programmer,
                      TerminalReporter& reporter, std::FILE* results, RunRecord& record,
                      const BeforeTarget& beforeTarget, const ChipHooks& chip = {});

}  // namespace vek::cli
