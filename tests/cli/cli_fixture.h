// vekflash-cli run as a person's script runs it: a process of its own on the simulated
// programmer, with its stdout, stderr and exit status.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "temp_folder.h"

namespace vek::test {

inline const std::string PIC_SAMPLE = VEK_EXAMPLES_DIR "/blink-16f84a.hex";
inline const std::string SX_SAMPLE = VEK_EXAMPLES_DIR "/blink-sx28.hex";
inline const std::string USAGE_HINT = "Try 'vekflash-cli --help' for more.\n";

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

template <typename... Words>
inline std::vector<std::string> Args(const Words&... words) {
    return {std::string(words)...};
}

struct CliRun {
    int status = -1;
    std::string out, err;
    long long milliseconds = 0;
};

class Cli : public ::testing::Test {
  protected:
    Cli() {
        std::filesystem::create_directory(folder / "home");
        std::filesystem::create_directory(folder / "config");
    }

    // Runs the program with the simulator as its D2XX library, the chip's memory kept in the
    // folder's file `state`, and an empty home; stderr goes to a terminal when asked.
    CliRun Run(std::vector<std::string> arguments, const std::string& chip = "16F84A",
               const std::string& state = "pic", const std::string& faults = "",
               bool terminal = false, const std::function<void()>& whileStopped = {}) {
        int master = -1;
        int terminalSide = -1;
        if (terminal) {
            master = posix_openpt(O_RDWR | O_NOCTTY);
            EXPECT_EQ(grantpt(master) | unlockpt(master), 0);
            terminalSide = open(ptsname(master), O_RDWR | O_NOCTTY);
            const winsize size{24, terminalColumns, 0, 0};
            EXPECT_EQ(ioctl(terminalSide, TIOCSWINSZ, &size), 0);
        }
        const Launched launched =
            Launch(std::move(arguments), chip, state, faults, terminalSide, "run");
        std::string shown;
        if (terminal) {
            // Everything the terminal shows: once the program has ended, a read fails.
            close(terminalSide);
            char buffer[4096];
            for (ssize_t count = 0; (count = read(master, buffer, sizeof buffer)) > 0;) {
                shown.append(buffer, static_cast<std::size_t>(count));
            }
            close(master);
        }
        CliRun run = Collect(launched, whileStopped);
        if (terminal) {
            run.err = shown;
        }
        return run;
    }

    struct Launched {
        pid_t child;
        std::string outPath, errPath;
        std::chrono::steady_clock::time_point start;
    };

    // Starts the program without waiting for it; its output goes to files named after `tag`,
    // stderr to `terminalSide` when that is open. `environment` adds to what the run gets.
    Launched Launch(std::vector<std::string> arguments, const std::string& chip,
                    const std::string& state, const std::string& faults, int terminalSide,
                    const std::string& tag) {
        arguments.insert(arguments.begin(), VEK_CLI);
        std::vector<char*> argv;
        for (std::string& word : arguments) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        Launched launched{-1, (folder / (tag + ".stdout")).string(),
                          (folder / (tag + ".stderr")).string(), std::chrono::steady_clock::now()};
        launched.child = fork();
        if (launched.child == 0) {
            // The parent's environment but for what would change the run.
            std::vector<std::string> simVariables;
            for (char** entry = environ; *entry != nullptr; ++entry) {
                if (std::strncmp(*entry, "VEKSIM_", 7) == 0) {
                    simVariables.emplace_back(*entry, std::strchr(*entry, '=') - *entry);
                }
            }
            for (const std::string& name : simVariables) {
                unsetenv(name.c_str());
            }
            setenv("LD_LIBRARY_PATH", VEK_SIM_DIR, 1);
            setenv("HOME", (folder / "home").c_str(), 1);
            setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
            setenv("VEKSIM_CHIP", chip.c_str(), 1);
            setenv("VEKSIM_STATE", (folder / state).c_str(), 1);
            if (!faults.empty()) {
                setenv("VEKSIM_FAULTS", faults.c_str(), 1);
            }
            for (const auto& [name, value] : environment) {
                setenv(name.c_str(), value.c_str(), 1);
            }
            const int files = O_WRONLY | O_CREAT | O_TRUNC;
            dup2(open("/dev/null", O_RDONLY), 0);
            dup2(open(launched.outPath.c_str(), files, 0600), 1);
            dup2(terminalSide >= 0 ? terminalSide : open(launched.errPath.c_str(), files, 0600), 2);
            execv(VEK_CLI, argv.data());
            _exit(127);
        }
        return launched;
    }

    CliRun Collect(const Launched& launched, const std::function<void()>& whileStopped = {}) {
        CliRun run;
        int status = 0;
        EXPECT_EQ(waitpid(launched.child, &status, whileStopped ? WUNTRACED : 0), launched.child);
        // A fault that stopped the program: the test acts, then lets it go on.
        if (whileStopped && WIFSTOPPED(status)) {
            whileStopped();
            kill(launched.child, SIGCONT);
            EXPECT_EQ(waitpid(launched.child, &status, 0), launched.child);
        }
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - launched.start)
                               .count();
        run.out = ReadFile(launched.outPath);
        run.err = ReadFile(launched.errPath);
        return run;
    }

    std::vector<std::pair<std::string, std::string>> environment;
    unsigned short terminalColumns = 80;  // of the terminal that Run(..., terminal) opens
    TempFolder folder;
};

}  // namespace vek::test
