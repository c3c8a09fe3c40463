// DrawModel of the OpenGL modeller at 1280 x 720 (5,000 boxes of six faces; one mesh of about 200k triangles),
// against a bare loop that issues the same draws (one per set, with its matrix and material) from plain arrays
// in the same context, with the same camera, lights, clear and present.
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "bare_draw.h"
#include "modeller/gl_modelar.h"
#include "platform/device_context.h"
#include "platform/gl_context.h"

namespace {

constexpr int kWidth = 1280, kHeight = 720;

_OfuMaterial grey_material() {
    _OfuMaterial m;
    m.diffuse = {0.7f, 0.7f, 0.6f, 1.0f};
    m.ambient = {0.3f, 0.3f, 0.3f, 1.0f};
    m.specular = {0.2f, 0.2f, 0.2f, 1.0f};
    m.emission = {0, 0, 0, 1};
    m.power = 20;
    return m;
}

void add_face(CO3duPrimitive& p, OfuVector3 c, OfuVector3 u, OfuVector3 v, OfuVector3 n) {
    CO3duTrianglePolys set;
    set.type = O3DU_SET_TRIANGLE_STRIP;
    set.material = grey_material();
    set.vertices.SetSize(4);
    const double su[4] = {-1, 1, -1, 1}, sv[4] = {-1, -1, 1, 1};
    for (int i = 0; i < 4; ++i) {
        set.vertices[i].position = OfuVector3(c.x + su[i] * u.x + sv[i] * v.x, c.y + su[i] * u.y + sv[i] * v.y,
                                              c.z + su[i] * u.z + sv[i] * v.z);
        set.vertices[i].normal = n;
    }
    p.sets.Add(set);
}

// A box of half size h around the origin, placed by its model matrix.
CO3duPrimitive box(double x, double y, double h) {
    CO3duPrimitive p;
    add_face(p, {-h, 0, 0}, {0, 0, h}, {0, h, 0}, {-1, 0, 0});
    add_face(p, {h, 0, 0}, {0, h, 0}, {0, 0, h}, {1, 0, 0});
    add_face(p, {0, -h, 0}, {h, 0, 0}, {0, 0, h}, {0, -1, 0});
    add_face(p, {0, h, 0}, {0, 0, h}, {h, 0, 0}, {0, 1, 0});
    add_face(p, {0, 0, -h}, {0, h, 0}, {h, 0, 0}, {0, 0, -1});
    add_face(p, {0, 0, h}, {h, 0, 0}, {0, h, 0}, {0, 0, 1});
    p.model_matrix[3][0] = x;
    p.model_matrix[3][1] = y;
    return p;
}

// A wavy grid of n x n quads as indexed triangles: 2 n^2 triangles.
CO3duPrimitive mesh(int n, double size) {
    CO3duPrimitive p;
    CO3duTrianglePolys set;
    set.type = O3DU_SET_INDEXED_TRIANGLES;
    set.material = grey_material();
    set.vertices.SetSize((n + 1) * (n + 1));
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            _O3duVertex& v = set.vertices[j * (n + 1) + i];
            const double x = size * i / n - size / 2, y = size * j / n - size / 2;
            v.position = OfuVector3(x, y, 20 * std::sin(x / 40) * std::cos(y / 50));
            v.normal = OfuVector3(0, 0, 1);
        }
    set.indices.SetSize(2 * n * n);
    int k = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i, b = a + 1, c = a + n + 1, d = c + 1;
            set.indices[k++] = {a, b, c};
            set.indices[k++] = {c, b, d};
        }
    p.sets.Add(set);
    return p;
}

struct Scene {
    std::unique_ptr<kz::platform::DeviceContext> dc = kz::platform::DeviceContext::create_window(kWidth, kHeight);
    CO3duGLModelar modeller;
    int sets = 0;
    long long triangles = 0;

    explicit Scene(bool boxes) {
        HDC hdc = dc.get();
        modeller.Initialize(hdc);
        OfuLight head;
        modeller.GetLight(0, head);
        head.diffuse = {0.8f, 0.8f, 0.8f, 1};
        head.ambient = {0.2f, 0.2f, 0.2f, 1};
        head.specular = {0.3f, 0.3f, 0.3f, 1};
        modeller.SetLight(0, head);
        _O3duCamera camera;
        modeller.GetCamera(camera);
        camera.eye = OfuVector3(0, -1400, 900);
        camera.target = OfuVector3(0, 0, 0);
        camera.fov = 45;
        camera.near_distance = 10;
        camera.far_distance = 5000;
        camera.aspect = double(kWidth) / kHeight;
        modeller.SetCamera(camera);
        if (boxes) {
            for (int j = 0; j < 50; ++j)
                for (int i = 0; i < 100; ++i) {
                    CO3duPrimitive p = box(i * 20.0 - 1000, j * 20.0 - 500, 6);
                    modeller.AddPrimitive(p);
                    sets += 6;
                    triangles += 12;
                }
        } else {
            CO3duPrimitive p = mesh(317, 1600);
            modeller.AddPrimitive(p);
            sets = 1;
            triangles = 2LL * 317 * 317;
        }
    }
};

void report(benchmark::State& state, const Scene& scene) {
    state.counters["sets"] = scene.sets;
    state.counters["triangles"] = double(scene.triangles);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void draw_model(benchmark::State& state, bool boxes) {
    Scene scene(boxes);
    HDC hdc = scene.dc.get();
    for (auto _ : state) scene.modeller.DrawModel(hdc);
    report(state, scene);
}

// The same frame without the modeller: camera, the two lights in use, then per shape its matrix and per set its
// material and one draw from the entity's own float arrays.
void bare_loop(benchmark::State& state, bool boxes) {
    Scene scene(boxes);
    HDC hdc = scene.dc.get();
    scene.modeller.DrawModel(hdc);  // the context's fixed state, as the modeller leaves it
    CO3duGLScene& s = *scene.modeller.scene();
    const _O3duCamera& c = s.camera;
    kz::platform::make_current(hdc, scene.modeller.renderer().context());
    for (auto _ : state) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(c.eye.x, c.eye.y, c.eye.z, c.target.x, c.target.y, c.target.z, 0, 0, 1);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(c.fov, c.aspect, c.near_distance, c.far_distance);
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_MODELVIEW);
        const GLfloat head[4] = {float(c.eye.x), float(c.eye.y), float(c.eye.z), 1};
        glLightfv(GL_LIGHT0, GL_POSITION, head);
        draw_entities_bare(scene.modeller);
        glFlush();
        kz::platform::swap_buffers(*hdc);
    }
    kz::platform::make_current(nullptr, nullptr);
    report(state, scene);
}

void BM_DrawModel_5000Boxes(benchmark::State& state) { draw_model(state, true); }
void BM_BareLoop_5000Boxes(benchmark::State& state) { bare_loop(state, true); }
void BM_DrawModel_200kMesh(benchmark::State& state) { draw_model(state, false); }
void BM_BareLoop_200kMesh(benchmark::State& state) { bare_loop(state, false); }

}  // namespace

BENCHMARK(BM_DrawModel_5000Boxes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareLoop_5000Boxes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawModel_200kMesh)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareLoop_200kMesh)->Unit(benchmark::kMillisecond)->UseRealTime();
