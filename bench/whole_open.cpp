// The whole open, as a user starts the viewer on a model: process start to the first frame handed to the window,
// and the process's peak memory, for generated models of 1k, 10k and 100k boxes; the peer is F3D opening the same
// boxes as an OBJ (8 corners a box) and rendering one image of 1000 x 600 (it needs an X display: the program
// runs itself under xvfb-run when there is none). Our side is this program run again as the viewer, which ends at
// the first present of a frame that drew the model: every box is in sight from the model's eye, so that frame draws
// at least 12 triangles a box. A viewer that presents ten frames of the read model without one fails (exit 3).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/view/program_entry.h"
#include "box_models.h"
#include "platform/file_system.h"
#include "platform/memory_status.h"
#include "platform/window.h"

namespace {

std::string g_self;
// The viewer's exit status when none of the first presents of the read model drew it.
constexpr int kNoModelFrame = 3;
constexpr int kPresentsToModelFrame = 10;
std::uint64_t g_model_triangles = 0;
int g_model_presents = 0;

// Runs the command and waits for it; wall seconds and the child's peak resident size. Its exit status, -1 when it
// did not run or did not exit.
int run(const std::vector<std::string>& argv, double& seconds, double& peak_mib) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(126);
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

void measure(benchmark::State& state, const std::vector<std::string>& argv) {
    double peak = 0.0;
    for (auto _ : state) {
        double seconds = 0.0;
        const int status = run(argv, seconds, peak);
        if (status != 0) {
            state.SkipWithError(
                (argv[0] + (status == kNoModelFrame ? " presented no frame of the model" : " failed")).c_str());
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["boxes"] = double(state.range(0));
    state.counters["peak_MiB"] = peak;
}

void BM_KzviewFirstFrame(benchmark::State& state) {
    measure(state, {g_self, "--viewer", kz_bench::box_model(int(state.range(0))).fig, std::to_string(state.range(0))});
}

void BM_F3dOneImage(benchmark::State& state) {
    const std::string out = (std::filesystem::temp_directory_path() / "kz-bench-boxes" / "f3d.png").string();
    measure(state, {"f3d", "--resolution=1000,600", "--output=" + out, kz_bench::box_model(int(state.range(0))).obj});
}

// The viewer's own start, ended at the first image handed to the view window that drew the model's boxes.
int viewer(const char* fig, long long boxes) {
    g_model_triangles = 12 * static_cast<std::uint64_t>(std::max(boxes, 1LL));
    // Frames shown before the model is in (an empty view, the hover popup) do not count; the first ones after it
    // may still show the empty view's grid, or some of the boxes while the eye moves to the model's.
    kz::platform::set_present_hook_for_testing([] {
        const kz::view::XView* v = kz::view::g_view;
        if (!v || v->trunk_count() <= 1 || v->output.redraws_held || !v->output.bridge) return;
        if (v->output.bridge->modeller->TrianglesDrawnLastFrame() >= g_model_triangles) _exit(0);
        if (++g_model_presents == kPresentsToModelFrame) _exit(kNoModelFrame);
    });
    // The largest model is measured whole, past the half of the machine's memory a user's open may take.
    kz::view::set_default_open_memory(kz::platform::physical_memory_bytes());
    const std::string path = kz::platform::from_native_path(std::filesystem::absolute(fig).string());
    kz::view::WinMain(nullptr, nullptr, path.c_str(), 1);
    return kNoModelFrame;  // the loop ended without a frame of the model
}

}  // namespace

BENCHMARK(BM_KzviewFirstFrame)->Arg(1000)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_F3dOneImage)->Arg(1000)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // The viewer: --viewer FIGURE BOXES.
    if (argc == 4 && std::strcmp(argv[1], "--viewer") == 0) return viewer(argv[2], std::atoll(argv[3]));
    if (!std::getenv("DISPLAY") && !std::getenv("KZ_BENCH_UNDER_XVFB")) {
        // F3D draws through an X display: run again under a virtual one.
        setenv("KZ_BENCH_UNDER_XVFB", "1", 1);
        std::vector<char*> args = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"), const_cast<char*>("-s"),
                                   const_cast<char*>("-screen 0 1920x1080x24")};
        for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
        args.push_back(nullptr);
        execvp(args[0], args.data());
        std::perror("xvfb-run");
        return 1;
    }
    // The viewer reads a start path out of a program name holding "_": it runs as a copy named plainly.
    const std::filesystem::path viewer_copy = std::filesystem::temp_directory_path() / "kz-bench-boxes" / "kzview";
    std::filesystem::create_directories(viewer_copy.parent_path());
    std::filesystem::copy_file("/proc/self/exe", viewer_copy, std::filesystem::copy_options::overwrite_existing);
    g_self = viewer_copy.string();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
