// 100,000 four-point faces through the bridge (AddPolygon, CommitPolygons with its AddPrimitive, free) against
// building the same primitive directly and adding it, and against filling the bare float arrays of the faces.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "app/foundation/bridge_services.h"
#include "app/foundation/bus_mdl.h"
#include "platform/device_context.h"

namespace {

constexpr int kFaces = 100000;

class QuietView : public kz::foundation::BridgeServices {
public:
    void BeginTiming(int) override {}
    void EndTiming(int) override {}
    void* ViewDeviceContext() override { return dc.get(); }
    std::uint32_t BackgroundColor() override { return 0; }
    double LightValue() override { return 1.0; }
    void SetShadowDisplay(int) override {}
    kz::crt::GlobalHandle RenderToDib(int, int) override { return nullptr; }
    std::unique_ptr<kz::platform::DeviceContext> dc = kz::platform::DeviceContext::create_window(64, 64);
};

std::vector<double> quads() {
    std::vector<double> out;
    out.reserve(kFaces * 12);
    for (int i = 0; i < kFaces; ++i) {
        const double x = i % 300, z = i / 300;
        out.insert(out.end(), {x, 0, z, x + 0.9, 0, z, x + 0.9, 0, z + 0.9, x, 0, z + 0.9});
    }
    return out;
}

kz::foundation::MaterialRecord grey() {
    kz::foundation::MaterialRecord m;
    m.color = 0x808080;
    return m;
}

void BM_BridgeAddCommit(benchmark::State& state) {
    QuietView view;
    kz::foundation::CBusMDL bridge(&view);
    const std::vector<double> points = quads();
    const kz::foundation::MaterialRecord m = grey();
    for (auto _ : state) {
        for (int i = 0; i < kFaces; ++i) bridge.AddPolygon(&points[12 * i], 4, m, nullptr, nullptr, 0);
        _OfuPosition* shape = bridge.CommitPolygons(nullptr);
        bridge.FreePolygonBuffers();
        state.PauseTiming();
        bridge.RemoveShape(shape);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kFaces);
}

void BM_DirectPrimitiveAdd(benchmark::State& state) {
    QuietView view;
    kz::foundation::CBusMDL bridge(&view);
    const std::vector<double> points = quads();
    for (auto _ : state) {
        CO3duPrimitive primitive;
        primitive.sets.SetSize(kFaces);
        for (int i = 0; i < kFaces; ++i) {
            CO3duTrianglePolys& set = primitive.sets[i];
            set.type = O3DU_SET_TRIANGLE_FAN;
            set.vertices.SetSize(4);
            for (int k = 0; k < 4; ++k) {
                const double* p = &points[12 * i + 3 * k];
                set.vertices[k].position = OfuVector3(p[0], p[1], p[2]);
                set.vertices[k].normal = OfuVector3(0, -1, 0);
            }
        }
        _OfuPosition* shape = bridge.modeller->AddPrimitive(primitive);
        state.PauseTiming();
        bridge.RemoveShape(shape);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kFaces);
}

void BM_DirectFloatArrays(benchmark::State& state) {
    const std::vector<double> points = quads();
    for (auto _ : state) {
        // Positions, normals and colours as triangles, the way a renderer would hold the faces.
        std::vector<float> positions, normals, colours;
        positions.reserve(kFaces * 18);
        normals.reserve(kFaces * 18);
        colours.reserve(kFaces * 24);
        for (int i = 0; i < kFaces; ++i) {
            for (int k : {0, 1, 2, 0, 2, 3}) {
                const double* p = &points[12 * i + 3 * k];
                positions.insert(positions.end(), {float(p[0]), float(p[1]), float(p[2])});
                normals.insert(normals.end(), {0.0f, -1.0f, 0.0f});
                colours.insert(colours.end(), {0.5f, 0.5f, 0.5f, 1.0f});
            }
        }
        benchmark::DoNotOptimize(positions.data());
        benchmark::DoNotOptimize(normals.data());
        benchmark::DoNotOptimize(colours.data());
    }
    state.SetItemsProcessed(state.iterations() * kFaces);
}

BENCHMARK(BM_BridgeAddCommit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DirectPrimitiveAdd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DirectFloatArrays)->Unit(benchmark::kMillisecond);

}  // namespace
