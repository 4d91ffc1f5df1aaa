// A program run in a process of its own, as a person's script runs it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vek::test {

struct ChildSetup {
    std::vector<std::string> words;  // the program's path first; UTF-8
    // The test's environment without the variables whose names begin with droppedPrefix, and
    // with these set.
    std::string droppedPrefix;
    std::vector<std::pair<std::string, std::string>> variables;
    std::filesystem::path outFile, errFile;
    bool terminal = false;  // stderr to a terminal instead of errFile (not on Windows)
    unsigned short terminalColumns = 80;
    // Not on Windows: the largest size, in bytes, to which the program may write a file, as on
    // a full disk (0: no limit); and the seconds after which it is killed, so that a program
    // that hangs fails its test instead of stopping the suite (0: none).
    unsigned long long fileSizeLimit = 0;
    unsigned secondsAllowed = 0;
};

// A program started and not yet waited for.
struct Child {
    std::intptr_t process = -1;  // the process ID, or on Windows the process handle
    int terminal = -1;           // our side of the terminal its stderr goes to
    std::chrono::steady_clock::time_point start;
};

struct ChildRun {
    int status = -1;  // the exit status; -1 when the program did not end by itself
    std::string err;  // what the terminal showed, when stderr went to one
    long long milliseconds = 0;
};

// Starts the program with stdin empty and stdout and stderr going to their files.
Child StartChild(const ChildSetup& setup);

// Not on Windows: what Ctrl+C sends the program.
void InterruptChild(const Child& child);

// Waits for the program's end. A program that stops itself (not on Windows) is handed to
// `whileStopped`, then let go on.
ChildRun FinishChild(const Child& child, const std::function<void()>& whileStopped = {});

}  // namespace vek::test
