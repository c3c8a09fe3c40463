// Others as the platform tests stand them in: another program's socket at a path, listening or left behind by a
// program that died, and another user the program takes the user for.
#pragma once
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/descriptor.h"
#include "platform/file_system.h"
#include "platform/folder_rule.h"

namespace kz::test {

// A listening socket of another program (one of this test's own, not a channel), at a path.
class OtherProgram {
public:
    explicit OtherProgram(const std::string& path, bool alive = true) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        // A socket's address holds 107 bytes: a longer path (a test folder deep below a long one) is bound through
        // its folder's descriptor, never cut short.
        std::string bound = path;
        kz::platform::Descriptor folder;
        if (bound.size() >= sizeof address.sun_path) {
            const std::size_t slash = path.rfind('/');
            folder = kz::platform::Descriptor(::open(path.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (!folder) {
                ADD_FAILURE() << path << ": " << std::strerror(errno);
                return;
            }
            bound = kz::platform::proc_fd_path(folder.get()) + path.substr(slash);
        }
        if (bound.size() >= sizeof address.sun_path) {
            ADD_FAILURE() << path << ": no socket can be bound there";
            return;
        }
        std::memcpy(address.sun_path, bound.c_str(), bound.size() + 1);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
        if (alive) {
            EXPECT_EQ(::listen(fd_, 4), 0);
        } else {
            ::close(fd_);  // the program died: its socket file stays, nobody listens
            fd_ = -1;
        }
    }
    ~OtherProgram() {
        if (fd_ >= 0) ::close(fd_);
    }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;
    // Whether a client connected to it since the last look.
    bool was_reached() {
        bool reached = false;
        for (int c; fd_ >= 0 && (c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
            ::close(c);
            reached = true;
        }
        return reached;
    }

private:
    int fd_ = -1;
};

// The program takes the user for another uid while this lives.
struct PretendUser {
    explicit PretendUser(std::int64_t uid) { platform::set_user_id_for_tests(uid); }
    ~PretendUser() { platform::set_user_id_for_tests(-1); }
};

}  // namespace kz::test
