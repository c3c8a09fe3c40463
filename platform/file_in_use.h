// A file another program holds for a while: a lease on it (a file server's oplock or delegation, F_SETLEASE), which
// makes an open that must not wait fail at once, or a lock a save holds while it rewrites. Both are waited out,
// briefly.
#pragma once
#include <chrono>
#include <string>

namespace kz::platform {

// The longest a save waits for another program to let a file go before it leaves that file alone.
inline constexpr std::chrono::milliseconds kInUseWait{5000};

// openat(dirfd, name, flags) that never waits in the kernel (O_NONBLOCK is added: a FIFO, or a lease whose holder never
// answers, would hold the caller for good) and is tried again while another program's lease holds the file, until it
// opens or kInUseWait has passed: -1 then with errno EWOULDBLOCK, as for any other failure with the system's errno.
// Each refused open tells the holder to let the file go, as any opener's does.
int open_past_lease(int dirfd, const std::string& name, int flags);
// flock(fd, operation) tried until it is taken or kInUseWait has passed; false with errno EWOULDBLOCK then.
bool lock_past_holder(int fd, int operation);
// What a line says of a file still held after the wait.
std::string in_use_reason();

// Told `true` when another program's hold first makes a wait above begin, and `false` when that wait ends, so that the
// user sees the program is busy (the viewer shows its busy cursor). Only the waits of the thread that set it tell it;
// null: none. Gives the one it replaces.
using InUseNotice = void (*)(bool waiting);
InUseNotice set_in_use_notice(InUseNotice notice);

// Test hook: the wait above, shorter or longer; a negative one restores kInUseWait.
void set_in_use_wait_for_tests(std::chrono::milliseconds wait);

}  // namespace kz::platform
