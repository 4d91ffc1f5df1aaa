// The commands of vekflash-cli, each a core operation of the window run once.
#pragma once

#include <cstdio>

#include "cli/arguments.h"
#include "cli/terminal_ui.h"
#include "session/session.h"

namespace vek::cli {

// The exit statuses, as --help documents them.
enum ExitStatus {
    EXIT_OK = 0,
    EXIT_DIFFERS = 1,  // verify found a difference, or the chip is not blank
    EXIT_USAGE = 2,
    EXIT_HEX_FILE = 3,
    EXIT_PROGRAMMER = 4,  // no programmer, or the communication failed
    EXIT_WRONG_DEVICE = 5,
};

// Runs the command on the session, whose user interface is ui; results go to `results`.
ExitStatus RunCommand(const Arguments& arguments, Session& session, TerminalUserInterface& ui,
                      std::FILE* results);

}  // namespace vek::cli
