// Frame time and picks on the generated model of 100k boxes (10k items, 1.2M triangles) at 1000 x 600: one frame
// while navigating (the eye turning a little about the target before each redraw), seeing the whole model and
// walking among the items, against the bare draw loop over the same entities seen from the same eyes, passing over
// those out of sight as the frame does, and against a bare loop over one static batch an item; the hover pick
// (XView::PartAtPoint) and the click pick (XView::PickItem) over a ring of window points, against the modeller's bare
// one-entry HitTest, each through the pick index and over every shape; the heap and the resident size after the plan
// outline (E) was shown and left again, against those just before; one frame with the sun's shadows, against the
// plain frame and against the bare frame with one draw of every shape's shadow walls; building every shape's shadow
// volumes alone; and the frame with the section plane laid by D, against the plain frame.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "bare_draw.h"
#include "bench_view.h"
#include "box_models.h"
#include "geometry/vector_math.h"
#include "modeller/gl_shadow_volumes.h"
#include "pick_roads.h"
#include "platform/file_system.h"
#include "platform/gl_context.h"
#include "platform/memory_status.h"
#include "platform/window.h"

namespace {

namespace plat = kz::platform;
using kz::view::XView;

constexpr int kWidth = 1000, kHeight = 600, kBoxes = 100000;

// The heap in use in MiB (glibc's count of allocated bytes, mapped blocks included): what the program holds,
// whatever the allocator keeps of what was freed.
double heap_mib() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd) / (1 << 20);
}

// The pages the process holds in MiB, whatever of them the heap counts as free.
double resident_mib() { return static_cast<double>(plat::memory_in_use()) / (1 << 20); }

struct LargeScene {
    plat::WindowHandle parent = nullptr;
    std::unique_ptr<XView> view;
    std::vector<std::int64_t> points;
    double centre[3] = {0, 0, 0};
    double extent = 0;

    LargeScene() {
        parent = make_bench_parent(kWidth, kHeight);
        view = std::make_unique<XView>(parent, nullptr);
        view->LayoutWindows(kWidth, kHeight);
        view->camera.immediate_eye_move = 1;
        const std::string fig = plat::from_native_path(kz_bench::box_model(kBoxes).fig);
        if (view->OpenModel(fig.c_str()) != 1) std::fprintf(stderr, "model missing\n");
        // Navigation starts on a model already shown: the first frames after opening, which draw every new shape on
        // its own and then make the items' batches, belong to opening (bench_whole_open), not to navigating.
        view->Redraw(0);
        view->Redraw(0);
        const int side = static_cast<int>(std::ceil(std::sqrt(kBoxes / double(kz_bench::kBoxesPerItem))));
        extent = side * 1200.0;
        centre[0] = centre[1] = extent / 2;
        for (int i = 0; i < 64; ++i)
            points.push_back(kz::view::pack_view_point(100 + (i * 131) % 800, 60 + (i * 77) % 480));
    }
    ~LargeScene() {
        view.reset();
        plat::destroy_window(parent);
    }
    // Overview: the whole model from outside; walking: eye height among the items, looking along a row.
    void place_eye(int walking, double turn) {
        double* eye = view->camera.eye->eye;
        double* target = view->camera.eye->target;
        if (walking) {
            target[0] = centre[0] + 3000 * std::cos(turn), target[1] = centre[1] + 3000 * std::sin(turn);
            target[2] = 1500;
            eye[0] = centre[0], eye[1] = centre[1], eye[2] = 1500;
        } else {
            target[0] = centre[0], target[1] = centre[1], target[2] = 0;
            eye[0] = centre[0] + extent * std::cos(turn - 1.2), eye[1] = centre[1] + extent * std::sin(turn - 1.2);
            eye[2] = extent * 0.6;
        }
    }
};

LargeScene& scene() {
    static LargeScene s;
    return s;
}

// The sun's shadows (at the default accuracy) on or off; the sun of a midsummer morning.
void set_shadows(LargeScene& s, bool on) {
    s.view->SetShadowDate(171);
    s.view->SetShadowTime(10.0);
    s.view->SetShadowDisplay(on ? 1 : 0);
}

void BM_NavigateFrame(benchmark::State& state) {
    LargeScene& s = scene();
    set_shadows(s, false);
    double turn = 0.0;
    for (auto _ : state) {
        s.place_eye(int(state.range(0)), turn += 0.01);
        s.view->Redraw(0);
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The section as D lays it over a part of the middle item and D again stands it upright through the item: half the
// model is cut away, the items in line with the middle one are crossed. Or, with every_item, the first plane turned
// over by Shift+D: the part's floor plane raised by a millimetre, which crosses every box of every item.
void BM_SectionFrame(benchmark::State& state) {
    LargeScene& s = scene();
    const int side = static_cast<int>(std::ceil(std::sqrt(kBoxes / double(kz_bench::kBoxesPerItem))));
    if (!s.view->SetSectionAtPart(1 + side / 2 * side + side / 2, 3)) state.SkipWithError("no middle item");
    kz::view::DisplaySwitches& d = s.view->display;
    d.section_switch = 1;
    if (state.range(1))
        d.section_side = 1;
    else
        s.view->OnKeyDown('D');
    double turn = 0.0;
    for (auto _ : state) {
        s.place_eye(int(state.range(0)), turn += 0.01);
        s.view->Redraw(0);
    }
    d.section_switch = 0;
    d.section_side = 0;
    s.view->Redraw(0);
}

// The eye turns as in BM_NavigateFrame, handed to the modeller's camera without a redraw, so that the bare frames
// pass over and draw the same shapes as the view's.
template <class Draw>
void run_bare_frames(benchmark::State& state, Draw draw) {
    LargeScene& s = scene();
    s.place_eye(int(state.range(0)), 0.0);
    s.view->Redraw(0);
    auto& modeller = *s.view->output.bridge->modeller;
    HDC hdc = s.view->output.view_dc[0].get();
    std::vector<std::uint8_t> pixels;
    plat::make_current(hdc, modeller.renderer().context());
    double turn = 0.0;
    for (auto _ : state) {
        s.place_eye(int(state.range(0)), turn += 0.01);
        s.view->SetStereoEye(0);
        bare_frame_of(modeller, kWidth, kHeight, pixels, [&] { draw(modeller); });
    }
    plat::make_current(nullptr, nullptr);
    benchmark::DoNotOptimize(pixels.data());
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

// The first shadow frame builds the volumes; the frames measured draw them. Shadows go off again after, freeing
// them, so that the other cases meet the scene as they left it.
void BM_ShadowFrame(benchmark::State& state) {
    LargeScene& s = scene();
    set_shadows(s, true);
    s.place_eye(int(state.range(0)), 0.0);
    s.view->Redraw(0);
    double turn = 0.0;
    for (auto _ : state) {
        s.place_eye(int(state.range(0)), turn += 0.01);
        s.view->Redraw(0);
    }
    set_shadows(s, false);
    s.view->Redraw(0);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// Every shape's shadow walls (light space) in one array, as the shadow frame of the eye's place built them.
struct AllWalls {
    std::vector<float> corners;
    std::vector<std::uint32_t> triangles;
    OfuMatrix4x4 light_inverse = identity_matrix();
};

AllWalls gather_walls(LargeScene& s, int walking) {
    set_shadows(s, true);
    s.place_eye(walking, 0.0);
    s.view->Redraw(0);
    const CO3duGLModelar& modeller = *s.view->output.bridge->modeller;
    AllWalls all;
    all.light_inverse = modeller.scene()->light_inverse;
    for (const _OfuPosition* node = modeller.structure().head(); node; node = node->next) {
        const CO3duShadowVolumes& v = node->entity->prism_volumes();
        const auto first = static_cast<std::uint32_t>(all.corners.size() / 3);
        all.corners.insert(all.corners.end(), v.corners.begin(), v.corners.end());
        for (std::size_t i = 0; i < v.walls.size(); ++i) all.triangles.push_back(first + v.walls[i]);
    }
    set_shadows(s, false);
    s.view->Redraw(0);
    return all;
}

// The floor of a shadow frame: the bare frame, and every wall counted once into the stencil in one draw (both
// facings alike, so one draw stands for the two of a z-pass count).
void BM_BareFrameAndWallsOnce(benchmark::State& state) {
    const AllWalls walls = gather_walls(scene(), int(state.range(0)));
    run_bare_frames(state, [&](CO3duGLModelar& modeller) {
        draw_entities_bare(modeller);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glDepthMask(GL_FALSE);
        glDisable(GL_CULL_FACE);
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 0, ~0u);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
        glPushMatrix();
        glMultMatrixd(&walls.light_inverse.m[0][0]);
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, walls.corners.data());
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(walls.triangles.size()), GL_UNSIGNED_INT,
                       walls.triangles.data());
        glDisableClientState(GL_VERTEX_ARRAY);
        glPopMatrix();
        glDisable(GL_STENCIL_TEST);
        glDepthMask(GL_TRUE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    });
    state.counters["wall_triangles"] = double(walls.triangles.size() / 3);
}

// Building the shadow volumes of every shape alone, with the light and reach of a shadow frame: the walls left
// once shared ones cancel, or (every_prism:1) every lit triangle's three walls.
void BM_BuildShadowVolumes(benchmark::State& state) {
    LargeScene& s = scene();
    set_shadows(s, true);
    s.view->Redraw(0);
    const CO3duGLModelar& modeller = *s.view->output.bridge->modeller;
    O3duShadowSettings settings;
    settings.extrusion = modeller.scene()->shadow_extrusion;
    settings.every_prism = state.range(0) != 0;
    const OfuMatrix4x4 light = modeller.scene()->light_matrix;
    set_shadows(s, false);
    s.view->Redraw(0);
    O3duShadowBuilder builder;
    double walls = 0, bytes = 0;
    for (auto _ : state) {
        walls = bytes = 0;
        for (const _OfuPosition* node = modeller.structure().head(); node; node = node->next) {
            const CO3duGLEntity& entity = *node->entity;
            CO3duShadowVolumes outlines, prisms;
            builder.begin(settings, outlines, prisms);
            OfuMatrix4x4 to_light = entity.model_matrix;
            MultiplyMatrix4x4(to_light, light);
            for (const CO3duGLTrianglePolygons set : entity.sets())
                if (casts_shadow(set, false)) builder.add_set(set, to_light);
            builder.finish();
            walls += double(prisms.walls.size() / 3);
            bytes += double(prisms.corners.capacity() * sizeof(float) + prisms.walls.narrow.capacity() * 2 +
                            prisms.walls.wide.capacity() * 4 + prisms.lit.narrow.capacity() * 2 +
                            prisms.lit.wide.capacity() * 4);
        }
    }
    state.counters["wall_triangles"] = walls;
    state.counters["volume_bytes_per_box"] = bytes / kBoxes;
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
BENCHMARK(BM_ShadowFrame)->ArgName("walking")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareFrameAndWallsOnce)->ArgName("walking")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BuildShadowVolumes)->ArgName("every_prism")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanOutlineShownAndLeft)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
