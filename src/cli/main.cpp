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

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "device/utf8_path.h"
#endif

namespace {

#if defined(_WIN32)
// Windows hands main() its words in the ANSI code page, which cannot hold every file name:
// they are taken from the wide command line instead.
std::vector<std::string> WindowsCommandLineWords() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> words;
    if (wide == nullptr) {
        return words;
    }
    for (int i = 1; i < count; ++i) {
        words.push_back(vek::Utf8FromPath(wide[i]));
    }
    LocalFree(wide);
    return words;
}

// UTF-8 with plain line ends, the same bytes whether they go to a console, a pipe, or a file
// (with > as with -o); the console is told to show UTF-8.
void UseUtf8Output() {
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}
#endif

// The words after the program's name, in UTF-8 like every text in the program.
std::vector<std::string> CommandLineWords(int argc, char* argv[]) {
#if defined(_WIN32)
    (void)argc;
    (void)argv;
    return WindowsCommandLineWords();
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace vek::cli;
#if defined(_WIN32)
    UseUtf8Output();
#endif
    const ParsedArguments parsed = ParseArguments(CommandLineWords(argc, argv));
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
    const ExitStatus status = RunCommand(arguments, session, ui, stdout);
    if (status != EXIT_OK) {
        ui.ReportHeldMessages();
    }
    return status;
}
