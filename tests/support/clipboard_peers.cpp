// The two-process clipboard runs under xvfb-run (see clipboard_peers.h).
#include "tests/support/clipboard_peers.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/support/test_paths.h"

namespace kz::test {

bool xvfb_available() { return std::system("command -v xvfb-run >/dev/null 2>&1") == 0; }

std::optional<std::string> run_clipboard_peers(const std::string& name, const std::string& filter) {
    const std::string d = output_file(name + "_" + std::to_string(getpid()));
    std::string cmd = "rm -rf '" + d + "' && mkdir -p '" + d + "'";
    if (std::system(cmd.c_str()) != 0) return std::nullopt;
    const std::string self = self_path();
    const std::string env = "QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 KZ_CLIP_DIR='" + d + "' ";
    const std::string run = self + " --gtest_filter=" + filter + " >/dev/null 2>&1";
    cmd = "xvfb-run -a sh -c \"" + env + "KZ_CLIP_ROLE=writer " + run + " & " + "i=0; while [ ! -f '" + d +
          "/ready' ] && [ \\$i -lt 300 ]; do sleep 0.1; i=\\$((i+1)); done; " + env + "KZ_CLIP_ROLE=reader " + run +
          "; wait\" >/dev/null 2>&1";
    std::system(cmd.c_str());
    std::ifstream in(d + "/result", std::ios::binary);
    if (!in) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

bool wait_for_file(const std::string& path, int seconds, const std::function<void()>& serve) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (access(path.c_str(), F_OK) == 0) return true;
        serve();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace kz::test
