// A child process that lives as long as its holder: killed (SIGKILL, nothing for it to clean up) and reaped when the
// holder ends, or earlier by kill().
#pragma once
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kz::test {

class KilledChild {
public:
    KilledChild() = default;
    explicit KilledChild(pid_t pid) : pid_(pid) {}
    ~KilledChild() { kill(); }
    KilledChild(const KilledChild&) = delete;
    KilledChild& operator=(const KilledChild&) = delete;
    pid_t pid() const { return pid_; }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

}  // namespace kz::test
