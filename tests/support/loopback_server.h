// A loopback HTTP server of the tests: a Python script, started with its arguments, that prints the port it
// listens on as its first line and serves until its standard input closes (the server's end).
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace kz::test {

class LoopbackServer {
public:
    LoopbackServer(const std::string& script, const std::vector<std::string>& arguments);
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
