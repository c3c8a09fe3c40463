// The sun's shadows at their default accuracy, on the 100k-box model at 1000 x 600, on the ground and in ten storeys
// (item i raised by (i mod 10) x 3 m), under a midsummer morning's sun (21 June 10:00), a winter afternoon's (8
// December 16:00) and the last before a winter night (8 December 16:20): one frame with shadows, seeing the whole
// model and walking among the items, against the plain frame and against the bare frame with one draw of every
// shape's shadow walls, and walking without the near plane's rectangle tested against the shapes' prisms; building
// every shape's volumes alone, the walls left once shared ones cancel against every prism's walls; the resident size
// and the heap in use after 50 plain frames, 50 with shadows and 50 plain ones again, against those after 100 plain
// frames alone, each side a process of its own a repetition (this program run again) so that no other case's frames
// stand in their figures. A deep frame (8 December 16:22, and the as low suns of 5 November 16:40 and 16 November
// 16:30, whose bound passes what one wrapping count holds), whole and walking, counted in groups against the same
// frames counted in one wrapping pass with the bound ignored, each a process of its own with one drawing plain frames
// alone: CPU time, peak size and the sizes after shadows went off.
// And opening a model of 2,048 curved shapes (256 turned items of a pipe, a bent pipe, a
// ball, a cone, a frustum, an L extrusion and two pasted boxes) to its first frame with shadows, against the same
// without. Kept apart from the other large-model cases: switching shadows off hands the heap's free pages back to the
// system, which the heap counts of those cases would see.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "bench_view.h"
#include "box_models.h"
#include "curved_models.h"
#include "geometry/vector_math.h"
#include "large_scene.h"
#include "modeller/gl_modelar.h"
#include "modeller/shadow/depth.h"
#include "modeller/shadow/shadows.h"
#include "modeller/shadow/volumes.h"
#include "platform/file_system.h"
#include "platform/memory_status.h"
#include "platform/window.h"
#include "processes.h"
#include "shadow_volume_bytes.h"

namespace {

namespace plat = kz::platform;
using kz::view::XView;
using namespace kz_bench;

// A view of the model in a window of its own, opened and not yet drawn.
struct OpenView {
    plat::WindowHandle parent = nullptr;
    std::unique_ptr<XView> view;

    OpenView(const std::string& fig, bool shadows) {
        parent = make_bench_parent(kWidth, kHeight);
        view = std::make_unique<XView>(parent, nullptr);
        view->LayoutWindows(kWidth, kHeight);
        view->camera.immediate_eye_move = 1;
        set_shadows(*view, shadows);
        if (view->OpenModel(plat::from_native_path(fig).c_str()) != 1) std::fprintf(stderr, "model missing\n");
        set_shadows(*view, shadows);
    }
    ~OpenView() {
        view.reset();
        plat::destroy_window(parent);
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

// Arguments of the large-model cases: walking (0: the whole model), the sun and storeys.
int walking_of(const benchmark::State& state) { return int(state.range(0)); }
Sun sun_of(const benchmark::State& state) { return sun_named(state.range(1)); }
LargeScene& scene_of(const benchmark::State& state, int storeys_arg) {
    return large_scene(int(state.range(storeys_arg)));
}

void BM_PlainFrame(benchmark::State& state) {
    LargeScene& s = scene_of(state, 1);
    set_shadows(s, false);
    navigate_frames(state, s);
}

// The first shadow frame builds the volumes; the frames measured draw them. Shadows go off again after, freeing
// them, so that the other cases meet the scene as they left it.
void BM_ShadowFrame(benchmark::State& state) {
    LargeScene& s = scene_of(state, 2);
    s.view->output.bridge->modeller->set_shadow_count_wraps(state.range(3) != 0);
    set_shadows(s, true, sun_of(state));
    s.place_eye(walking_of(state), 0.0);
    s.view->Redraw(0);
    navigate_frames(state, s);
    state.counters["wall_draws"] = double(s.view->output.bridge->modeller->shadow_wall_draws_last_frame());
    set_shadows(s, false);
    s.view->Redraw(0);
    s.view->output.bridge->modeller->set_shadow_count_wraps(true);
}

// The walking frames of BM_ShadowFrame without the near plane's rectangle tested against every shape's prisms and
// the parts inside them drawn: what that costs.
void BM_ShadowFrameWithoutNearTest(benchmark::State& state) {
    set_shadow_near_caps_for_testing(false);
    BM_ShadowFrame(state);
    set_shadow_near_caps_for_testing(true);
}

// Every shape's shadow walls (light space) in one array, as the shadow frame of the eye's place built them.
struct AllWalls {
    std::vector<float> corners;
    std::vector<std::uint32_t> triangles;
    OfuMatrix4x4 light_inverse = identity_matrix();
};

AllWalls gather_walls(LargeScene& s, int walking, Sun sun) {
    set_shadows(s, true, sun);
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
    LargeScene& s = scene_of(state, 2);
    const AllWalls walls = gather_walls(s, walking_of(state), sun_of(state));
    run_bare_frames(
        state,
        [&](CO3duGLModelar& modeller) {
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
        },
        s);
    state.counters["wall_triangles"] = double(walls.triangles.size() / 3);
}

// Building the shadow volumes of every shape alone, with the light and reach of a shadow frame: the walls left
// once shared ones cancel, or (every_prism:1) every lit triangle's three walls.
void BM_BuildShadowVolumes(benchmark::State& state) {
    LargeScene& s = large_scene();
    set_shadows(s, true);
    s.view->Redraw(0);
    const CO3duGLModelar& modeller = *s.view->output.bridge->modeller;
    O3duShadowSettings settings;
    settings.extrusion = modeller.scene()->shadow_extrusion;
    std::copy(modeller.scene()->shadow_floor, modeller.scene()->shadow_floor + 4, settings.floor);
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
            bytes += double(volume_bytes(prisms));
        }
    }
    state.counters["wall_triangles"] = walls;
    state.counters["volume_bytes_per_box"] = bytes / kBoxes;
}

// Milliseconds to work out every shape's depth from its walls again, as the volumes' builder does, and the frame's
// bound over them, as a frame does (sweeping where the bound passes what one wrapping count holds).
// What one wrapping count holds, as a frame reads it.
constexpr std::uint32_t kDeepestWrapped = 250;

double bound_ms(CO3duGLModelar& modeller) {
    const auto start = std::chrono::steady_clock::now();
    O3duWindingDepth winding;
    O3duShadowDepth depth;
    for (const _OfuPosition* node = modeller.structure().head(); node; node = node->next) {
        if (node->entity->prism_volumes().depth == 0) continue;
        CO3duShadowVolumes& v = node->entity->prism_volumes_to_fill();
        winding.bound(v);
        depth.add(v);
    }
    benchmark::DoNotOptimize(depth.most(kDeepestWrapped));
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A step of the sun as a Shift+wheel notch makes it: from ten minutes before the sun named to that sun, every
// shape's volumes built anew and the frame drawn, the eye still; the step back before each is not timed.
// The time that working the bound out takes alone (every shape's depth from its walls, and the frame's), done again
// over the volumes the step left, is reported beside it (bound_ms): read back from memory shape by shape, more than
// the step spends on it with each shape's volumes at hand as they are built.
void BM_SunStep(benchmark::State& state) {
    LargeScene& s = scene_of(state, 2);
    const Sun sun = sun_of(state), before{sun.day_of_year, sun.hour - 10.0 / 60.0};
    s.place_eye(walking_of(state), 0.0);
    for (auto _ : state) {
        state.PauseTiming();
        set_shadows(s, true, before);
        s.view->Redraw(0);
        state.ResumeTiming();
        set_shadows(s, true, sun);
        s.view->Redraw(0);
    }
    state.counters["bound_ms"] = bound_ms(*s.view->output.bridge->modeller);
    set_shadows(s, false);
    s.view->Redraw(0);
}

std::string g_self;

// Frames of each phase of a measuring process: half of them seeing the whole model, half walking.
constexpr int kPhaseFrames = 50;

// This program run again with --memory SUN STOREYS SHADOW_FRAMES: kPhaseFrames plain frames, as many with shadows
// (none in the plain process) and kPhaseFrames plain frames again; it prints the resident size and the heap in use
// after each phase, six sizes in KiB, read here in MiB. False when it printed fewer.
bool measure_in_process(const benchmark::State& state, int shadow_frames, double sizes[6]) {
    return read_process_sizes(g_self + " --memory " + std::to_string(state.range(0)) + " " +
                                  std::to_string(state.range(1)) + " " + std::to_string(shadow_frames),
                              sizes, 6);
}

// Each repetition runs one process with shadow frames between its plain ones and one with plain frames alone, in
// turn first, so that the heap's step that comes and goes in plain frames falls on both sides alike: the two read
// after as many frames, and after the shadows went off again against plain frames alone.
void BM_ShadowMemory(benchmark::State& state) {
    static int turn = 0;
    double shadows[6] = {}, plain[6] = {};
    for (auto _ : state) {
        const bool shadows_first = turn++ % 2 == 0;
        if (!measure_in_process(state, shadows_first ? kPhaseFrames : 0, shadows_first ? shadows : plain) ||
            !measure_in_process(state, shadows_first ? 0 : kPhaseFrames, shadows_first ? plain : shadows)) {
            state.SkipWithError("the measuring process gave no sizes");
            return;
        }
    }
    // Sizes: resident and heap after the first plain frames, after the shadow frames, after the last plain frames.
    state.counters["shadows_MiB"] = shadows[2];
    state.counters["heap_shadows_MiB"] = shadows[3];
    state.counters["after_MiB"] = shadows[4];
    state.counters["heap_after_MiB"] = shadows[5];
    state.counters["plain_MiB"] = plain[4];
    state.counters["heap_plain_MiB"] = plain[5];
}

// The resident size and the heap in use, in KiB.
std::pair<unsigned long long, unsigned long long> memory_kib() {
    return {static_cast<unsigned long long>(plat::memory_in_use() / 1024),
            static_cast<unsigned long long>(heap_in_use_bytes() / 1024)};
}

// Plain frames, frames with shadows under the sun named, and plain frames again, along one eye path.
int measure_memory(Sun sun, int storeys, int shadow_frames) {
    LargeScene& s = large_scene(storeys);
    const auto frames = [&](int count) {
        for (int i = 0; i < count; ++i) {
            s.place_eye(i >= count / 2 ? 1 : 0, 0.01 * i);
            s.view->Redraw(0);
        }
        return memory_kib();
    };
    set_shadows(s, false, sun);
    const auto plain = frames(kPhaseFrames);
    set_shadows(s, shadow_frames > 0, sun);
    const auto shadows = frames(shadow_frames);
    set_shadows(s, false, sun);
    const auto after = frames(kPhaseFrames);
    std::printf("%llu %llu %llu %llu %llu %llu\n", plain.first, plain.second, shadows.first, shadows.second,
                after.first, after.second);
    close_large_scene();
    return 0;
}

// The roads a deep frame's process takes: plain frames alone, shadows counted in groups as the modeller does, or
// in one wrapping pass with the bound ignored.
enum DeepRoad { kDeepPlain = 0, kDeepGroups = 1, kDeepOnePass = 2 };
constexpr int kDeepPlainFrames = 20, kDeepShadowFrames = 4;

double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// This program run again with --deep SUN WALKING ROAD: kDeepPlainFrames plain frames, a frame with shadows that
// builds the volumes and kDeepShadowFrames more (plain ones on the plain road), then kDeepPlainFrames plain frames
// again. It prints the CPU microseconds of a shadow frame, the passes the last one counted in, the peak resident
// size, and the resident size and the heap in use at the end, in KiB.
int measure_deep(Sun sun, int walking, int road) {
    LargeScene& s = large_scene(1);
    CO3duGLModelar& modeller = *s.view->output.bridge->modeller;
    double turn = 0.0;
    const auto frames = [&](int count) {
        for (int i = 0; i < count; ++i) {
            s.place_eye(walking, turn += 0.01);
            s.view->Redraw(0);
        }
    };
    set_shadows(s, false, sun);
    frames(kDeepPlainFrames);
    set_shadow_one_wrapping_pass_for_testing(road == kDeepOnePass);
    set_shadows(s, road != kDeepPlain, sun);
    frames(1);
    const double start = cpu_seconds();
    frames(kDeepShadowFrames);
    const double cpu = (cpu_seconds() - start) / kDeepShadowFrames;
    const std::uint64_t passes = modeller.shadow_count_passes_last_frame();
    set_shadows(s, false, sun);
    frames(kDeepPlainFrames);
    const auto after = memory_kib();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%llu %llu %llu %llu %llu\n", static_cast<unsigned long long>(cpu * 1e6),
                static_cast<unsigned long long>(passes), static_cast<unsigned long long>(usage.ru_maxrss), after.first,
                after.second);
    close_large_scene();
    return 0;
}

// Each repetition runs the three roads' processes, a different one first each time, so that the heap's step of
// plain frames and the machine's load fall on all alike. The iteration's time is the CPU time of a frame counted in
// groups; the counters give the floor's beside it.
void BM_DeepShadowFrame(benchmark::State& state) {
    static int turn = 0;
    double sizes[3][5] = {};  // by road: CPU us, passes, peak, resident and heap after (read as KiB / 1024)
    for (auto _ : state) {
        const int first = turn++ % 3;
        for (int k = 0; k < 3; ++k) {
            const int road = (first + k) % 3;
            if (!read_process_sizes(g_self + " --deep " + std::to_string(state.range(1)) + " " +
                                        std::to_string(state.range(0)) + " " + std::to_string(road),
                                    sizes[road], 5)) {
                state.SkipWithError("the measuring process gave no sizes");
                return;
            }
        }
        state.SetIterationTime(sizes[kDeepGroups][0] * 1024 / 1e6);
    }
    const auto ms = [](double v) { return v * 1024 / 1e3; };
    state.counters["cpu_ms"] = ms(sizes[kDeepGroups][0]);
    state.counters["floor_cpu_ms"] = ms(sizes[kDeepOnePass][0]);
    state.counters["passes"] = sizes[kDeepGroups][1] * 1024;
    state.counters["floor_passes"] = sizes[kDeepOnePass][1] * 1024;
    state.counters["peak_MiB"] = sizes[kDeepGroups][2];
    state.counters["floor_peak_MiB"] = sizes[kDeepOnePass][2];
    state.counters["after_MiB"] = sizes[kDeepGroups][3];
    state.counters["heap_after_MiB"] = sizes[kDeepGroups][4];
    state.counters["plain_MiB"] = sizes[kDeepPlain][3];
    state.counters["heap_plain_MiB"] = sizes[kDeepPlain][4];
}

}  // namespace

BENCHMARK(BM_PlainFrame)
    ->ArgNames({"walking", "storeys"})
    ->ArgsProduct({{0, 1}, {1, 10}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// The suns of the shadow cases.
const std::vector<std::int64_t> kSuns = {kJune21At10, kDecember8At16, kDecember8At1620};
BENCHMARK(BM_ShadowFrame)
    ->ArgNames({"walking", "sun", "storeys", "wraps"})
    ->ArgsProduct({{0, 1}, kSuns, {1, 10}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ShadowFrameWithoutNearTest)
    ->ArgNames({"walking", "sun", "storeys", "wraps"})
    ->ArgsProduct({{1}, {kJune21At10, kDecember8At16}, {1, 10}, {1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BareFrameAndWallsOnce)
    ->ArgNames({"walking", "sun", "storeys"})
    ->ArgsProduct({{0, 1}, kSuns, {1, 10}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// 8 December 16:00 and 16:22 (the sun 0.2 degrees up, where a frame's counts go past what a wrapping count holds).
BENCHMARK(BM_SunStep)
    ->ArgNames({"walking", "sun", "storeys"})
    ->ArgsProduct({{0, 1}, {kDecember8At16, kDecember8At1622}, {1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BuildShadowVolumes)->ArgName("every_prism")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurvedFirstFrame)->ArgName("shadows")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShadowMemory)
    ->ArgNames({"sun", "storeys"})
    ->ArgsProduct({{kJune21At10, kDecember8At16, kDecember8At23}, {1, 10}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(BM_DeepShadowFrame)
    ->ArgNames({"walking", "sun"})
    ->ArgsProduct({{0, 1}, {kDecember8At1622, kNovember5At1640, kNovember16At1630}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--deep") == 0)
        return measure_deep(sun_named(std::strtoll(argv[2], nullptr, 10)), std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc == 5 && std::strcmp(argv[1], "--memory") == 0)
        return measure_memory(sun_named(std::strtoll(argv[2], nullptr, 10)), std::atoi(argv[3]), std::atoi(argv[4]));
    g_self = "/proc/" + std::to_string(getpid()) + "/exe";
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    close_large_scene();
    return 0;
}
