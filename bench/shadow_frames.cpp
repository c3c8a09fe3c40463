// The sun's shadows at their default accuracy, on the 100k-box model at 1000 x 600: one frame with shadows, seeing
// the whole model and walking among the items, against the plain frame and against the bare frame with one draw of
// every shape's shadow walls; building every shape's volumes alone, the walls left once shared ones cancel against
// every prism's walls; the resident size with shadows against the same without, and after shadows went off again
// against before they came on, each read in a process of its own (this program run again) so that no other case's
// frames stand in its figures. And opening a model of 2,048 curved shapes (256 turned items of a pipe, a bent pipe,
// a ball, a cone, a frustum, an L extrusion and two pasted boxes) to its first frame with shadows, against the same
// without. Kept apart from the other large-model cases: switching shadows off hands the heap's free pages back to
// the system, which the heap counts of those cases would see.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
#include "geometry/vector_math.h"
#include "large_scene.h"
#include "modeller/gl_shadow_volumes.h"
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

void BM_PlainFrame(benchmark::State& state) {
    LargeScene& s = large_scene();
    set_shadows(s, false);
    navigate_frames(state, s);
}

// The first shadow frame builds the volumes; the frames measured draw them. Shadows go off again after, freeing
// them, so that the other cases meet the scene as they left it.
void BM_ShadowFrame(benchmark::State& state) {
    LargeScene& s = large_scene();
    set_shadows(s, true);
    s.place_eye(int(state.range(0)), 0.0);
    s.view->Redraw(0);
    navigate_frames(state, s);
    set_shadows(s, false);
    s.view->Redraw(0);
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
    const AllWalls walls = gather_walls(large_scene(), int(state.range(0)));
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

std::string g_self;

// This program run again with --resident: three resident sizes in KiB on its standard output.
void BM_ShadowResident(benchmark::State& state) {
    double sizes[3] = {0, 0, 0};
    for (auto _ : state)
        if (!read_process_sizes(g_self + " --resident", sizes, 3)) {
            state.SkipWithError("the measuring process gave no sizes");
            return;
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
    set_shadows(*open.view, true);
    const unsigned long long shadows = frames();
    set_shadows(*open.view, false);
    const unsigned long long after = frames();
    std::printf("%llu %llu %llu\n", plain, shadows, after);
    return 0;
}

}  // namespace

BENCHMARK(BM_PlainFrame)->ArgName("walking")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShadowFrame)->ArgName("walking")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareFrameAndWallsOnce)->ArgName("walking")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BuildShadowVolumes)->ArgName("every_prism")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurvedFirstFrame)->ArgName("shadows")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShadowResident)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--resident") == 0) return measure_resident();
    g_self = "/proc/" + std::to_string(getpid()) + "/exe";
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    close_large_scene();
    return 0;
}
