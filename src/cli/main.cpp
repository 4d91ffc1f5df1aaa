// vekflash-cli: the programmer's operations from a shell or a script, on the same core as the
// window. It keeps no settings: the window's settings file is neither read nor written.
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/run_report.h"
#include "cli/terminal_ui.h"
#include "cli/usage.h"
#include "device/utf8_path.h"
#include "session/programmer.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

namespace {

using namespace vek::cli;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A command line that cannot be used: the reason, and for --json the report that says so.
int RefuseCommandLine(const ParsedArguments& parsed) {
    std::fprintf(stderr, "vekflash-cli: %s\nTry 'vekflash-cli --help' for more.\n",
                 parsed.error.c_str());
    if (parsed.arguments.json) {
        const RunRecord record;
        const std::vector<std::string> messages = {"vekflash-cli: " + parsed.error};
        std::printf("%s\n",
                    JsonReport({parsed.arguments, record, EXIT_USAGE, messages, 0.0, ""}).c_str());
    }
    return EXIT_USAGE;
}

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
    const auto start = std::chrono::steady_clock::now();
    const std::string startedAt = IsoTimeUtc(std::chrono::system_clock::now());
#if defined(_WIN32)
    UseUtf8Output();
#endif
    const ParsedArguments parsed = ParseArguments(CommandLineWords(argc, argv));
    if (!parsed.error.empty()) {
        return RefuseCommandLine(parsed);
    }
    const Arguments& arguments = parsed.arguments;
    if (arguments.help) {
        std::fputs(HelpText(CliUsage()).c_str(), stdout);
        return EXIT_OK;
    }
    if (arguments.version) {
        std::printf("vekflash-cli %s\n", VEK_VERSION);
        return EXIT_OK;
    }

    TerminalReporter reporter(stderr, arguments.quiet, arguments.progress, arguments.driver);
    vek::Programmer programmer(reporter);
    programmer.link.ChooseDriver(arguments.driver);
    RunRecord record;
    ExitStatus status = EXIT_HEX_FILE;
    const auto summary = [&] {
        return RunSummary{arguments,           record,   status, reporter.Messages(),
                          SecondsSince(start), startedAt};
    };
    // Opened before anything else, so that a log that cannot be written stops the run before
    // the chip is touched; a log that failed once gets no further row.
    std::optional<RunLog> log;
    std::string logError;
    if (!arguments.logFile.empty() && !(log = RunLog::Open(arguments.logFile, logError))) {
        reporter.ShowMessage(logError);
    } else {
        status = RunCommand(arguments, programmer, reporter, stdout, record, [&] {
            if (!log || log->AppendStarted(summary())) {
                return true;
            }
            reporter.ShowMessage("Error: the log " + arguments.logFile + " could not be written.");
            log.reset();
            return false;
        });
        if (log && !log->AppendFinished(summary())) {
            reporter.ShowMessage("Error: the log " + arguments.logFile + " could not be written.");
            status = status == EXIT_OK ? EXIT_HEX_FILE : status;
        }
    }
    if (status != EXIT_OK) {
        reporter.ReportHeldMessages();
    }
    if (arguments.json) {
        std::printf("%s\n", JsonReport(summary()).c_str());
    }
    return status;
}
