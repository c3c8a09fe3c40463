// Hover-pick latency at 1000 x 600 on the sample room filled with 50 balls of 64 segments (about 200,000
// triangles): XView::PickItem and the hover cursor's XView::PartAtPoint, against the modeller's bare one-entry
// HitTest and the bridge's PickShapeAt alone, over the same ring of window points.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "bench_view.h"
#include "pick_roads.h"
#include "platform/message_loop.h"
#include "platform/window.h"

namespace {

namespace plat = kz::platform;
using kz::view::XView;

constexpr int kWidth = 1000, kHeight = 600;

std::string sample_path() {
    std::string source = __FILE__;
    source = source.substr(0, source.rfind("/bench/"));
    std::string path = "Z:" + source + "/examples/sample-room/room.fig";
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

struct PickScene {
    plat::WindowHandle parent = nullptr;
    std::unique_ptr<XView> view;
    std::vector<std::int64_t> points;
    int triangles = 0;

    PickScene() {
        parent = make_bench_parent(kWidth, kHeight);
        view = std::make_unique<XView>(parent, nullptr);
        view->LayoutWindows(kWidth, kHeight);
        view->camera.immediate_eye_move = 1;
        if (view->OpenModel(sample_path().c_str()) != 1) std::fprintf(stderr, "sample model missing\n");
        char line[160];
        for (int i = 0; i < 50; ++i) {
            view->document.current_trunk_index = 0;
            const int index = view->CreateTrunk(nullptr, nullptr, nullptr, nullptr, nullptr);
            kz::scene::XTrunk* t = view->document.trunks[index];
            kz::scene::XLeaves* shape = t->parts[t->AddLeaves()];
            std::snprintf(line, sizeof line, "ball,%d,%d,1500,,,,,,,,,,300,300,300,,,64,,,1,220,40,40",
                          400 + (i % 10) * 350, 400 + (i / 10) * 500);
            shape->record->ReadFigureLine(line);
            shape->Build(nullptr);
            t->RecalcMatrices(1);
        }
        const double eye[3] = {4800, -2200, 2600}, target[3] = {2000, 1500, 900};
        for (int k = 0; k < 3; ++k) view->camera.eye->eye[k] = eye[k], view->camera.eye->target[k] = target[k];
        view->camera.scene_radius = 0.0;
        view->Redraw(0);
        view->CountScene();
        triangles = view->display.scene_stats[3][1];
        // A hover path across the middle of the window: balls, table, walls, floor and sky.
        for (int i = 0; i < 64; ++i)
            points.push_back(kz::view::pack_view_point(100 + (i * 131) % 800, 60 + (i * 77) % 480));
    }
    ~PickScene() {
        view.reset();
        plat::destroy_window(parent);
    }
};

PickScene& scene() {
    static PickScene s;
    return s;
}

// One iteration hovers over the whole ring, so every road sees the same points; per_pick is one pick's time.
template <typename Pick>
void run(benchmark::State& state, Pick pick) {
    PickScene& s = scene();
    std::size_t found = 0;
    for (auto _ : state)
        for (std::int64_t p : s.points) found += pick(s, p) ? 1 : 0;
    benchmark::DoNotOptimize(found);
    const double picks = double(state.iterations()) * double(s.points.size());
    state.counters["triangles"] = s.triangles;
    state.counters["hit_share"] = double(found) / picks;
    state.counters["per_pick"] = benchmark::Counter(picks, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PickItem(benchmark::State& state) {
    run(state, [](PickScene& s, std::int64_t p) { return pick_item_at(*s.view, p); });
}

void BM_PartAtPoint(benchmark::State& state) {
    run(state, [](PickScene& s, std::int64_t p) { return part_at(*s.view, p); });
}

void BM_PickShapeAt(benchmark::State& state) {
    run(state, [](PickScene& s, std::int64_t p) {
        double hit[3];
        return s.view->output.bridge->PickShapeAt(static_cast<std::uint64_t>(p), hit) != nullptr;
    });
}

void BM_BareHitTest(benchmark::State& state) {
    run(state, [](PickScene& s, std::int64_t p) { return bare_hit_test(*s.view, p); });
}

}  // namespace

BENCHMARK(BM_PickItem)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PartAtPoint)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PickShapeAt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareHitTest)->Unit(benchmark::kMillisecond)->UseRealTime();
