// Starting a program detached from this one: forked twice, in a session of its own and reparented to init, by its
// path or through /dev/fd/N, with a failed start's errno sent back.
#include "platform/detached_start.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/crt/c_numbers.h"

namespace kz::platform {

int start_detached(int fd, std::string path, std::vector<std::string> words, bool keep_fd_open) {
    if (path.empty()) path = "/dev/fd/" + kz::crt::int_text(fd);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return errno;
    const pid_t middle = ::fork();
    if (middle == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t started = ::fork();
        if (started > 0) ::_exit(0);
        if (started == 0) {
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            struct sigaction plain = {};
            plain.sa_handler = SIG_DFL;
            ::sigaction(SIGPIPE, &plain, nullptr);
            if (!keep_fd_open || ::fcntl(fd, F_SETFD, 0) == 0) ::execv(path.c_str(), argv.data());
        }
        const int error = errno;
        [[maybe_unused]] const ssize_t sent = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    const int fork_error = errno;
    ::close(report[1]);
    if (middle < 0) {
        ::close(report[0]);
        return fork_error;
    }
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {}
    int error = 0;
    ssize_t n = 0;
    while ((n = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {}
    ::close(report[0]);
    if (n == 0) return 0;  // closed unwritten: the exec went through
    return n == static_cast<ssize_t>(sizeof error) ? error : EIO;
}

}  // namespace kz::platform
