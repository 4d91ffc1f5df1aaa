// vekflash-cli: the programmer's operations from a shell or a script, on the same core as the
// window. It keeps no settings: the window's settings file is neither read nor written.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/terminal_ui.h"
#include "session/session.h"
#include "settings/memory_settings_store.h"

int main(int argc, char* argv[]) {
    using namespace vek::cli;
    const ParsedArguments parsed = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "vekflash-cli: %s\nTry 'vekflash-cli --help' for more.\n",
                     parsed.error.c_str());
        return EXIT_USAGE;
    }
    const Arguments& arguments = parsed.arguments;
    if (arguments.help) {
        std::fputs(HelpText().c_str(), stdout);
        return EXIT_OK;
    }
    if (arguments.version) {
        std::printf("vekflash-cli %s\n", VEK_VERSION);
        return EXIT_OK;
    }

    TerminalUserInterface ui(stderr, arguments.deviceRow, arguments.quiet);
    vek::MemorySettingsStore settings;
    vek::Session session(ui, settings);
    session.link.ChooseDriver(arguments.driver);
    const ExitStatus status = RunCommand(arguments, session, ui, stdout);
    if (status != EXIT_OK) {
        ui.ReportHeldMessages();
    }
    return status;
}
