// vekflash-cli: the programmer's operations from a shell or a script, on the same core as the
// window. It keeps no settings: the window's settings file is neither read nor written.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/run_report.h"
#include "cli/terminal_ui.h"
#include "cli/usage.h"
#include "platform/console.h"
#include "platform/utc_time.h"
#include "session/programmer.h"

namespace {

using namespace vek::cli;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A command line that cannot be used, or whose job cannot be read: the reason, and for --json
// the report that says so.
int RefuseCommandLine(const ParsedArguments& parsed) {
    const bool usage = parsed.status == EXIT_USAGE;
    const std::string message = usage ? "vekflash-cli: " + parsed.error : parsed.error;
    std::fprintf(stderr, "%s\n%s", message.c_str(),
                 usage ? "Try 'vekflash-cli --help' for more.\n" : "");
    if (parsed.arguments.json) {
        const RunRecord record;
        const std::vector<std::string> messages = {message};
        std::printf(
            "%s\n",
            JsonReport({parsed.arguments, record, parsed.status, messages, 0.0, ""}).c_str());
    }
    return parsed.status;
}

// Ctrl+C in program --loop: the loop ends after the chip in hand; a second one ends the process.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) {
    interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

int main(int argc, char* argv[]) {
    auto start = std::chrono::steady_clock::now();
    std::string startedAt = vek::IsoTimeUtc(std::chrono::system_clock::now());
    vek::UseUtf8Output();
    const ParsedArguments parsed = ParseArguments(vek::CommandLineWords(argc, argv));
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
    std::optional<vek::RunLog> log;
    std::string logError;
    // save-job keeps the log's name in the job; it writes no row of its own.
    const bool logged = !arguments.logFile.empty() && arguments.command != Command::SaveJob;
    const auto logFailed = [&] {
        reporter.ShowMessage(vek::LogNotWrittenMessage(arguments.logFile));
        log.reset();
    };
    // The end of a run, or of each chip of a loop: its log row and its JSON object.
    const auto finish = [&] {
        if (log && !log->Append(LogRowOf(summary(), false))) {
            logFailed();
            status = status == EXIT_OK ? EXIT_HEX_FILE : status;
        }
        if (status != EXIT_OK) {
            reporter.ReportHeldMessages();
        }
        if (arguments.json) {
            std::printf("%s\n", JsonReport(summary()).c_str());
            std::fflush(stdout);
        }
    };
    ChipHooks chip;
    int chipsFinished = 0;
    if (arguments.loop) {
        std::signal(SIGINT, OnInterrupt);
        chip.stopRequested = [] { return interrupted != 0; };
        chip.chipDone = [&](ExitStatus chipStatus) {
            status = chipStatus;
            ++chipsFinished;
            const bool hadLog = log.has_value();
            finish();
            reporter.ForgetMessages();
            return log.has_value() == hadLog;
        };
    }
    if (logged && !(log = vek::RunLog::Open(arguments.logFile, logError))) {
        reporter.ShowMessage(logError);
    } else {
        status = RunCommand(
            arguments, programmer, reporter, stdout, record,
            [&] {
                // Each chip of a loop is a run of its own, from its start.
                if (arguments.loop) {
                    start = std::chrono::steady_clock::now();
                    startedAt = vek::IsoTimeUtc(std::chrono::system_clock::now());
                }
                if (!log || log->Append(LogRowOf(summary(), true))) {
                    return true;
                }
                logFailed();
                return false;
            },
            chip);
        // A loop that reached a chip has written each chip's row and object.
        if (chipsFinished > 0) {
            reporter.ReportHeldMessages();
            return status;
        }
    }
    finish();
    return status;
}
