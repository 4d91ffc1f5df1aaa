#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "child_process.h"

namespace vek::test {

Child StartChild(const ChildSetup& setup) {
    std::vector<std::string> words = setup.words;
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    Child started;
    int terminalSide = -1;
    if (setup.terminal) {
        started.terminal = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_EQ(grantpt(started.terminal) | unlockpt(started.terminal), 0);
        terminalSide = open(ptsname(started.terminal), O_RDWR | O_NOCTTY);
        const winsize size{24, setup.terminalColumns, 0, 0};
        EXPECT_EQ(ioctl(terminalSide, TIOCSWINSZ, &size), 0);
    }
    started.start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        std::vector<std::string> dropped;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (!setup.droppedPrefix.empty() && std::strncmp(*entry, setup.droppedPrefix.c_str(),
                                                             setup.droppedPrefix.size()) == 0) {
                dropped.emplace_back(*entry, std::strchr(*entry, '=') - *entry);
            }
        }
        for (const std::string& name : dropped) {
            unsetenv(name.c_str());
        }
        for (const auto& [name, value] : setup.variables) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        const int files = O_WRONLY | O_CREAT | O_TRUNC;
        if (setup.fileSizeLimit > 0) {
            // A write past the limit then fails as on a full disk instead of ending the program.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{setup.fileSizeLimit, setup.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        alarm(setup.secondsAllowed);
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(open(setup.outFile.c_str(), files, 0600), 1);
        dup2(setup.terminal ? terminalSide : open(setup.errFile.c_str(), files, 0600), 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (terminalSide >= 0) {
        close(terminalSide);
    }
    started.process = child;
    return started;
}

void InterruptChild(const Child& child) {
    kill(static_cast<pid_t>(child.process), SIGINT);
}

ChildRun FinishChild(const Child& child, const std::function<void()>& whileStopped) {
    ChildRun run;
    if (child.terminal >= 0) {
        // Everything the terminal shows: once the program has ended, a read fails.
        char buffer[4096];
        for (ssize_t count = 0; (count = read(child.terminal, buffer, sizeof buffer)) > 0;) {
            run.err.append(buffer, static_cast<std::size_t>(count));
        }
        close(child.terminal);
    }
    const auto pid = static_cast<pid_t>(child.process);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, whileStopped ? WUNTRACED : 0), pid);
    if (whileStopped && WIFSTOPPED(status)) {
        whileStopped();
        kill(pid, SIGCONT);
        EXPECT_EQ(waitpid(pid, &status, 0), pid);
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - child.start)
                           .count();
    return run;
}

}  // namespace vek::test
