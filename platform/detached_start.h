// Starting a program detached from this one: forked twice, in a session of its own and reparented to init, by its
// path or through /dev/fd/N, with a failed start's errno sent back.
#pragma once
#include <string>
#include <vector>

namespace kz::platform {

// Starts the program detached (its own session, reparented to init once the middle process ends) with `argv`: by
// `path`, or when that is empty through `fd`, as the kernel's name for it, /dev/fd/N, which reaches the open file
// itself whatever its name reaches now. A script started that way reads itself as /dev/fd/N, so for a script the
// descriptor stays open across the exec, in the started program only. The environment goes over as it is. Returns
// 0, or the errno of the failed start, which the started side sends back through a pipe that its exec closes. After
// the fork only calls that are safe in the child of a threaded program run: everything is prepared before it.
int start_detached(int fd, std::string path, std::vector<std::string> words, bool keep_fd_open);

}  // namespace kz::platform
