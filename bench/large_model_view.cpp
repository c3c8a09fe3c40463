// Frame time and picks on the generated model of 100k boxes (10k items, 1.2M triangles) at 1000 x 600: one frame
// while navigating (the eye turning a little about the target before each redraw), seeing the whole model and
// walking among the items, against the bare draw loop over the same entities seen from the same eyes, passing over
// those out of sight as the frame does, and against a bare loop over one static batch an item; the hover pick
// (XView::PartAtPoint) and the click pick (XView::PickItem) over a ring of window points, against the modeller's bare
// one-entry HitTest, each through the pick index and over every shape; the heap and the resident size after the plan
// outline (E) was shown and left again, against those just before; and the frame with the section plane laid by D,
// against the plain frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "bare_draw.h"
#include "bench_view.h"
#include "box_models.h"
#include "large_scene.h"
#include "pick_roads.h"
#include "platform/file_system.h"
#include "platform/gl_context.h"
#include "platform/memory_status.h"
#include "platform/window.h"

namespace {

namespace plat = kz::platform;
using kz::view::XView;

using kz_bench::kBoxes;
using kz_bench::LargeScene;
using kz_bench::run_bare_frames;

// The heap in use in MiB.
double heap_mib() { return static_cast<double>(kz_bench::heap_in_use_bytes()) / (1 << 20); }

// The pages the process holds in MiB, whatever of them the heap counts as free.
double resident_mib() { return static_cast<double>(plat::memory_in_use()) / (1 << 20); }

LargeScene& scene() { return kz_bench::large_scene(); }

void BM_NavigateFrame(benchmark::State& state) {
    LargeScene& s = scene();
    kz_bench::set_shadows(s, false);
    kz_bench::navigate_frames(state, s);
}

// The section as D lays it over a part of the middle item and D again stands it upright through the item: half the
// model is cut away, the items in line with the middle one are crossed. Or, with every_item, the first plane turned
// over by Shift+D: the part's floor plane raised by a millimetre, which crosses every box of every item. The walking
// eye, which stands by the middle item, looks into the half the plane keeps; its frame must draw at least half the
// triangles of the plain frame from the same eye, or the row times a view of what was cut away.
void BM_SectionFrame(benchmark::State& state) {
    LargeScene& s = scene();
    const int walking = int(state.range(0));
    const int side = static_cast<int>(std::ceil(std::sqrt(kBoxes / double(kz_bench::kBoxesPerItem))));
    if (!s.view->SetSectionAtPart(1 + side / 2 * side + side / 2, 3)) state.SkipWithError("no middle item");
    kz::view::DisplaySwitches& d = s.view->display;
    d.section_switch = 1;
    if (state.range(1))
        d.section_side = 1;
    else
        s.view->OnKeyDown('D');
    CO3duGLModelar& modeller = *s.view->output.bridge->modeller;
    s.view->Redraw(0);
    int on = 0;
    OfuPlane plane;
    OfuColorValue cap;
    modeller.GetCliping(on, plane, cap);
    // The plane keeps what lies on the side its normal points to.
    const double kept = walking && std::hypot(plane.a, plane.b) > 0.5 ? std::atan2(plane.b, plane.a) : 0.0;
    d.section_switch = 0;
    s.place_eye(walking, kept);
    s.view->Redraw(0);
    const std::uint64_t plain = modeller.TrianglesDrawnLastFrame();
    d.section_switch = 1;
    double turn = kept;
    for (auto _ : state) {
        s.place_eye(walking, turn += 0.01);
        s.view->Redraw(0);
    }
    const std::uint64_t drawn = modeller.TrianglesDrawnLastFrame();
    d.section_switch = 0;
    d.section_side = 0;
    s.view->Redraw(0);
    state.counters["triangles"] = double(drawn);
    state.counters["plain_triangles"] = double(plain);
    if (2 * drawn < plain) state.SkipWithError("the frame drew less than half the triangles of the plain frame");
}

void BM_BareLoop(benchmark::State& state) { run_bare_frames(state, draw_entities_bare); }

void BM_BareBatchLoop(benchmark::State& state) {
    static const BareBatches batches = bare_item_batches(*scene().view->output.bridge->modeller);
    run_bare_frames(state, [](CO3duGLModelar&) { draw_item_batches_bare(batches); });
}

template <typename Pick>
void run_picks(benchmark::State& state, Pick pick) {
    LargeScene& s = scene();
    s.place_eye(0, 0.0);
    s.view->Redraw(0);
    std::size_t found = 0;
    set_pick_index_for_testing(state.range(0) != 0);
    for (auto _ : state)
        for (std::int64_t p : s.points) found += pick(s, p) ? 1 : 0;
    set_pick_index_for_testing(true);
    const double picks = double(state.iterations()) * double(s.points.size());
    state.counters["hit_share"] = double(found) / picks;
    state.counters["per_pick"] = benchmark::Counter(picks, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_HoverPartAtPoint(benchmark::State& state) {
    run_picks(state, [](LargeScene& s, std::int64_t p) { return part_at(*s.view, p); });
}

void BM_ClickPickItem(benchmark::State& state) {
    run_picks(state, [](LargeScene& s, std::int64_t p) { return pick_item_at(*s.view, p); });
}

void BM_BareHitTest(benchmark::State& state) {
    run_picks(state, [](LargeScene& s, std::int64_t p) { return bare_hit_test(*s.view, p); });
}

// E and E again: the plan outline draws every face of the model once and is left; the faces it made for the
// drawing must not stay behind, in the heap nor in the pages the process holds. Both are read just before and just
// after, around one frame drawn first, so that what the frames and picks of other cases keep (item batches, the
// pick index) stands on both sides.
void BM_PlanOutlineShownAndLeft(benchmark::State& state) {
    LargeScene& s = scene();
    s.place_eye(0, 0.0);
    s.view->Redraw(0);
    const double before = heap_mib(), resident_before = resident_mib();
    for (auto _ : state) {
        s.view->OnKeyDown('E');
        s.view->OnKeyDown('E');
    }
    state.counters["heap_MiB"] = heap_mib();
    state.counters["heap_before_MiB"] = before;
    state.counters["resident_MiB"] = resident_mib();
    state.counters["resident_before_MiB"] = resident_before;
}

}  // namespace

BENCHMARK(BM_NavigateFrame)->ArgName("walking")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SectionFrame)
    ->ArgNames({"walking", "every_item"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BareLoop)->ArgName("walking")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareBatchLoop)->ArgName("walking")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HoverPartAtPoint)->ArgName("indexed")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ClickPickItem)->ArgName("indexed")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareHitTest)->ArgName("indexed")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlanOutlineShownAndLeft)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The shared view closes while the window system is still up, as in the shadow program: left to the static
// destructors, every run hung at exit once its results were out.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    kz_bench::close_large_scene();
    return 0;
}
