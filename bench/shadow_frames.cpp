// The sun's shadows at their default accuracy: opening a model of 2,048 curved shapes (256 turned items of a pipe,
// a bent pipe, a ball, a cone, a frustum, an L extrusion and two pasted boxes) to its first frame with shadows,
// against the same without; and the resident size of the 100k-box model at 1000 x 600 with shadows, against the
// same without, and after shadows went off again, against before they came on. Each resident size is read in a
// process of its own (this program run again), so that no other case's frames stand in its figures.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "bench_view.h"
#include "box_models.h"
#include "curved_models.h"
#include "platform/file_system.h"
#include "platform/memory_status.h"
#include "platform/window.h"

namespace {

namespace plat = kz::platform;
using kz::view::XView;

constexpr int kWidth = 1000, kHeight = 600;

// A view of the model in a window of its own, opened and not yet drawn.
struct OpenView {
    plat::WindowHandle parent = nullptr;
    std::unique_ptr<XView> view;

    OpenView(const std::string& fig, bool shadows) {
        parent = make_bench_parent(kWidth, kHeight);
        view = std::make_unique<XView>(parent, nullptr);
        view->LayoutWindows(kWidth, kHeight);
        view->camera.immediate_eye_move = 1;
        set_shadows(shadows);
        if (view->OpenModel(plat::from_native_path(fig).c_str()) != 1) std::fprintf(stderr, "model missing\n");
        set_shadows(shadows);
    }
    ~OpenView() {
        view.reset();
        plat::destroy_window(parent);
    }
    // The sun's shadows on or off; the sun of a midsummer morning.
    void set_shadows(bool on) {
        view->SetShadowDate(171);
        view->SetShadowTime(10.0);
        view->SetShadowDisplay(on ? 1 : 0);
    }
    std::uint64_t triangles() const { return view->output.bridge->modeller->TrianglesDrawnLastFrame(); }
};

void BM_CurvedFirstFrame(benchmark::State& state) {
    const std::string fig = kz_bench::curved_model();
    const bool shadows = state.range(0) != 0;
    std::uint64_t triangles = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        OpenView open(fig, shadows);
        open.view->Redraw(0);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        triangles = open.triangles();
    }
    if (triangles == 0) state.SkipWithError("the first frame drew nothing");
    state.counters["triangles"] = double(triangles);
}

std::string g_self;

// This program run again with --resident: three resident sizes in KiB on its standard output.
void BM_ShadowResident(benchmark::State& state) {
    double sizes[3] = {0, 0, 0};
    for (auto _ : state) {
        const std::string command = g_self + " --resident";
        std::FILE* child = popen(command.c_str(), "r");
        char line[256] = {};
        const bool read = child && std::fgets(line, sizeof line, child);
        if (child) pclose(child);
        const char* at = line;
        const char* end = line + std::strlen(line);
        for (double& size : sizes) {
            std::uint64_t kib = 0;
            while (at < end && *at == ' ') ++at;
            const auto [next, error] = std::from_chars(at, end, kib);
            if (!read || error != std::errc()) {
                state.SkipWithError("the measuring process gave no sizes");
                return;
            }
            size = double(kib) / 1024.0;
            at = next;
        }
    }
    state.counters["plain_MiB"] = sizes[0];
    state.counters["shadows_MiB"] = sizes[1];
    state.counters["after_MiB"] = sizes[2];
    // The goal of the size after shadows: within 5 % and 20 MiB of the size before them.
    state.counters["after_goal_MiB"] = sizes[0] * 1.05 + 20;
}

std::uint64_t resident_kib() { return plat::memory_in_use() / 1024; }

// Plain frames, frames with shadows, and plain frames again, the eye turning a little before each.
int measure_resident() {
    OpenView open(kz_bench::box_model(100000).fig, false);
    double* eye = open.view->camera.eye->eye;
    const auto frames = [&] {
        for (int i = 0; i < 3; ++i) {
            eye[0] += 10.0;
            open.view->Redraw(0);
        }
        return static_cast<unsigned long long>(resident_kib());
    };
    const unsigned long long plain = frames();
    open.set_shadows(true);
    const unsigned long long shadows = frames();
    open.set_shadows(false);
    const unsigned long long after = frames();
    std::printf("%llu %llu %llu\n", plain, shadows, after);
    return 0;
}

}  // namespace

BENCHMARK(BM_CurvedFirstFrame)->ArgName("shadows")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShadowResident)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--resident") == 0) return measure_resident();
    g_self = "/proc/" + std::to_string(getpid()) + "/exe";
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
