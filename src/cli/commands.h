// The commands of vekflash-cli, each a core operation of the window run once.
#pragma once

#include <cstdio>

#include "cli/arguments.h"
#include "cli/terminal_ui.h"
#include "session/session.h"

namespace vek::cli {

// Runs the command on the session, whose user interface is ui; results go to `results`.
ExitStatus RunCommand(const Arguments& arguments, Session& session, TerminalUserInterface& ui,
                      std::FILE* results);

}  // namespace vek::cli
