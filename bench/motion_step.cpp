// One tick of timed part motions without drawing: 1,000 parts (100 items of 10 boxes) moving and turning at
// once on a hand-driven clock, each tick easing two placement columns per part and re-placing the items; against
// a bare loop that eases the same values and builds the same placement matrices in plain arrays.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/document/xview.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "bench_view.h"
#include "platform/window.h"

namespace {

namespace plat = kz::platform;
using kz::view::XView;

constexpr int kItems = 100, kPartsPerItem = 10, kTickMs = 33;

struct MovingScene {
    plat::WindowHandle parent = nullptr;
    kz::view::ManualViewClock clock;
    std::unique_ptr<XView> view;
    kz::view::SystemTime now{};

    MovingScene() {
        parent = make_bench_parent(640, 480);
        view = std::make_unique<XView>(parent, nullptr);
        view->SetClock(&clock);
        view->LayoutWindows(640, 480);
        char line[160];
        for (int i = 0; i < kItems; ++i) {
            view->document.current_trunk_index = 0;
            const int index = view->CreateTrunk(nullptr, nullptr, nullptr, nullptr, nullptr);
            kz::scene::XTrunk* t = view->document.trunks[index];
            for (int p = 0; p < kPartsPerItem; ++p) {
                kz::scene::XLeaves* shape = t->parts[t->AddLeaves()];
                std::snprintf(line, sizeof line, "box,w=40,d=40,h=40,dx=%d,dy=%d", p * 50, i * 50);
                shape->record->ReadFigureLine(line);
                shape->Build(nullptr);
            }
            t->RecalcMatrices(1);
        }
        view->GetClockTime(&now);
        // Every part slides along x and turns about z for far longer than the benchmark runs.
        for (int i = 1; i <= kItems; ++i) {
            kz::scene::XTrunk* t = view->document.trunks[i];
            view->AddAction("*;dx;now;add1000;0;100000;1", t->parts[1], now);
            view->AddAction("*;rz;now;add360;0;100000;0", t->parts[1], now);
        }
        view->AnimateItems(now);  // the motions start
    }
    ~MovingScene() {
        view.reset();
        plat::destroy_window(parent);
    }
};

void BM_MotionStep(benchmark::State& state) {
    MovingScene scene;
    int running = 0;
    for (auto _ : state) {
        scene.clock.advance(kTickMs);
        scene.view->GetClockTime(&scene.now);
        running = scene.view->AnimateItems(scene.now);
        benchmark::DoNotOptimize(running);
    }
    state.counters["running_parts"] = running;
}
BENCHMARK(BM_MotionStep)->Unit(benchmark::kMillisecond);

// The peer: the same easing and the same translate-and-turn matrices for 1,000 parts in plain arrays.
void BM_BareMotionStep(benchmark::State& state) {
    constexpr int kParts = kItems * kPartsPerItem;
    std::vector<double> matrices(static_cast<std::size_t>(kParts) * 16);
    double elapsed = 0.0;
    for (auto _ : state) {
        elapsed += kTickMs;
        const double t = elapsed / 1.0e8;
        for (int p = 0; p < kParts; ++p) {
            const double dx = (p % kPartsPerItem) * 50 + 1000.0 * t;
            const double rz = 360.0 * (1.0 - (1.0 - t) * (1.0 - t)) * M_PI / 180.0;
            double* m = &matrices[static_cast<std::size_t>(p) * 16];
            const double c = std::cos(rz), s = std::sin(rz);
            const double rows[16] = {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, dx, (p / kPartsPerItem) * 50.0, 0, 1};
            for (int k = 0; k < 16; ++k) m[k] = rows[k];
        }
        benchmark::DoNotOptimize(matrices.data());
    }
}
BENCHMARK(BM_BareMotionStep)->Unit(benchmark::kMillisecond);

}  // namespace
