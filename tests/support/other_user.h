// Part of a test run in a forked child that reports through its exit status: as another user (tests run as root in
// CI, so a row that needs another user drops to `nobody`, 65534, or to a user in groups of the row's choosing), or as
// this user on a system that lists one account more.
#pragma once
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

// In a coverage build (scripts/coverage.sh links it in), writes out what this process ran; null elsewhere.
extern "C" void __gcov_dump() __attribute__((weak));

namespace kz::test {

inline constexpr unsigned kOtherUser = 65534;

// How long a child may take before the parent kills it: a row that hangs (a wait that never ends as another user)
// fails by name instead of holding the whole test program until the runner's own limit.
inline constexpr std::chrono::seconds kChildLimit{120};

// The number of result parts (checks that failed, skips) the running test holds so far.
inline int result_parts_so_far() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return test ? test->result()->total_part_count() : 0;
}

// Whether a failure was recorded after the first `from` result parts: a forked child inherits the parent's earlier
// failures, which are not its own.
inline bool failed_since(int from) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!test) return false;
    const ::testing::TestResult& result = *test->result();
    for (int i = from; i < result.total_part_count(); ++i)
        if (result.GetTestPartResult(i).failed()) return true;
    return false;
}

// Runs `body` in a forked child once `prepare` (which returns whether it could set the child up) has run there,
// and tells whether it ran without a failure of its own. The child always ends with _exit and its status: whatever
// `body` throws, it never returns into the test program, which would otherwise go on running the remaining tests in
// the child. The child's failures are printed by the child; the parent's assertion names `what`. A child still
// running after `limit` is killed and reaped, and the row fails naming the limit.
template <typename Prepare, typename Body>
::testing::AssertionResult run_in_child(const std::string& what, Prepare&& prepare, Body&& body,
                                        std::chrono::milliseconds limit = kChildLimit) {
    const int parts_before = result_parts_so_far();
    const pid_t child = ::fork();
    if (child < 0) return ::testing::AssertionFailure() << what << ": fork failed";
    if (child == 0) {
        int status = 3;
        try {
            if (!prepare()) {
                status = 2;
            } else {
                body();
                status = failed_since(parts_before) ? 1 : 0;
            }
        } catch (...) {
            status = 4;
        }
        // _exit runs no exit handlers: a coverage build's counts of what the child ran are written out first.
        if (__gcov_dump) __gcov_dump();
        ::_exit(status);
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = -1;
    for (;;) {
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child) break;
        if (ended < 0 && errno != EINTR) return ::testing::AssertionFailure() << what << ": waitpid failed";
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
            return ::testing::AssertionFailure() << what << ": the child did not end within "
                                                 << (limit.count() % 1000 ? std::to_string(limit.count()) + " ms"
                                                                          : std::to_string(limit.count() / 1000) + " s")
                                                 << " and was killed";
        }
        ::usleep(5000);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return ::testing::AssertionSuccess();
    const char* why = !WIFEXITED(status)         ? "ended by a signal"
                      : WEXITSTATUS(status) == 1 ? "failed a check"
                      : WEXITSTATUS(status) == 2 ? "could not be set up"
                      : WEXITSTATUS(status) == 4 ? "threw an exception"
                                                 : "ended oddly";
    return ::testing::AssertionFailure() << what << ": the child " << why << " (" << status << ")";
}

// Runs `body` in a forked child (see run_in_child) as user `uid` with the primary group `gid` and the further groups
// `groups` alone, which needs root.
template <typename Body>
::testing::AssertionResult run_as_user(const std::string& what, uid_t uid, gid_t gid, std::vector<gid_t> groups,
                                       Body&& body) {
    return run_in_child(
        what,
        [&] { return ::setgroups(groups.size(), groups.data()) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0; },
        body);
}

// Runs `body` as uid and gid 65534, in no other group, in a forked child (see run_in_child).
template <typename Body>
::testing::AssertionResult run_as_other_user(const std::string& what, Body&& body) {
    return run_as_user(what, kOtherUser, kOtherUser, {}, body);
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

// The rights the kernel gives the account (`uid`, primary group `gid`, the `count` groups at `groups`) on the file at
// `path`, as the mode bits read (4) and write (2): whether opening it for each succeeds; -1 where the identity could
// not be taken. The check is the kernel's own for that account: the caller's file system identity, which open()
// judges by, is switched to it for the two opens and back (away from root, the process loses its power over files
// until it comes back). Only for a process of one thread running as root, a forked child: the identity is the
// calling thread's alone. Nothing is allocated, as a child forked while another thread of the test program held the
// allocator's lock would wait for it forever.
inline int rights_as(const char* path, uid_t uid, gid_t gid, const gid_t* groups, std::size_t count) {
    int rights = -1;
    if (::syscall(SYS_setgroups, count, groups) == 0) {
        ::setfsgid(gid);
        ::setfsuid(uid);
        if (static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1))) == uid &&
            static_cast<gid_t>(::setfsgid(static_cast<gid_t>(-1))) == gid) {
            rights = 0;
            for (const auto& [flags, bit] : {std::pair(O_RDONLY, 4), std::pair(O_WRONLY, 2)}) {
                const int fd = ::open(path, flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
                if (fd >= 0) rights |= bit, ::close(fd);
            }
        }
    }
    ::setfsuid(0);
    ::setfsgid(0);
    ::syscall(SYS_setgroups, 0, nullptr);
    return rights;
}

}  // namespace kz::test
