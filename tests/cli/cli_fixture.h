// vekflash-cli run as a person's script runs it: a process of its own on the simulated
// programmer, with its stdout, stderr and exit status.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "child_process.h"
#include "platform/utf8_path.h"
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

// The text's lines, split at a separator ('\n' by default) and without it.
inline std::vector<std::string> Lines(const std::string& text, char separator = '\n') {
    std::istringstream stream(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line, separator);) {
        lines.push_back(line);
    }
    return lines;
}

// The memory space `space` of a chip's state file, from its first location.
inline std::vector<int> Space(const std::filesystem::path& state, const std::string& space) {
    std::istringstream text(ReadFile(state));
    std::vector<int> values;
    for (std::string line; std::getline(text, line);) {
        std::istringstream words(line);
        std::string name;
        int index = 0;
        words >> name >> std::hex >> index;
        for (int value = 0; name == space && words >> value;) {
            values.push_back(value);
        }
    }
    return values;
}

inline std::vector<int> EepromBytes(const std::filesystem::path& state, int from, int count) {
    const std::vector<int> eeprom = Space(state, "eeprom");
    return {eeprom.begin() + from, eeprom.begin() + from + count};
}

// What stderr shows for a command line that cannot be used.
inline std::string Usage(const std::string& complaint) {
    return "vekflash-cli: " + complaint + "\n" + USAGE_HINT;
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
        return Collect(Launch(std::move(arguments), chip, state, faults, terminal, "run"),
                       whileStopped);
    }

    struct Launched {
        Child child;
        std::filesystem::path outPath, errPath;
        bool terminal;
    };

    // Starts the program without waiting for it; its output goes to files named after `tag`.
    Launched Launch(std::vector<std::string> arguments, const std::string& chip,
                    const std::string& state, const std::string& faults, bool terminal,
                    const std::string& tag) {
        ChildSetup setup;
        setup.words = std::move(arguments);
        setup.words.insert(setup.words.begin(), VEK_CLI);
        // The parent's environment but for what would change the run.
        setup.droppedPrefix = "VEKSIM_";
        const std::string home = Utf8FromPath(folder / "home");
        const std::string config = Utf8FromPath(folder / "config");
        setup.variables = {{"LD_LIBRARY_PATH", libraryFolder},
                           {"PATH", libraryFolder},
                           {"HOME", home},
                           {"USERPROFILE", home},
                           {"XDG_CONFIG_HOME", config},
                           {"APPDATA", config},
                           {"LOCALAPPDATA", config},
                           {"VEKSIM_CHIP", chip},
                           {"VEKSIM_STATE", Utf8FromPath(folder / state)}};
        if (!faults.empty()) {
            setup.variables.emplace_back("VEKSIM_FAULTS", faults);
        }
        setup.variables.insert(setup.variables.end(), environment.begin(), environment.end());
        setup.outFile = folder / (tag + ".stdout");
        setup.errFile = folder / (tag + ".stderr");
        setup.terminal = terminal;
        setup.terminalColumns = terminalColumns;
        setup.fileSizeLimit = fileSizeLimit;
        setup.secondsAllowed = secondsAllowed;
        return {StartChild(setup), setup.outFile, setup.errFile, terminal};
    }

    CliRun Collect(const Launched& launched, const std::function<void()>& whileStopped = {}) {
        const ChildRun child = FinishChild(launched.child, whileStopped);
        return {child.status, ReadFile(launched.outPath),
                launched.terminal ? child.err : ReadFile(launched.errPath), child.milliseconds};
    }

    std::vector<std::pair<std::string, std::string>> environment;
    unsigned short terminalColumns = 80;  // of the terminal that Run(..., terminal) opens
    // Not on Windows: the largest file the program may write, and when it is killed (0: none).
    unsigned long long fileSizeLimit = 0;
    unsigned secondsAllowed = 0;
    // Where the program looks for its D2XX library.
    std::string libraryFolder = VEK_SIM_DIR;
    TempFolder folder;
};

}  // namespace vek::test
