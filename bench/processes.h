// Processes the benchmarks run and measure from outside: the viewer started as a user starts it on a model (this
// program run again as the viewer, ending at the first present of a frame that drew the model: every box in sight
// from the model's eye, so at least 12 triangles a box), timed with its peak memory; and a program run again to
// measure sizes in a process of its own, so that no other case's frames stand in its figures.
#pragma once
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "app/document/load_guard.h"
#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/view/program_entry.h"
#include "platform/file_system.h"
#include "platform/memory_status.h"
#include "platform/window.h"

namespace kz_bench {

// The viewer's exit status when none of the first presents of the read model drew it.
constexpr int kNoModelFrame = 3;
constexpr int kPresentsToModelFrame = 10;
// The exit status of a process whose setting up (`in_child`) failed.
constexpr int kNotSetUp = 125;

// Runs the command and waits for it; wall seconds and the child's peak resident size. Its exit status, -1 when it
// did not run or did not exit. `in_child` (when given) sets the child up before the command starts.
inline int run_process(const std::vector<std::string>& argv, double& seconds, double& peak_mib,
                       const std::function<bool()>& in_child = {}) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(126);
        if (in_child && !in_child()) _exit(kNotSetUp);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return -1;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    peak_mib = usage.ru_maxrss / 1024.0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One process a repetition's iteration, its wall time the iteration's; the boxes and the peak memory as counters.
// `in_child` and `set_up` (what it needs, said when it fails) set each process up before it starts.
inline void measure_processes(benchmark::State& state, const std::vector<std::string>& argv, long long boxes,
                              const std::function<bool()>& in_child = {}, const char* set_up = "") {
    double peak = 0.0;
    for (auto _ : state) {
        double seconds = 0.0;
        const int status = run_process(argv, seconds, peak, in_child);
        if (status != 0) {
            state.SkipWithError((argv[0] + (status == kNoModelFrame ? " presented no frame of the model"
                                            : status == kNotSetUp   ? std::string(" could not be set up: ") + set_up
                                                                    : " failed"))
                                    .c_str());
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["boxes"] = double(boxes);
    state.counters["peak_MiB"] = peak;
}

// The viewer's own start, ended at the first image handed to the view window that drew the model's boxes.
inline int run_viewer(const char* fig, long long boxes) {
    static std::uint64_t model_triangles = 0;
    static int model_presents = 0;
    model_triangles = 12 * static_cast<std::uint64_t>(std::max(boxes, 1LL));
    // Frames shown before the model is in (an empty view, the hover popup) do not count; the first ones after it
    // may still show the empty view's grid, or some of the boxes while the eye moves to the model's.
    kz::platform::set_present_hook_for_testing([] {
        const kz::view::XView* v = kz::view::g_view;
        if (!v || v->trunk_count() <= 1 || v->output.redraws_held || !v->output.bridge) return;
        if (v->output.bridge->modeller->TrianglesDrawnLastFrame() >= model_triangles) _exit(0);
        if (++model_presents == kPresentsToModelFrame) _exit(kNoModelFrame);
    });
    // The largest model is measured whole, past the half of the machine's memory a user's open may take.
    kz::view::set_default_open_memory(kz::platform::physical_memory_bytes());
    const std::string path = kz::platform::from_native_path(std::filesystem::absolute(fig).string());
    kz::view::WinMain(nullptr, nullptr, path.c_str(), 1);
    return kNoModelFrame;  // the loop ended without a frame of the model
}

// A copy of this program named plainly, as the viewer reads a start path out of a program name holding "_".
inline std::string plain_viewer_copy() {
    const std::filesystem::path copy = std::filesystem::temp_directory_path() / "kz-bench-boxes" / "kzview";
    std::filesystem::create_directories(copy.parent_path());
    std::filesystem::copy_file("/proc/self/exe", copy, std::filesystem::copy_options::overwrite_existing);
    return copy.string();
}

// Runs the command and reads the sizes it prints on one line of its standard output, in KiB, into `mib` (MiB);
// false when it printed fewer.
inline bool read_process_sizes(const std::string& command, double* mib, int count) {
    std::FILE* child = popen(command.c_str(), "r");
    char line[256] = {};
    const bool read = child && std::fgets(line, sizeof line, child);
    if (child) pclose(child);
    const char* at = line;
    const char* end = line + std::strlen(line);
    for (int i = 0; i < count; ++i) {
        std::uint64_t kib = 0;
        while (at < end && *at == ' ') ++at;
        const auto [next, error] = std::from_chars(at, end, kib);
        if (!read || error != std::errc()) return false;
        mib[i] = double(kib) / 1024.0;
        at = next;
    }
    return true;
}

}  // namespace kz_bench
