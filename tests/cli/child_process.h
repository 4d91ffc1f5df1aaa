// A program run in a process of its own, as a person's script runs it.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace vek::test {

struct ChildRun {
    int status = -1;  // the exit status; -1 when the program did not end by itself
    std::string err;  // what the terminal showed, when stderr went to one
    long long milliseconds = 0;
};

struct ChildSetup {
    std::vector<std::string> words;  // the program's path first; UTF-8
    // The test's environment without the variables whose names begin with droppedPrefix, and
    // with these set.
    std::string droppedPrefix;
    std::vector<std::pair<std::string, std::string>> variables;
    std::filesystem::path outFile, errFile;
    bool terminal = false;  // stderr to a terminal instead of errFile (not on Windows)
};

// Runs the program to its end, stdin empty, stdout and stderr into their files.
ChildRun RunChild(const ChildSetup& setup);

}  // namespace vek::test
