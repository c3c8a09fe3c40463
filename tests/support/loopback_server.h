// The tests' loopback HTTP server (tests/data/loopback_server.py, whose paths say what each serves), given a
// folder to serve and a log of the requests, or nothing; it ends with this object.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace kz::test {

class LoopbackServer {
public:
    explicit LoopbackServer(const std::vector<std::string>& arguments = {});
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;
    // 0 when the server did not start.
    int port() const { return port_; }
    // "http://127.0.0.1:PORT" followed by the path.
    std::string url(const std::string& path) const;

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int port_ = 0;
};

}  // namespace kz::test
