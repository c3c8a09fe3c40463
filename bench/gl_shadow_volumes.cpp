// Rebuilding the stencil shadow volumes of a closed mesh of 60k and 200k triangles (a bumpy sphere, lit from an
// oblique direction): outline volumes found through the hash of edges plus the prisms, against the prisms alone.
// The volumes' memory and the process's peak resident size are reported with each run.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>

#include "geometry/vector_math.h"
#include "modeller/gl_shadow_volumes.h"

namespace {

// A sphere of `rings` x 2 `rings` quads, each two indexed triangles, its vertices in `store`.
CO3duGLTrianglePolygons sphere(int triangles, CO3duGLVertexStore& store) {
    const int rings = static_cast<int>(std::sqrt(triangles / 4.0));
    const int segments = 2 * rings;
    CO3duGLTrianglePolygons set;
    set.store = &store;
    set.mode = GL_TRIANGLES;
    set.indexed = 1;
    set.material.diffuse = {1, 1, 1, 1};
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const double phi = M_PI * r / rings, theta = 2 * M_PI * s / segments;
            const double radius = 50 + 2 * std::sin(5 * theta) * std::sin(3 * phi);
            store.positions.insert(store.positions.end(),
                                   {float(radius * std::sin(phi) * std::cos(theta)),
                                    float(radius * std::sin(phi) * std::sin(theta)), float(radius * std::cos(phi))});
        }
    set.vertex_count = static_cast<std::int32_t>(store.positions.size() / 3);
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const std::uint32_t a = r * segments + s, b = r * segments + (s + 1) % segments, c = a + segments,
                                d = b + segments;
            set.indices.insert(set.indices.end(), {a, c, b, b, c, d});
        }
    set.element_count = static_cast<std::int32_t>(set.indices.size() / 3);
    return set;
}

void rebuild(benchmark::State& state, int accuracy) {
    CO3duGLVertexStore store;
    const CO3duGLTrianglePolygons set = sphere(static_cast<int>(state.range(0)), store);
    OfuMatrix4x4 to_light;
    MakePlaneToXYMatrix(OfuVector3(0.3, -0.5, 0.8), OfuVector3(0, 0, 0), to_light);
    O3duShadowSettings settings;
    settings.accuracy = accuracy;
    settings.extrusion = 1000;
    double bytes = 0;
    for (auto _ : state) {
        CO3duShadowVolumes outlines, prisms;
        add_shadow_volumes(set, to_light, settings, outlines, prisms);
        bytes = double((outlines.vertices.capacity() + prisms.vertices.capacity()) * sizeof(float) +
                       (outlines.triangles.capacity() + prisms.triangles.capacity()) * sizeof(std::uint32_t));
        benchmark::DoNotOptimize(prisms.vertices.data());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["triangles"] = double(set.indices.size() / 3);
    state.counters["volume_MB"] = bytes / 1e6;
    state.counters["peak_rss_MB"] = double(usage.ru_maxrss) / 1e3;
}

void BM_RebuildOutlinesAndPrisms(benchmark::State& state) { rebuild(state, 1); }
void BM_RebuildPrismsOnly(benchmark::State& state) { rebuild(state, 0); }

BENCHMARK(BM_RebuildOutlinesAndPrisms)->Arg(60000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildPrismsOnly)->Arg(60000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
