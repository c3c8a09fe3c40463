#include "tests/support/test_paths.h"

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

namespace kz::test {
namespace {
std::string env_or(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return (v && *v) ? std::string(v) : fallback;
}
}  // namespace

std::string data_dir() { return env_or("KZ_TEST_DATA", "tests/data"); }

namespace {

namespace fs = std::filesystem;

// A folder of this process's own, made by mkdtemp so that no two processes, runs or accounts share a
// name. Below the build's output folder when the run names one (scripts/test.sh clears the old ones before a run);
// straight in the temporary folder otherwise, never below a shared folder another account may have made first.
std::string new_run_folder(const fs::path& base, const char* prefix) {
    std::string folder = (base / (std::string(prefix) + "XXXXXX")).string();
    if (!::mkdtemp(folder.data())) {
        std::fprintf(stderr, "%s: no folder for the test's outputs: %s\n", folder.c_str(), std::strerror(errno));
        std::abort();
    }
    // Rows that act as another account reach into it; none but this one may write in it.
    ::chmod(folder.c_str(), 0755);
    return folder;
}

// A folder a parent process handed down is taken only where it is a folder of this account's that no other may
// write, as mkdtemp made it.
bool own_folder(const char* path) {
    struct stat st {};
    return ::lstat(path, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 022) == 0;
}

}  // namespace

std::string output_dir() {
    static std::mutex guard;
    static std::string run;
    const std::lock_guard<std::mutex> lock(guard);
    if (!run.empty()) return run;
    // A child started by a test with its parent's base writes where its parent does, so that each finds what the
    // other wrote; a child given a base of its own gets a folder of its own there.
    const char* base = std::getenv("KZ_TEST_OUTPUT");
    const fs::path parent = base && *base ? fs::path(base).lexically_normal() : fs::temp_directory_path();
    const char* inherited = std::getenv("KZ_TEST_RUN_OUTPUT");
    if (inherited && *inherited && fs::path(inherited).lexically_normal().parent_path() == parent &&
        own_folder(inherited)) {
        run = inherited;
    } else if (base && *base) {
        std::error_code ec;
        fs::create_directories(parent, ec);
        run = new_run_folder(parent, "run-");
    } else {
        run = new_run_folder(parent, "kz-test-");
    }
    ::setenv("KZ_TEST_RUN_OUTPUT", run.c_str(), 1);
    return run;
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
