// The sun's shadows at night (8 December, 23:00, at the default site) on the 100k-box model at 1000 x 600: one
// frame seen whole and walking among the items, on the ground and in ten storeys, against the plain frame; the resident
// size after 50 night frames against that after 50 plain frames in one process (this program run again, so that no
// other case's frames stand in its figures); and the viewer started on the model written as a figure file that names
// that night with its shadow switch on, to its first frame, against the same file with the switch off, each a process
// of its own (this program run again as the viewer). Kept apart from the daylight shadow cases, whose volumes and freed
// pages the night's figures would otherwise meet.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "box_models.h"
#include "large_scene.h"
#include "platform/memory_status.h"
#include "processes.h"

namespace {

using namespace kz_bench;

const Sun kDecemberNight = sun_named(kDecember8At23);  // the sun far below the horizon
constexpr int kResidentFrames = 50;

std::string g_self;

std::size_t volume_bytes_held(LargeScene& s) { return s.view->output.bridge->modeller->shadow_volume_bytes(); }

// Arguments of the frame cases: walking (0: the whole model) and storeys.
void BM_PlainFrame(benchmark::State& state) {
    LargeScene& s = large_scene(int(state.range(1)));
    set_shadows(s, false, kDecemberNight);
    navigate_frames(state, s);
}

// The shadow switch on under the night's sun: no volume may be built, and the frames draw as the plain ones do
// with every surface darkened.
void BM_NightFrame(benchmark::State& state) {
    LargeScene& s = large_scene(int(state.range(1)));
    set_shadows(s, true, kDecemberNight);
    s.place_eye(int(state.range(0)), 0.0);
    s.view->Redraw(0);
    navigate_frames(state, s);
    const std::size_t bytes = volume_bytes_held(s);
    set_shadows(s, false, kDecemberNight);
    s.view->Redraw(0);
    if (bytes != 0) state.SkipWithError("the night's frames built shadow volumes");
}

// This program run again with --resident: the resident sizes in KiB after the plain frames and after the night
// frames, on its standard output.
void BM_NightResident(benchmark::State& state) {
    double sizes[2] = {0, 0};
    for (auto _ : state)
        if (!read_process_sizes(g_self + " --resident", sizes, 2)) {
            state.SkipWithError("the measuring process gave no sizes");
            return;
        }
    state.counters["plain_MiB"] = sizes[0];
    state.counters["night_MiB"] = sizes[1];
}

// 50 plain frames, then 50 night frames along the same eye path (seen whole and walking by turns, the eye turning a
// little before each), the resident size read after each run of frames.
int measure_resident() {
    LargeScene& s = large_scene();
    const auto frames = [&] {
        double turn = 0.0;
        for (int i = 0; i < kResidentFrames; ++i) {
            s.place_eye(i % 2, turn += 0.01);
            s.view->Redraw(0);
        }
        return static_cast<unsigned long long>(kz::platform::memory_in_use() / 1024);
    };
    set_shadows(s, false, kDecemberNight);
    const unsigned long long plain = frames();
    set_shadows(s, true, kDecemberNight);
    const unsigned long long night = frames();
    std::printf("%llu %llu\n", plain, night);
    close_large_scene();
    return 0;
}

// The 100k boxes as a figure file that names the night, its shadow switch on or off (written once).
std::string night_model(bool shadows) {
    const std::filesystem::path plain = box_model(kBoxes).fig;
    const std::filesystem::path night =
        plain.parent_path() / (plain.stem().string() + (shadows ? "-night-shadows.fig" : "-night-plain.fig"));
    if (!std::filesystem::exists(night)) {
        std::ofstream out(night, std::ios::binary);
        out << "set,shadow_disp_sw," << (shadows ? 1 : 0) << "\r\nset,shadow_month,12,8,23,0\r\n"
            << std::ifstream(plain, std::ios::binary).rdbuf();
    }
    return night.string();
}

void BM_NightFigureFirstFrame(benchmark::State& state) {
    measure_processes(state, {g_self, "--viewer", night_model(state.range(0) != 0), std::to_string(kBoxes)}, kBoxes);
}

}  // namespace

BENCHMARK(BM_PlainFrame)
    ->ArgNames({"walking", "storeys"})
    ->ArgsProduct({{0, 1}, {1, 10}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_NightFrame)
    ->ArgNames({"walking", "storeys"})
    ->ArgsProduct({{0, 1}, {1, 10}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_NightResident)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NightFigureFirstFrame)
    ->ArgName("shadows")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // The viewer: --viewer FIGURE BOXES.
    if (argc == 4 && std::strcmp(argv[1], "--viewer") == 0) return run_viewer(argv[2], std::atoll(argv[3]));
    if (argc == 2 && std::strcmp(argv[1], "--resident") == 0) return measure_resident();
    g_self = plain_viewer_copy();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    close_large_scene();
    return 0;
}
