// A file descriptor owned by one object and closed with it, and the names the kernel gives the file it holds; the
// platform's files that work on descriptors (the trust checks and removals, the judgement of a program) share them.
#pragma once
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <utility>

namespace kz::platform {

class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// The kernel's link to the file open at `fd`, "/proc/self/fd/N": it reaches that file (for a read, a listing, its
// access list) whatever any of its names reaches now.
std::string proc_fd_path(int fd);
// What the file open at `fd` is called now, as that link reads: the path it was opened by as it stands now; empty,
// with errno saying why, when it cannot be read.
std::string name_now(int fd);
// What failed of a look through proc_fd_path, with the reason in brackets: that /proc is not mounted (a container
// or chroot without it, where every such look fails, and every check that needs one refuses), else the system's.
std::string with_descriptor_error(std::string_view what, int error = errno);

}  // namespace kz::platform
