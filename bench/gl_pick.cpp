// Picking latency of the OpenGL modeller at 1280 x 720 over 20k, 60k and 200k triangles (meshes of 2,000
// triangles each, stacked under the picked point): the one-pixel stencil pick the viewer uses for a click, against the
// selection pick of every shape under the point with its exact-depth redraws, on the same scene and point.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "modeller/gl_modelar.h"
#include "platform/device_context.h"

namespace {

constexpr int kWidth = 1280, kHeight = 720;

// A wavy patch of 2 x 10 x 100 triangles as one indexed set, placed at (x, y) and raised by z.
CO3duPrimitive patch(double x, double y, double z) {
    CO3duPrimitive p;
    CO3duTrianglePolys set;
    set.type = O3DU_SET_INDEXED_TRIANGLES;
    set.material.diffuse = {0.7f, 0.7f, 0.7f, 1.0f};
    const int nx = 100, ny = 10;
    set.vertices.SetSize((nx + 1) * (ny + 1));
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) {
            _O3duVertex& v = set.vertices[j * (nx + 1) + i];
            v.position = OfuVector3(x + i * 0.5, y + j * 0.5, z + 2 * std::sin(i * 0.3) * std::cos(j * 0.4));
            v.normal = OfuVector3(0, 0, 1);
        }
    set.indices.SetSize(2 * nx * ny);
    int k = 0;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const int a = j * (nx + 1) + i, b = a + 1, c = a + nx + 1, d = c + 1;
            set.indices[k++] = {a, b, c};
            set.indices[k++] = {c, b, d};
        }
    p.sets.Add(set);
    return p;
}

struct Scene {
    explicit Scene(int triangles) : dc(kz::platform::DeviceContext::create_window(kWidth, kHeight)) {
        HDC hdc = dc.get();
        modeller.Initialize(hdc);
        const int shapes = triangles / 2000;
        // Stacked over the picked point, so every shape lies under it and the nearest must be found among all.
        for (int s = 0; s < shapes; ++s) {
            CO3duPrimitive p = patch(-25, -2.5, -s * 0.2);
            modeller.AddPrimitive(p);
        }
        _O3duCamera c;
        modeller.GetCamera(c);
        c.eye = OfuVector3(0, -120, 90);
        c.target = OfuVector3(0, 0, 0);
        c.near_distance = 1;
        c.far_distance = 1000;
        c.aspect = double(kWidth) / kHeight;
        modeller.SetCamera(c);
        modeller.DrawModel(hdc);
    }
    std::unique_ptr<kz::platform::DeviceContext> dc;
    CO3duGLModelar modeller;
};

void pick(benchmark::State& state, int max) {
    Scene scene(static_cast<int>(state.range(0)));
    _O3duSelect hits[4];
    int found = 0;
    for (auto _ : state) found = scene.modeller.HitTest(scene.dc.get(), kWidth / 2, kHeight / 2, hits, max);
    state.counters["hits"] = found;
    state.counters["triangles"] = double(state.range(0));
}

void BM_StencilPick(benchmark::State& state) { pick(state, 1); }
void BM_SelectionPick(benchmark::State& state) { pick(state, 4); }

BENCHMARK(BM_StencilPick)->Arg(20000)->Arg(60000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectionPick)->Arg(20000)->Arg(60000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
