// The whole open, as a user starts the viewer on a model: process start to the first frame handed to the window,
// and the process's peak memory, for generated models of 1k, 10k and 100k boxes; the peer is F3D opening the same
// boxes as an OBJ (8 corners a box) and rendering one image of 1000 x 600 (it needs an X display: the program
// runs itself under xvfb-run when there is none). Our side is this program run again as the viewer, which ends at
// the first present of a frame that drew the model: every box is in sight from the model's eye, so that frame draws
// at least 12 triangles a box. A viewer that presents ten frames of the read model without one fails (exit 3).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "box_models.h"
#include "processes.h"

namespace {

using namespace kz_bench;

std::string g_self;

void BM_KzviewFirstFrame(benchmark::State& state) {
    measure_processes(state, {g_self, "--viewer", box_model(int(state.range(0))).fig, std::to_string(state.range(0))},
                      state.range(0));
}

void BM_F3dOneImage(benchmark::State& state) {
    const std::string out = (std::filesystem::temp_directory_path() / "kz-bench-boxes" / "f3d.png").string();
    measure_processes(state, {"f3d", "--resolution=1000,600", "--output=" + out, box_model(int(state.range(0))).obj},
                      state.range(0));
}

}  // namespace

BENCHMARK(BM_KzviewFirstFrame)->Arg(1000)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_F3dOneImage)->Arg(1000)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // The viewer: --viewer FIGURE BOXES.
    if (argc == 4 && std::strcmp(argv[1], "--viewer") == 0) return run_viewer(argv[2], std::atoll(argv[3]));
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
    g_self = plain_viewer_copy();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
