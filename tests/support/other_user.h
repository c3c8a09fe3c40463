// Part of a test run in a forked child that reports through its exit status: as another user (tests run as root in
// CI, so a row that needs another user drops to `nobody`, 65534), or as this user on a system that lists one
// account more.
#pragma once
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>

namespace kz::test {

inline constexpr unsigned kOtherUser = 65534;

// Runs `body` in a forked child once `prepare` (which returns whether it could set the child up) has run there,
// and tells whether it ran without a failure. The child always ends with _exit and its status: whatever `body`
// throws, it never returns into the test program, which would otherwise go on running the remaining tests in the
// child. The child's failures are printed by the child; the parent's assertion names `what`.
template <typename Prepare, typename Body>
::testing::AssertionResult run_in_child(const std::string& what, Prepare&& prepare, Body&& body) {
    const pid_t child = ::fork();
    if (child < 0) return ::testing::AssertionFailure() << what << ": fork failed";
    if (child == 0) {
        int status = 3;
        try {
            if (!prepare()) {
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
    const char* why = !WIFEXITED(status)         ? "ended by a signal"
                      : WEXITSTATUS(status) == 1 ? "failed a check"
                      : WEXITSTATUS(status) == 2 ? "could not be set up"
                      : WEXITSTATUS(status) == 4 ? "threw an exception"
                                                 : "ended oddly";
    return ::testing::AssertionFailure() << what << ": the child " << why << " (" << status << ")";
}

// Runs `body` as uid and gid 65534 in a forked child (see run_in_child).
template <typename Body>
::testing::AssertionResult run_as_other_user(const std::string& what, Body&& body) {
    return run_in_child(
        what, [] { return ::setgroups(0, nullptr) == 0 && ::setgid(kOtherUser) == 0 && ::setuid(kOtherUser) == 0; },
        body);
}

// Runs `body` in a forked child (see run_in_child) that sees one account more: `passwd_line` added to a copy of
// /etc/passwd that is bound over it in a mount namespace of the child's own, which needs root.
template <typename Body>
::testing::AssertionResult run_with_account(const std::string& what, const std::string& passwd_line, Body&& body) {
    return run_in_child(
        what,
        [&] {
            std::ostringstream accounts;
            accounts << std::ifstream("/etc/passwd").rdbuf() << passwd_line << '\n';
            char copy[] = "/tmp/kz-passwd-XXXXXX";
            const int fd = ::mkstemp(copy);
            const std::string text = accounts.str();
            const bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
            if (fd >= 0) ::close(fd);
            const bool bound = written && ::unshare(CLONE_NEWNS) == 0 &&
                               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                               ::mount(copy, "/etc/passwd", nullptr, MS_BIND, nullptr) == 0;
            if (fd >= 0) ::unlink(copy);  // the bound file stays reachable through the mount
            return bound;
        },
        body);
}

}  // namespace kz::test
