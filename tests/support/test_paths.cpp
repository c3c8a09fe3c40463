#include "tests/support/test_paths.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
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

constexpr char kRunPrefix[] = "run-";
constexpr char kLockSuffix[] = ".lock";

// A run's lock is held from the moment its file is made (a moment before it is locked, which the age spares).
void sweep_dead_runs(const fs::path& base) {
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(base, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(kRunPrefix, 0) != 0 || !name.ends_with(kLockSuffix)) continue;
        std::error_code age_error;
        const auto age = fs::file_time_type::clock::now() - fs::last_write_time(e.path(), age_error);
        if (age_error || age < std::chrono::minutes(1)) continue;
        const int fd = ::open(e.path().c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            std::error_code gone;
            fs::remove_all(base / name.substr(0, name.size() - std::strlen(kLockSuffix)), gone);
            ::unlink(e.path().c_str());
        }
        ::close(fd);
    }
}

// A new folder of this process's own below the base, locked for as long as the process lives; the base itself when
// none can be made.
std::string new_run_folder(const fs::path& base) {
    sweep_dead_runs(base);
    std::string lock = (base / (std::string(kRunPrefix) + "XXXXXX" + kLockSuffix)).string();
    const int fd = ::mkstemps(lock.data(), static_cast<int>(std::strlen(kLockSuffix)));
    if (fd < 0) return base.string();
    ::flock(fd, LOCK_EX);  // never closed: the lock ends with the process, however it ends
    const std::string folder = lock.substr(0, lock.size() - std::strlen(kLockSuffix));
    if (::mkdir(folder.c_str(), 0755) != 0) return base.string();
    return folder;
}

}  // namespace

std::string output_dir() {
    static std::mutex guard;
    static std::map<std::string, std::string> runs;  // base folder -> this process's folder in it
    const fs::path base =
        fs::path(env_or("KZ_TEST_OUTPUT", (fs::temp_directory_path() / "kz-test-output").string())).lexically_normal();
    const std::lock_guard<std::mutex> lock(guard);
    std::string& run = runs[base.string()];
    if (!run.empty()) return run;
    std::error_code ec;
    fs::create_directories(base, ec);
    // A child started with its parent's base writes where its parent does, so that each finds what the other wrote.
    const char* inherited = std::getenv("KZ_TEST_RUN_OUTPUT");
    if (inherited && *inherited && fs::path(inherited).lexically_normal().parent_path() == base &&
        fs::is_directory(inherited, ec))
        run = inherited;
    else
        run = new_run_folder(base);
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
