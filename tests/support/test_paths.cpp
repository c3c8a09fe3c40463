#include "tests/support/test_paths.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace kz::test {
namespace {
std::string env_or(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return (v && *v) ? std::string(v) : fallback;
}
}  // namespace

std::string data_dir() { return env_or("KZ_TEST_DATA", "tests/data"); }

std::string output_dir() {
    std::string dir = env_or("KZ_TEST_OUTPUT", (std::filesystem::temp_directory_path() / "kz-test-output").string());
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir;
}

std::string data_file(const std::string& name) { return data_dir() + "/" + name; }
std::string output_file(const std::string& name) { return output_dir() + "/" + name; }

std::string command_output(const std::string& command, int* status) {
    std::string out;
    int ended = -1;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        ended = pclose(p);
    }
    if (status) *status = ended;
    return out;
}

std::string self_path() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).string();
}

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string read_written_line(const std::string& path) {
    std::string text = read_all(path);
    for (int i = 0; i < 1000 && (text.empty() || text.back() != '\n'); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        text = read_all(path);
    }
    return text;
}

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}
}  // namespace kz::test
