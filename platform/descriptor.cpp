// The names the kernel gives an open file, read back through /proc.
#include "platform/descriptor.h"

#include <climits>

#include "platform/crt/c_numbers.h"
#include "platform/report.h"

namespace kz::platform {

std::string proc_fd_path(int fd) { return "/proc/self/fd/" + kz::crt::int_text(fd); }

std::string name_now(int fd) {
    char name[PATH_MAX];
    const ssize_t n = ::readlink(proc_fd_path(fd).c_str(), name, sizeof name);
    if (n >= static_cast<ssize_t>(sizeof name)) errno = ENAMETOOLONG;
    return n > 0 && n < static_cast<ssize_t>(sizeof name) ? std::string(name, static_cast<std::size_t>(n)) : "";
}

std::string with_descriptor_error(std::string_view what, int error) {
    if (::access("/proc/self/fd", X_OK) != 0)
        return std::string(what) + " (/proc is not mounted, and the checks read through it)";
    return with_error(what, error);
}

}  // namespace kz::platform
