// Permission checks that also run as root, who passes every permission check (CI runs as root).
#pragma once

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

namespace vek::test {

inline int Failures() {
    const testing::TestResult* result =
        testing::UnitTest::GetInstance()->current_test_info()->result();
    int failures = 0;
    for (int i = 0; i < result->total_part_count(); ++i) {
        failures += result->GetTestPartResult(i).failed() ? 1 : 0;
    }
    return failures;
}

// Runs `checks` as a user without privileges. As root: in a child process that hands `folder`
// and everything in it to the user "nobody" and becomes that user; the child's failures are
// printed by the child and fail the calling test through its exit status.
inline void RunUnprivileged(const std::filesystem::path& folder,
                            const std::function<void()>& checks) {
    if (geteuid() != 0) {
        checks();
        return;
    }
    constexpr uid_t NOBODY = 65534;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool handedOver = chown(folder.c_str(), NOBODY, NOBODY) == 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            handedOver = handedOver && lchown(entry.path().c_str(), NOBODY, NOBODY) == 0;
        }
        if (!handedOver || setgroups(0, nullptr) != 0 || setgid(NOBODY) != 0 ||
            setuid(NOBODY) != 0) {
            _exit(2);
        }
        const int failuresBefore = Failures();
        checks();
        _exit(Failures() > failuresBefore ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the unprivileged checks failed (2: could not become another user)";
}

}  // namespace vek::test
