// Part of a test run as another user: tests run as root in CI, so a row that needs another user forks a child that
// drops to `nobody` (65534) and reports through its exit status.
#pragma once
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <string>

namespace kz::test {

inline constexpr unsigned kOtherUser = 65534;

// Runs `body` as uid and gid 65534 in a forked child and tells whether it ran without a failure. The child always
// ends with _exit and its status: whatever `body` throws, it never returns into the test program, which would
// otherwise go on running the remaining tests as that user. The child's failures are printed by the child; the
// parent's assertion names `what`.
template <typename Body>
::testing::AssertionResult run_as_other_user(const std::string& what, Body&& body) {
    const pid_t child = ::fork();
    if (child < 0) return ::testing::AssertionFailure() << what << ": fork failed";
    if (child == 0) {
        int status = 3;
        try {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0) {
                status = 2;
            } else {
                body();
                status = ::testing::Test::HasFailure() ? 1 : 0;
            }
        } catch (...) {
            status = 4;
        }
        ::_exit(status);
    }
    int status = -1;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return ::testing::AssertionFailure() << what << ": waitpid failed";
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return ::testing::AssertionSuccess();
    const char* why = !WIFEXITED(status)             ? "ended by a signal"
                      : WEXITSTATUS(status) == 1     ? "failed a check"
                      : WEXITSTATUS(status) == 2     ? "could not become the other user"
                      : WEXITSTATUS(status) == 4     ? "threw an exception"
                                                     : "ended oddly";
    return ::testing::AssertionFailure() << what << ": the child run as another user " << why << " (" << status
                                         << ")";
}

}  // namespace kz::test
