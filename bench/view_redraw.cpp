// XView::Redraw (per-frame push, one image or a red/cyan anaglyph, shadows off or on) of 100, 1,000 and 5,000 boxes
// made through the scene, at 1000 x 600 and 1920 x 1080, each followed by a read-back of the window's pixels,
// against a bare loop issuing the same draws from the modeller's own arrays plus one glReadPixels.
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "bare_draw.h"
#include "bench_view.h"
#include "platform/gl_context.h"
#include "platform/message_loop.h"
#include "platform/window.h"

namespace {

namespace plat = kz::platform;
using kz::view::XView;

constexpr int kSizes[2][2] = {{1000, 600}, {1920, 1080}};

struct ViewScene {
    plat::WindowHandle parent = nullptr;
    std::unique_ptr<XView> view;
    int width, height;

    ViewScene(int boxes, int size, int shadows, int layout) : width(kSizes[size][0]), height(kSizes[size][1]) {
        parent = make_bench_parent(width, height);
        view = std::make_unique<XView>(parent, nullptr);
        view->output.window_layout = layout;
        view->LayoutWindows(width, height);
        view->settings.shadow_display = shadows;
        const int columns = static_cast<int>(std::ceil(std::sqrt(boxes)));
        char line[160];
        for (int i = 0; i < boxes; ++i) {
            view->document.current_trunk_index = 0;
            const int index = view->CreateTrunk(nullptr, nullptr, nullptr, nullptr, nullptr);
            kz::scene::XTrunk* t = view->document.trunks[index];
            kz::scene::XLeaves* shape = t->parts[t->AddLeaves()];
            std::snprintf(line, sizeof line, "box,w=60,d=60,h=%d,dx=%d,dy=%d,red=200,green=180,blue=150",
                          60 + (i % 7) * 20, (i % columns) * 100, (i / columns) * 100);
            shape->record->ReadFigureLine(line);
            shape->Build(nullptr);
            t->RecalcMatrices(1);
        }
        const double extent = columns * 100.0;
        view->camera.eye->eye[0] = extent / 2, view->camera.eye->eye[1] = -extent * 0.8,
        view->camera.eye->eye[2] = extent * 0.7;
        view->camera.eye->target[0] = extent / 2, view->camera.eye->target[1] = extent / 2,
        view->camera.eye->target[2] = 0;
        view->settings.shadow_date = 171;
        view->settings.shadow_time = 10.0;
        view->Redraw(0);
    }
    ~ViewScene() {
        view.reset();
        plat::destroy_window(parent);
    }
};

std::uint64_t touch(const plat::DeviceContext& dc) {
    // One byte of the frame as the window shows it.
    const std::uint8_t* p = dc.backing_bytes();
    return p ? p[static_cast<std::ptrdiff_t>(dc.backing_height() / 2) * dc.backing_stride()] : 0;
}

void BM_Redraw(benchmark::State& state) {
    ViewScene scene(int(state.range(0)), int(state.range(1)), int(state.range(2)), int(state.range(3)));
    std::uint64_t sum = 0;
    for (auto _ : state) {
        scene.view->Redraw(0);
        sum += touch(*scene.view->output.view_dc[0]);
    }
    benchmark::DoNotOptimize(sum);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The same frame without the view and the modeller's passes: camera, the head light, then per shape its matrix and
// per set its material and one draw from the entity's own arrays, then one glReadPixels of the frame.
void BM_BareLoop(benchmark::State& state) {
    ViewScene scene(int(state.range(0)), int(state.range(1)), 0, 0);
    auto& modeller = *scene.view->output.bridge->modeller;
    HDC hdc = scene.view->output.view_dc[0].get();
    std::vector<std::uint8_t> pixels;
    plat::make_current(hdc, modeller.renderer().context());
    for (auto _ : state) bare_frame(modeller, scene.width, scene.height, pixels);
    plat::make_current(nullptr, nullptr);
    benchmark::DoNotOptimize(pixels.data());
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void redraw_args(benchmark::internal::Benchmark* b) {
    b->ArgNames({"boxes", "size", "shadows", "layout"});
    for (int boxes : {100, 1000, 5000})
        for (int size : {0, 1})
            for (int shadows : {0, 1})
                for (int layout : {0, 2}) b->Args({boxes, size, shadows, layout});
}

void bare_args(benchmark::internal::Benchmark* b) {
    b->ArgNames({"boxes", "size"});
    for (int boxes : {100, 1000, 5000})
        for (int size : {0, 1}) b->Args({boxes, size});
}

}  // namespace

BENCHMARK(BM_Redraw)->Apply(redraw_args)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareLoop)->Apply(bare_args)->Unit(benchmark::kMillisecond)->UseRealTime();
