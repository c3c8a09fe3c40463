// Another program that holds a file by a write lease (F_SETLEASE, as a file server holds a file for a client): a
// forked child of the file's owner, which lets the file go a moment after it is told to, or never.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "tests/support/killed_child.h"

namespace kz::test {

class LeaseHolder {
public:
    // Takes the lease on `file` (which nobody else may hold open); held() says whether the system gave it.
    LeaseHolder(const std::string& file, bool lets_go) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return;
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Only calls a signal handler may make: the child of a program with threads.
            sigset_t told;
            sigemptyset(&told);
            sigaddset(&told, SIGIO);
            ::sigprocmask(SIG_BLOCK, &told, nullptr);
            const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
            const char taken = fd >= 0 && ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0 ? 'y' : 'n';
            if (::write(ends[1], &taken, 1) != 1 || taken != 'y') ::_exit(1);
            int signal = 0;
            ::sigwait(&told, &signal);
            if (lets_go) {
                ::usleep(100000);
                ::fcntl(fd, F_SETLEASE, F_UNLCK);
            }
            for (;;) ::pause();
        }
        ::close(ends[1]);
        if (pid > 0) child_.emplace(pid);
        char taken = 'n';
        held_ = pid > 0 && ::read(ends[0], &taken, 1) == 1 && taken == 'y';
        ::close(ends[0]);
    }
    bool held() const { return held_; }
    // The holder ends, and its lease with it.
    void end() {
        if (child_) child_->kill();
    }

private:
    std::optional<KilledChild> child_;
    bool held_ = false;
};

}  // namespace kz::test
