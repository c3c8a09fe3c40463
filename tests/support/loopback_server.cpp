#include "tests/support/loopback_server.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tests/support/test_paths.h"

namespace kz::test {

LoopbackServer::LoopbackServer(const std::vector<std::string>& arguments) {
    // Without KZ_TEST_DATA the script is found from this file's own place.
    const std::string script =
        std::getenv("KZ_TEST_DATA")
            ? data_file("loopback_server.py")
            : (std::filesystem::path(__FILE__).parent_path().parent_path() / "data/loopback_server.py").string();
    std::vector<std::string> texts = {"python3", script};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& t : texts) argv.push_back(t.data());
    argv.push_back(nullptr);
    int to_child[2], from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(to_child[0], 0);
        dup2(from_child[1], 1);
        close(to_child[1]);
        close(from_child[0]);
        execv("/usr/bin/python3", argv.data());
        _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    input_ = to_child[1];
    std::FILE* out = fdopen(from_child[0], "r");
    if (out && std::fscanf(out, "%d", &port_) != 1) port_ = 0;
    if (out) std::fclose(out);
}

LoopbackServer::~LoopbackServer() {
    if (input_ >= 0) close(input_);
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string LoopbackServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace kz::test
