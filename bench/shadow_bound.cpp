// What working out how deep the shadow counts may go costs where shapes are large: one shape of 10k and of 100k
// boxes merged (as an imported mesh or a merged block is: the boxes of the 100k-box model, items of ten on a grid),
// one shape of 20,000 slats lying across rails in rows (their walls cross), and the 100k boxes of that model each a
// shape of its own. For each: building the shape's volumes under the sun of 8 December 16:00, with the reach a frame
// gives them; and a step of the sun as a Shift+wheel notch makes it (ten minutes on to 16:00 or to 16:22, every
// volume built anew and the frame drawn, the eye still), seeing the whole model, and for the slats with the eye
// turned away, where the step is all building. Beside each figure, how many shapes the step swept and what the
// bound's work alone takes (every shape's depth worked out again from its walls, and the frame's bound over them),
// and its share of the step. The sweep alone over the slats' volumes, which the bounds before it decide without in
// every step above. And a frame under the sun of 21 June 10:00 of 10,000 open one-sided panels turned inwards, each
// a shape or as 2,000 rooms, whose lit faces count out the rays leaving their prisms, whole model and walking.
//   bench_shadow_bound --measure build|step|away|overview|walking SCENE SUN REPETITIONS prints, in a process of its
// own, the median CPU milliseconds of one build, step (away: the eye turned away) or frame over the repetitions, the
// bound's milliseconds and the shapes swept a step: what a comparison with another build of this program runs, the
// two programs' processes taking turns.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "bench_view.h"
#include "box_models.h"
#include "box_shapes.h"
#include "geometry/vector_math.h"
#include "large_scene.h"
#include "modeller/gl_modelar.h"
#include "platform/file_system.h"
#include "platform/window.h"
#if __has_include("modeller/shadow/depth.h")
#include "modeller/shadow/depth.h"
#include "modeller/shadow/volumes.h"
#define KZ_BENCH_WINDING_DEPTH 1
#else
#include "modeller/gl_shadow_depth.h"
#include "modeller/gl_shadow_volumes.h"
#endif

namespace {

namespace plat = kz::platform;
using namespace kz_bench;

enum Scene { kMerged10k = 0, kMerged100k = 1, kSlats = 2, kSeparate100k = 3, kPanels = 4, kRooms = 5 };
const char* const kSceneNames[] = {"one shape of 10k boxes",
                                   "one shape of 100k boxes",
                                   "one shape of 20,000 slats on rails",
                                   "100k boxes, a shape each",
                                   "10,000 one-sided panels turned inwards, a shape each",
                                   "2,000 rooms of five one-sided panels turned inwards, a shape each"};
// Where the eye stands: seeing the whole model from outside, walking among it at eye height, or as for the whole
// model but turned away from it.
enum Eye { kOverview = 0, kWalking = 1, kAway = 2 };
// 8 December 16:22, the sun 0.2 degrees up.
constexpr std::int64_t kDecember8At1622Sun = 12081622;

// The boxes of the model of `boxes` boxes (as box_model lays them out, in millimetres), all one shape.
CO3duPrimitive merged_boxes(int boxes, double& extent) {
    const int items = boxes / kBoxesPerItem, side = static_cast<int>(std::ceil(std::sqrt(double(items))));
    std::vector<double> corners;
    for (int i = 0; i < items; ++i)
        for (int s = 0; s < kBoxesPerItem; ++s) {
            const BoxShape b = box_in_item(s);
            const double x = (i % side) * 1200.0 + b.x, y = (i / side) * 1200.0 + b.y;
            corners.insert(corners.end(), {x, y, double(b.z), x + b.w, y + b.d, double(b.z + b.h)});
        }
    extent = side * 1200.0;
    return boxes_shape(corners, {0.8f, 0.8f, 0.8f, 1.0f});
}

// 20 rows of 1,000 slats (60 m by 100 mm, 150 mm apart) lying across three rails 2.7 to 3 m up, the rows 80 m apart:
// under the sun of a winter afternoon the light-space box of one slat holds those of some 300 others.
CO3duPrimitive slats_on_rails(double& extent) {
    std::vector<double> corners;
    for (int row = 0; row < 20; ++row) {
        const double y = row * 80000.0;
        for (double rail : {5000.0, 30000.0, 55000.0})
            corners.insert(corners.end(), {0, y + rail, 2700, 150000, y + rail + 100, 3000});
        for (int i = 0; i < 1000; ++i)
            corners.insert(corners.end(), {i * 150.0, y, 3000, i * 150.0 + 100, y + 60000, 3050});
    }
    extent = 1600000;
    return boxes_shape(corners, {0.6f, 0.5f, 0.4f, 1.0f});
}

// 2,000 rooms (4 by 4 m, 3 m high, on a grid 6 m apart) of four walls and a ceiling, each a one-sided quad turned
// into the room, as CAD exports often leave them, on a ground of one box: each panel a shape of its own, or each room.
std::vector<CO3duPrimitive> rooms_of_panels(bool panel_a_shape, double& extent) {
    constexpr int kSide = 50, kRows = 40;
    constexpr double kPitch = 6000, kRoom = 4000, kHigh = 3000;
    std::vector<CO3duPrimitive> shapes;
    shapes.push_back(boxes_shape({-10000, -10000, -100, kSide * kPitch + 10000, kRows * kPitch + 10000, 0},
                                 {0.9f, 0.9f, 0.9f, 1.0f}));
    for (int room = 0; room < kSide * kRows; ++room) {
        const double x0 = (room % kSide) * kPitch, y0 = (room / kSide) * kPitch, x1 = x0 + kRoom, y1 = y0 + kRoom;
        const OfuVector3 inside((x0 + x1) / 2, (y0 + y1) / 2, kHigh / 2);
        const std::vector<std::array<OfuVector3, 4>> panels = {
            {{{x0, y0, 0}, {x1, y0, 0}, {x1, y0, kHigh}, {x0, y0, kHigh}}},
            {{{x1, y0, 0}, {x1, y1, 0}, {x1, y1, kHigh}, {x1, y0, kHigh}}},
            {{{x1, y1, 0}, {x0, y1, 0}, {x0, y1, kHigh}, {x1, y1, kHigh}}},
            {{{x0, y1, 0}, {x0, y0, 0}, {x0, y0, kHigh}, {x0, y1, kHigh}}},
            {{{x0, y0, kHigh}, {x1, y0, kHigh}, {x1, y1, kHigh}, {x0, y1, kHigh}}}};
        CO3duPrimitive shape;
        for (const auto& panel : panels) {
            CO3duTrianglePolys set;
            set.type = O3DU_SET_TRIANGLE_FAN;
            set.material.diffuse = set.material.ambient = {0.7f, 0.6f, 0.5f, 1.0f};
            set.vertices.SetSize(4);
            // Turned so that its front faces the room's middle.
            const OfuVector3 n = cross(panel[1] - panel[0], panel[2] - panel[0]);
            const bool inwards = dot(n, inside - panel[0]) > 0;
            for (int i = 0; i < 4; ++i) set.vertices[i].position = panel[inwards ? i : 3 - i];
            shape.sets.Add(set);
            if (panel_a_shape) shapes.push_back(std::exchange(shape, CO3duPrimitive()));
        }
        if (!panel_a_shape) shapes.push_back(shape);
    }
    extent = kSide * kPitch;
    return shapes;
}

// A view in a window of its own of one large shape added to the modeller (over an empty figure file), or of the
// 100k-box model as the other benchmarks open it; its eye sees the whole of it.
struct BoundScene {
    plat::WindowHandle parent = nullptr;
    std::unique_ptr<kz::view::XView> view;
    std::unique_ptr<LargeScene> large;
    double extent = 0;

    explicit BoundScene(Scene scene) {
        if (scene == kSeparate100k) {
            large = std::make_unique<LargeScene>();
            extent = large->extent;
            return;
        }
        namespace fs = std::filesystem;
        const fs::path dir = fs::temp_directory_path() / "kz-bench-boxes";
        fs::create_directories(dir);
        const std::string fig = (dir / "empty.fig").string();
        std::ofstream(fig, std::ios::binary) << "set,eye point,0,-1000,1000,0,0,0,35\r\n";
        parent = make_bench_parent(kWidth, kHeight);
        view = std::make_unique<kz::view::XView>(parent, nullptr);
        view->LayoutWindows(kWidth, kHeight);
        view->camera.immediate_eye_move = 1;
        if (view->OpenModel(plat::from_native_path(fig).c_str()) != 1) std::fprintf(stderr, "model missing\n");
        if (scene == kPanels || scene == kRooms) {
            for (CO3duPrimitive& shape : rooms_of_panels(scene == kPanels, extent)) modeller().AddPrimitive(shape);
        } else {
            CO3duPrimitive shape =
                scene == kSlats ? slats_on_rails(extent) : merged_boxes(scene == kMerged10k ? 10000 : kBoxes, extent);
            modeller().AddPrimitive(shape);
        }
        view->Redraw(0);
    }
    ~BoundScene() {
        view.reset();
        if (parent) plat::destroy_window(parent);
    }
    kz::view::XView& the_view() { return large ? *large->view : *view; }
    CO3duGLModelar& modeller() { return *the_view().output.bridge->modeller; }
    // The whole model from outside, as LargeScene's overview, turned by `turn`; walking, at eye height in the middle,
    // looking along a row; or from the overview's place turned away from the model.
    void place_eye(Eye where = kOverview, double turn = 0.0) {
        double* eye = the_view().camera.eye->eye;
        double* target = the_view().camera.eye->target;
        if (where == kWalking) {
            eye[0] = eye[1] = extent / 2 + 1000, eye[2] = 1500;
            target[0] = eye[0] + 3000 * std::cos(turn), target[1] = eye[1] + 3000 * std::sin(turn), target[2] = 1500;
            return;
        }
        target[0] = target[1] = extent / 2, target[2] = 0;
        eye[0] = extent / 2 + extent * std::cos(turn - 1.2), eye[1] = extent / 2 + extent * std::sin(turn - 1.2);
        eye[2] = extent * 0.6;
        if (where == kAway)
            for (int k = 0; k < 3; ++k) target[k] = 2 * eye[k] - target[k];
    }
};

double cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return 1e3 * double(t.tv_sec) + 1e-6 * double(t.tv_nsec);
}

std::uint64_t sweeps() {
#ifdef KZ_BENCH_WINDING_DEPTH
    return o3du_winding_sweeps();
#else
    return 0;
#endif
}

// Milliseconds (CPU) of the bound's work over the volumes the last frame left: every shape's depth again from its
// walls, as the builder works it out, and the frame's bound over them, as a frame does.
double bound_ms(CO3duGLModelar& modeller) {
    const double start = cpu_ms();
    O3duShadowDepth depth;
#ifdef KZ_BENCH_WINDING_DEPTH
    O3duWindingDepth winding;
    for (const _OfuPosition* node = modeller.structure().head(); node; node = node->next) {
        if (node->entity->prism_volumes().depth == 0) continue;
        CO3duShadowVolumes& v = node->entity->prism_volumes_to_fill();
        winding.bound(v);
        depth.add(v);
    }
    benchmark::DoNotOptimize(depth.most(250));
#else
    std::uint64_t deepest = 0;
    for (const _OfuPosition* node = modeller.structure().head(); node; node = node->next) {
        const CO3duShadowVolumes& v = node->entity->prism_volumes();
        deepest = std::max<std::uint64_t>(deepest, o3du_most_crossed(v));
        depth.add(v);
    }
    benchmark::DoNotOptimize(deepest + depth.most());
#endif
    return cpu_ms() - start;
}

// Building the largest shape's volumes alone, with the light and reach a frame under the sun gave them: CPU
// milliseconds each, `repetitions` of them.
std::vector<double> builds(BoundScene& s, Sun sun, int repetitions) {
    set_shadows(s.the_view(), true, sun);
    s.place_eye();
    s.the_view().Redraw(0);
    CO3duGLModelar& modeller = s.modeller();
    O3duShadowSettings settings;
    settings.extrusion = modeller.scene()->shadow_extrusion;
    std::copy(modeller.scene()->shadow_floor, modeller.scene()->shadow_floor + 4, settings.floor);
    const OfuMatrix4x4 light = modeller.scene()->light_matrix;
    // The shape of the most walls.
    const CO3duGLEntity* largest = nullptr;
    for (const _OfuPosition* node = modeller.structure().head(); node; node = node->next)
        if (!largest || node->entity->prism_volumes().walls.size() > largest->prism_volumes().walls.size())
            largest = node->entity.get();
    const CO3duGLEntity& entity = *largest;
    O3duShadowBuilder builder;
    std::vector<double> ms;
    for (int r = 0; r < repetitions; ++r) {
        const double start = cpu_ms();
        CO3duShadowVolumes outlines, prisms;
        builder.begin(settings, outlines, prisms);
        OfuMatrix4x4 to_light = entity.model_matrix;
        MultiplyMatrix4x4(to_light, light);
        for (const CO3duGLTrianglePolygons set : entity.sets())
            if (casts_shadow(set, false)) builder.add_set(set, to_light);
        builder.finish();
        benchmark::DoNotOptimize(prisms.depth);
        ms.push_back(cpu_ms() - start);
    }
    return ms;
}

// Steps of the sun to `sun` from ten minutes before, the step back before each not counted: CPU milliseconds each.
std::vector<double> steps(BoundScene& s, Sun sun, int repetitions, std::uint64_t& swept, Eye where = kOverview) {
    const Sun before{sun.day_of_year, sun.hour - 10.0 / 60.0};
    s.place_eye(where);
    std::vector<double> ms;
    swept = 0;
    for (int r = 0; r < repetitions; ++r) {
        set_shadows(s.the_view(), true, before);
        s.the_view().Redraw(0);
        const std::uint64_t swept_before = sweeps();
        const double start = cpu_ms();
        set_shadows(s.the_view(), true, sun);
        s.the_view().Redraw(0);
        ms.push_back(cpu_ms() - start);
        swept = sweeps() - swept_before;
    }
    return ms;
}

// Frames with the sun's shadows, the eye turning a little before each, the volumes kept: CPU milliseconds each.
std::vector<double> frames(BoundScene& s, Sun sun, Eye where, int repetitions) {
    set_shadows(s.the_view(), true, sun);
    s.place_eye(where);
    s.the_view().Redraw(0);
    std::vector<double> ms;
    double turn = 0.0;
    for (int r = 0; r < repetitions; ++r) {
        s.place_eye(where, turn += 0.01);
        const double start = cpu_ms();
        s.the_view().Redraw(0);
        ms.push_back(cpu_ms() - start);
    }
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Arguments: the scene, the sun.
void BM_BuildOneShapesVolumes(benchmark::State& state) {
    BoundScene s(Scene(state.range(0)));
    for (auto _ : state) state.SetIterationTime(builds(s, sun_named(state.range(1)), 1)[0] / 1e3);
    state.SetLabel(kSceneNames[state.range(0)]);
}

void BM_SunStepOfLargeShapes(benchmark::State& state) {
    BoundScene s(Scene(state.range(0)));
    std::uint64_t swept = 0;
    double step = 0;
    for (auto _ : state) {
        step = steps(s, sun_named(state.range(1)), 1, swept)[0];
        state.SetIterationTime(step / 1e3);
    }
    const double bound = bound_ms(s.modeller());
    state.counters["swept"] = double(swept);
    state.counters["bound_ms"] = bound;
    state.counters["bound_share"] = bound / step;
    state.SetLabel(kSceneNames[state.range(0)]);
}

// A step of the sun with the eye turned away from the model: no wall in view, the step all building.
void BM_SunStepLookingAway(benchmark::State& state) {
    BoundScene s(Scene(state.range(0)));
    std::uint64_t swept = 0;
    for (auto _ : state) state.SetIterationTime(steps(s, sun_named(state.range(1)), 1, swept, kAway)[0] / 1e3);
    state.SetLabel(kSceneNames[state.range(0)]);
}

// A frame with the sun's shadows of the open panels, whose lit faces count out the rays leaving their prisms.
void BM_OpenPanelsFrame(benchmark::State& state) {
    BoundScene s(Scene(state.range(0)));
    const Sun sun = sun_named(state.range(1));
    for (auto _ : state) state.SetIterationTime(frames(s, sun, Eye(state.range(2)), 1)[0] / 1e3);
    state.SetLabel(kSceneNames[state.range(0)]);
}

#ifdef KZ_BENCH_WINDING_DEPTH
// The sweep alone over the largest shape's volumes as a frame under the sun built them, where the bounds before it
// leave the depth undecided: the walls, and the depth it finds.
void BM_SweepOfOneLargeShape(benchmark::State& state) {
    BoundScene s(Scene(state.range(0)));
    builds(s, sun_named(state.range(1)), 1);
    const CO3duGLEntity* largest = nullptr;
    for (const _OfuPosition* node = s.modeller().structure().head(); node; node = node->next)
        if (!largest || node->entity->prism_volumes().walls.size() > largest->prism_volumes().walls.size())
            largest = node->entity.get();
    O3duWindingDepth winding;
    std::uint32_t depth = 0;
    bool finished = true;
    for (auto _ : state) {
        const double start = cpu_ms();
        finished = winding.deepest(largest->prism_volumes(), ~0u, depth);
        state.SetIterationTime((cpu_ms() - start) / 1e3);
    }
    state.counters["walls"] = double(largest->prism_volumes().walls.size() / 6);
    state.counters["depth"] = double(depth);
    state.counters["swept"] = finished ? 1 : 0;
    state.SetLabel(kSceneNames[state.range(0)]);
}
#endif

// --measure build|step|away|overview|walking SCENE SUN REPETITIONS: "CPU_MS BOUND_MS SWEPT" on one line; away is
// a step with the eye turned away, overview and walking frames.
int measure(const char* what, Scene scene, std::int64_t sun, int repetitions) {
    BoundScene s(scene);
    std::uint64_t swept = 0;
    const std::string w = what;
    const bool build = w == "build", step = w == "step" || w == "away";
    const double ms = median(build  ? builds(s, sun_named(sun), repetitions)
                             : step ? steps(s, sun_named(sun), repetitions, swept, w == "away" ? kAway : kOverview)
                                    : frames(s, sun_named(sun), w == "walking" ? kWalking : kOverview, repetitions));
    const double bound = step ? bound_ms(s.modeller()) : 0.0;
    std::printf("%.3f %.3f %llu\n", ms, bound, static_cast<unsigned long long>(swept));
    return 0;
}

}  // namespace

BENCHMARK(BM_BuildOneShapesVolumes)
    ->ArgNames({"scene", "sun"})
    ->ArgsProduct({{kMerged10k, kMerged100k, kSlats}, {kDecember8At16}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SunStepOfLargeShapes)
    ->ArgNames({"scene", "sun"})
    ->ArgsProduct({{kMerged10k, kMerged100k, kSlats, kSeparate100k}, {kDecember8At16, kDecember8At1622Sun}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_SunStepLookingAway)
    ->ArgNames({"scene", "sun"})
    ->Args({kSlats, kDecember8At16})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenPanelsFrame)
    ->ArgNames({"scene", "sun", "eye"})
    ->ArgsProduct({{kPanels, kRooms}, {kJune21At10}, {kOverview, kWalking}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

#ifdef KZ_BENCH_WINDING_DEPTH
BENCHMARK(BM_SweepOfOneLargeShape)
    ->ArgNames({"scene", "sun"})
    ->Args({kSlats, kDecember8At16})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
#endif

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], "--measure") == 0)
        return measure(argv[2], Scene(std::atoi(argv[3])), std::strtoll(argv[4], nullptr, 10), std::atoi(argv[5]));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
