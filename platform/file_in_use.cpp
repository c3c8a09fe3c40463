// Waiting out another program's hold on a file: opens refused by a lease and locks held by another save, tried again
// with growing pauses until the wait is over. Nothing here needs /proc.
#include "platform/file_in_use.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>
#include <utility>

#include "platform/crt/c_numbers.h"

namespace kz::platform {
namespace {

std::atomic<std::int64_t> g_wait_ms{-1};
thread_local InUseNotice t_notice = nullptr;

std::chrono::milliseconds in_use_wait() {
    const std::int64_t ms = g_wait_ms;
    return ms < 0 ? kInUseWait : std::chrono::milliseconds(ms);
}

// Calls `attempt` until it gives anything but EWOULDBLOCK or the wait is over; its last answer.
template <typename Attempt>
auto past_holder(Attempt attempt) {
    const auto deadline = std::chrono::steady_clock::now() + in_use_wait();
    auto pause = std::chrono::milliseconds(5);
    const InUseNotice notice = t_notice;
    for (bool waited = false;; waited = true) {
        auto result = attempt();
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            const int error = errno;
            if (waited && notice) notice(false);
            errno = error;
            return result;
        }
        if (!waited && notice) notice(true);
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(pause, deadline - std::chrono::steady_clock::now()));
        pause = std::min(pause * 2, std::chrono::milliseconds(200));
    }
}

}  // namespace

int open_past_lease(int dirfd, const std::string& name, int flags) {
    return past_holder([&] {
        errno = 0;
        const int fd = ::openat(dirfd, name.c_str(), flags | O_NONBLOCK);
        if (fd >= 0) errno = 0;
        return fd;
    });
}

bool lock_past_holder(int fd, int operation) {
    return past_holder([&] {
        errno = 0;
        return ::flock(fd, operation | LOCK_NB) == 0;
    });
}

std::string in_use_reason() {
    const std::int64_t seconds = (in_use_wait().count() + 999) / 1000;
    return "it is in use by another program, which did not let it go within " + kz::crt::int_text(seconds) +
           " s; save again once that program has let it go";
}

InUseNotice set_in_use_notice(InUseNotice notice) { return std::exchange(t_notice, notice); }

void set_in_use_wait_for_tests(std::chrono::milliseconds wait) { g_wait_ms = wait.count() < 0 ? -1 : wait.count(); }

}  // namespace kz::platform
